# One warning set for every target; the engine gets the conversion warnings on top.
add_library(project_warnings INTERFACE)
target_compile_options(project_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    $<$<CXX_COMPILER_ID:GNU>:-Wsuggest-override>
    -Wold-style-cast -Wcast-qual -Wimplicit-fallthrough -Wformat=2)
if(CUSTOMIZE_WERROR)
    target_compile_options(project_warnings INTERFACE -Werror)
endif()

add_library(project_warnings_strict INTERFACE)
target_link_libraries(project_warnings_strict INTERFACE project_warnings)
target_compile_options(project_warnings_strict INTERFACE -Wconversion -Wsign-conversion)
