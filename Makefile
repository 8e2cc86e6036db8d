# Two commands do everything on a fresh Debian 12 machine: `make test` and `make run`.
BUILD   := build
GEN     := -G Ninja
VERSION := 1.2.0.1
WERROR  := $(if $(CI),ON,OFF)
CMAKE_COMMON := $(GEN) -DCUSTOMIZE_WERROR=$(WERROR)
CTEST   := ctest --output-on-failure --no-tests=error

.PHONY: all deps native asan fuzz win32 win64 test test-native test-asan test-fuzz test-win32 test-win64 test-ratio \
        run dist bench bench-xml bench-ui fuzz-long format clean

all: native win32 win64

deps:
	@tools/install-deps.sh

native: deps
	cmake -S . -B $(BUILD)/native $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD)/native

asan: deps
	cmake -S . -B $(BUILD)/asan $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DCUSTOMIZE_SANITIZE=ON
	cmake --build $(BUILD)/asan

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(BUILD)/fuzz $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCUSTOMIZE_FUZZ=ON
	cmake --build $(BUILD)/fuzz

win32: deps
	cmake -S . -B $(BUILD)/win32 $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=MinSizeRel \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/i686-w64-mingw32.cmake -DCUSTOMIZE_TESTS=OFF
	cmake --build $(BUILD)/win32

WIN64_CONFIGURE := cmake -S . -B $(BUILD)/win64 $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/x86_64-w64-mingw32.cmake

win64: deps
	$(WIN64_CONFIGURE) -DCUSTOMIZE_TESTS=ON
	cmake --build $(BUILD)/win64

test-native: native
	$(CTEST) --test-dir $(BUILD)/native -j2
test-asan: asan
	$(CTEST) --test-dir $(BUILD)/asan -j2
test-fuzz: fuzz
	$(CTEST) --test-dir $(BUILD)/fuzz
test-win64: win64 win32
	$(CTEST) --test-dir $(BUILD)/win64

# Builds all three kinds and runs every test: native, sanitizers, a short fuzz run, Windows under Wine.
test: test-native test-asan test-fuzz test-win64 test-ratio

# The tests stay within 0.40 of the product's code.
test-ratio:
	tools/test-ratio.sh --max 0.40

# Opens the tool under Wine on a copy of the bundled samples, or on your own project folder (the one
# that holds xml.ini or Content\XML), edited in place: make run CONTENT=DIR
# Builds only the 64-bit program it opens; a new build folder is set up without the tests, one that
# make test set up keeps them. CONTENT reaches the script through the environment, spaces and all.
run:
	tools/install-deps.sh run
	[ -f $(BUILD)/win64/CMakeFiles/cmake.check_cache ] || $(WIN64_CONFIGURE) -DCUSTOMIZE_TESTS=OFF
	cmake --build $(BUILD)/win64 --target customize
	tools/run.sh $(BUILD) "$$CONTENT"

dist: win32
	tools/dist.sh $(BUILD) $(VERSION)

# The XML engine natively, then the tool under Wine on a long list (in the win64 build and its prefix).
bench: bench-xml bench-ui
bench-xml: deps
	cmake -S . -B $(BUILD)/bench $(GEN) -DCMAKE_BUILD_TYPE=Release -DCUSTOMIZE_BENCH=ON -DCUSTOMIZE_TESTS=OFF
	cmake --build $(BUILD)/bench
	$(BUILD)/bench/bench/xml_bench
bench-ui: deps
	cmake -S . -B $(BUILD)/win64 $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/x86_64-w64-mingw32.cmake -DCUSTOMIZE_BENCH=ON
	cmake --build $(BUILD)/win64 --target customize ui_bench
	cmake/wine-run.sh $(BUILD)/win64 $(BUILD)/win64/bench/ui_bench.exe

# The long fuzz run: make fuzz-long SECONDS=600
SECONDS ?= 600
fuzz-long: fuzz
	mkdir -p $(BUILD)/fuzz/corpus
	$(BUILD)/fuzz/tests/fuzz/xml_fuzz -max_total_time=$(SECONDS) -print_final_stats=1 -dict=tests/fuzz/xml.dict \
	    $(BUILD)/fuzz/corpus tests/data

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD)
