// Parse-and-build and write throughput of our engine against pugixml and tinyxml2 on a content file
// of a million items, and the peak memory of each engine's load, each measured in its own child
// process so that the figure is that engine's alone. Then the load a user's start-up meets: one
// cold load in a freshly started process, the engines taking turns over the rounds.
#include "Xml.h"

#include <pugixml.hpp>
#include <tinyxml2.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace
{

constexpr int kItems = 1000000;
constexpr int kRounds = 5;

std::string MakeContentFile()
{
    const std::string path = "/tmp/xml_bench_" + std::to_string(::getpid()) + ".xml";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
    {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::fputs("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- Features of the content project -->\r\n"
               "<features version=\"3\">\r\n",
               file);
    for (int i = 0; i < kItems; ++i)
    {
        std::fprintf(
            file,
            "  <feature name=\"Feature %06d\" enabled=\"%d\" text=\"Description of feature %06d\"/>\r\n", i,
            i % 3 == 0 ? 0 : 1, i);
    }
    std::fputs("</features>\r\n", file);
    std::fclose(file);
    return path;
}

std::string ReadAll(const std::string& path)
{
    std::string bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    char chunk[1 << 16];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

// One measured task: its best time over the rounds, in seconds. setup runs untimed before each run.
struct Task
{
    std::function<void()> setup;
    std::function<void()> work;
    double best = 1e30;
};

// The tasks take turns within each round, so that a change in the machine's load between
// rounds falls on all engines alike.
void RunRounds(std::initializer_list<Task*> tasks)
{
    for (int round = 0; round < kRounds; ++round)
    {
        for (Task* task : tasks)
        {
            task->setup();
            const auto start = std::chrono::steady_clock::now();
            task->work();
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            task->best = std::min(task->best, took.count());
        }
    }
}

// Peak resident memory, in bytes, of a child process that runs load once.
long PeakOfLoad(const std::function<void()>& load)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    const pid_t child = ::fork();
    if (child == 0)
    {
        ::close(fds[0]);
        load();
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        const long peak = usage.ru_maxrss * 1024L;
        if (::write(fds[1], &peak, sizeof peak) != static_cast<ssize_t>(sizeof peak))
            ::_exit(1);
        ::_exit(0);
    }
    ::close(fds[1]);
    long peak = -1;
    if (::read(fds[0], &peak, sizeof peak) != static_cast<ssize_t>(sizeof peak))
        peak = -1;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return peak;
}

struct StringWriter : pugi::xml_writer
{
    std::string out;
    void write(const void* data, size_t size) override
    {
        out.append(static_cast<const char*>(data), size);
    }
};

constexpr unsigned kPugiParse = pugi::parse_default | pugi::parse_ws_pcdata;
constexpr unsigned kPugiFormat = pugi::format_raw | pugi::format_no_declaration;

constexpr const char* kEngines[] = {"ours", "pugixml", "tinyxml2"};
constexpr int kColdRounds = 5;

// The child's side of a cold load: loads the file once with one engine and prints the seconds it
// took and the process's peak resident bytes. The document is left to the process's exit.
int ColdLoad(const std::string& engine, const char* path)
{
    const auto start = std::chrono::steady_clock::now();
    bool loaded = false;
    if (engine == "ours")
        loaded = (new CXmlDocument)->Load(path);
    else if (engine == "pugixml")
        loaded = static_cast<bool>((new pugi::xml_document)->load_file(path, kPugiParse));
    else if (engine == "tinyxml2")
        loaded = (new tinyxml2::XMLDocument(true, tinyxml2::PRESERVE_WHITESPACE))->LoadFile(path) ==
                 tinyxml2::XML_SUCCESS;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%.6f %ld\n", loaded ? took.count() : -1.0, usage.ru_maxrss * 1024L);
    std::fflush(stdout);
    ::_exit(0);
}

struct ColdRun
{
    double seconds = -1;
    long peak = -1;
};

// Starts this program anew to load the file once with the engine.
ColdRun RunCold(const char* engine, const std::string& path)
{
    ColdRun run;
    int fds[2];
    if (::pipe(fds) != 0)
        return run;
    const pid_t child = ::fork();
    if (child == 0)
    {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        const char* args[] = {"xml_bench", "--cold", engine, path.c_str(), nullptr};
        ::execv("/proc/self/exe", const_cast<char* const*>(args));
        ::_exit(127);
    }
    ::close(fds[1]);
    char line[128] = {};
    const ssize_t got = ::read(fds[0], line, sizeof line - 1);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (got <= 0 || std::sscanf(line, "%lf %ld", &run.seconds, &run.peak) != 2)
        run = ColdRun{};
    return run;
}

double Median(std::array<double, kColdRounds> values)
{
    std::sort(values.begin(), values.end());
    return values[kColdRounds / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--cold") == 0)
        return ColdLoad(argv[2], argv[3]);

    const std::string path = MakeContentFile();
    const double megabytes = [&] {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        std::fseek(file, 0, SEEK_END);
        const long size = std::ftell(file);
        std::fclose(file);
        return static_cast<double>(size) / 1e6;
    }();
    std::printf("content file: %d items, %.1f MB, CRLF (%s)\n\n", kItems, megabytes, path.c_str());

    // Cold loads first, each in a process of its own started while this one is small (a child's peak
    // counts what its parent held when it was forked), the engines' order turning each round so that
    // none always follows another.
    std::array<std::array<ColdRun, 3>, kColdRounds> cold{};
    for (int round = 0; round < kColdRounds; ++round)
    {
        for (int k = 0; k < 3; ++k)
        {
            const int engine = (round + k) % 3;
            cold[round][engine] = RunCold(kEngines[engine], path);
        }
    }
    // Peak memory next, each in a fresh child of this still small process.
    const long basePeak = PeakOfLoad([] {});
    const long oursPeak = PeakOfLoad([&] {
        auto document = std::make_unique<CXmlDocument>();
        document->Load(path.c_str());
    });
    const long pugiPeak = PeakOfLoad([&] {
        pugi::xml_document document;
        document.load_file(path.c_str(), kPugiParse);
    });
    const long tinyPeak = PeakOfLoad([&] {
        tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
        document.LoadFile(path.c_str());
    });

    // Parse and build, from the file.
    std::unique_ptr<CXmlDocument> ours;
    std::unique_ptr<pugi::xml_document> pugiDoc;
    std::unique_ptr<tinyxml2::XMLDocument> tinyDoc;
    Task oursLoad{[&] { ours.reset(); },
                  [&] {
                      ours = std::make_unique<CXmlDocument>();
                      ours->Load(path.c_str());
                  }};
    Task pugiLoad{[&] { pugiDoc.reset(); },
                  [&] {
                      pugiDoc = std::make_unique<pugi::xml_document>();
                      pugiDoc->load_file(path.c_str(), kPugiParse);
                  }};
    Task tinyLoad{[&] { tinyDoc.reset(); },
                  [&] {
                      tinyDoc = std::make_unique<tinyxml2::XMLDocument>(true, tinyxml2::PRESERVE_WHITESPACE);
                      tinyDoc->LoadFile(path.c_str());
                  }};
    RunRounds({&oursLoad, &pugiLoad, &tinyLoad});

    // Write, into memory, each engine into a string or buffer of its own making.
    std::string oursOut;
    StringWriter pugiOut;
    std::size_t tinySize = 0;
    // Swapped out, not assigned: an assigned empty string would keep its capacity and spare the
    // next run the growth and the page faults that the first one paid.
    Task oursWrite{[&] { std::string().swap(oursOut); }, [&] { oursOut = ours->ToString(); }};
    Task pugiWrite{[&] { std::string().swap(pugiOut.out); },
                   [&] { pugiDoc->save(pugiOut, "", kPugiFormat); }};
    Task tinyWrite{[] {},
                   [&] {
                       tinyxml2::XMLPrinter printer(nullptr, true);
                       tinyDoc->Print(&printer);
                       tinySize = static_cast<std::size_t>(printer.CStrSize());
                   }};
    // What no writer into a new string can beat: the file's bytes copied into one of their size.
    const std::string fileBytes = ReadAll(path);
    std::string copyOut;
    Task bareCopy{[&] { std::string().swap(copyOut); },
                  [&] {
                      copyOut.reserve(fileBytes.size());
                      copyOut.append(fileBytes);
                  }};
    RunRounds({&oursWrite, &pugiWrite, &tinyWrite, &bareCopy});

    // And our Save, to a file beside the content (flushed to disk before the replace).
    const std::string savePath = path + ".saved";
    Task oursSave{[] {}, [&] { ours->Save(savePath.c_str()); }};
    RunRounds({&oursSave});
    const bool same = ReadAll(path) == oursOut && ReadAll(savePath) == oursOut;

    const double oursParse = oursLoad.best, pugiParse = pugiLoad.best, tinyParse = tinyLoad.best;
    const double oursWriteTime = oursWrite.best, pugiWriteTime = pugiWrite.best,
                 tinyWriteTime = tinyWrite.best;

    auto rate = [&](double seconds) { return megabytes / seconds; };
    std::printf("%-10s %14s %9s %14s %9s %14s\n", "engine", "parse+build", "vs pugi", "write (mem)",
                "vs pugi", "peak memory");
    std::printf("%-10s %9.0f MB/s %8.2fx %9.0f MB/s %8.2fx %8.0f MB %4.1fx file\n", "ours", rate(oursParse),
                pugiParse / oursParse, rate(oursWriteTime), pugiWriteTime / oursWriteTime,
                static_cast<double>(oursPeak) / 1e6, static_cast<double>(oursPeak) / 1e6 / megabytes);
    std::printf("%-10s %9.0f MB/s %8.2fx %9.0f MB/s %8.2fx %8.0f MB %4.1fx file\n", "pugixml",
                rate(pugiParse), 1.0, rate(pugiWriteTime), 1.0, static_cast<double>(pugiPeak) / 1e6,
                static_cast<double>(pugiPeak) / 1e6 / megabytes);
    std::printf("%-10s %9.0f MB/s %8.2fx %9.0f MB/s %8.2fx %8.0f MB %4.1fx file\n", "tinyxml2",
                rate(tinyParse), pugiParse / tinyParse, rate(tinyWriteTime), pugiWriteTime / tinyWriteTime,
                static_cast<double>(tinyPeak) / 1e6, static_cast<double>(tinyPeak) / 1e6 / megabytes);
    std::printf("%-10s %14s %9s %9.0f MB/s %8.2fx   (the file's bytes copied into a new string)\n", "bare copy",
                "", "", rate(bareCopy.best), pugiWriteTime / bareCopy.best);
    std::printf("\nours: Save to file %.0f MB/s; written bytes identical to the input: %s\n",
                rate(oursSave.best), same ? "yes" : "NO");
    std::printf("peak of an empty child process: %.0f MB (included in the peaks above)\n",
                static_cast<double>(basePeak) / 1e6);
    std::printf("output sizes: ours %zu, pugixml %zu, tinyxml2 %zu bytes; best of %d interleaved rounds\n",
                oursOut.size(), pugiOut.out.size(), tinySize, kRounds);
    std::printf("\ncold load, one per freshly started process (%d rounds, engines taking turns):\n", kColdRounds);
    std::printf("%-6s %22s %22s %22s %10s %10s\n", "round", "ours", "pugixml", "tinyxml2", "ours/pugi",
                "ours/tiny");
    std::array<double, kColdRounds> vsPugi{}, vsTiny{}, peaks[3]{}, times[3]{};
    for (int round = 0; round < kColdRounds; ++round)
    {
        std::printf("%-6d", round + 1);
        for (int engine = 0; engine < 3; ++engine)
        {
            const ColdRun& run = cold[round][engine];
            times[engine][round] = run.seconds;
            peaks[engine][round] = static_cast<double>(run.peak) / 1e6 / megabytes;
            std::printf(" %8.3f s %5.0f MB %4.1fx", run.seconds, static_cast<double>(run.peak) / 1e6,
                        peaks[engine][round]);
        }
        vsPugi[round] = cold[round][1].seconds / cold[round][0].seconds;
        vsTiny[round] = cold[round][2].seconds / cold[round][0].seconds;
        std::printf(" %9.2fx %9.2fx\n", vsPugi[round], vsTiny[round]);
    }
    const double coldVsPugi = Median(vsPugi), coldVsTiny = Median(vsTiny), coldPeak = Median(peaks[0]);
    std::printf("median %8.3f s %13.1fx %8.3f s %13.1fx %8.3f s %13.1fx %9.2fx %9.2fx\n", Median(times[0]),
                coldPeak, Median(times[1]), Median(peaks[1]), Median(times[2]), Median(peaks[2]), coldVsPugi,
                coldVsTiny);
    std::printf("(ours/pugi: pugixml's time over ours, paired within a round; peak: ru_maxrss of the child as "
                "a multiple of the file)\n");
    std::printf("targets: cold read >= tinyxml2 (%s; %.2fx pugixml), peak <= 5x file (%s), "
                "write >= 1.4x pugixml (%s)\n",
                coldVsTiny >= 1.0 ? "met" : "MISSED", coldVsPugi, coldPeak <= 5.0 ? "met" : "MISSED",
                pugiWriteTime >= 1.4 * oursWriteTime ? "met" : "MISSED");

    std::remove(path.c_str());
    std::remove(savePath.c_str());
    return 0;
}
