// Loading a workspace file as Nimbrel.exe does: the text of 10,000, 100,000
// and 1,000,000 maps read into a workspace, beside its floor: the JSON
// library's own SAX parse of the same text with a handler that does nothing.
// The time per map must stay flat as the count grows, and at most 1.5 times
// the floor's; the memory a load takes at its peak, per map, is measured in a
// child process of its own.

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <string>

#include "standin/files/workspace_json.h"
#include "standin/host/workspace.h"

#if !defined(_WIN32)
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kelvane {
namespace {

// The text of a workspace file of that many t-maps, each with every field.
const std::string& workspaceFileText(int maps) {
    static std::map<int, std::string> texts;
    std::string& text = texts[maps];
    if (text.empty()) {
        nimbrel::Workspace workspace;
        workspace.documents.push_back({3, "anatomy.vmr", {}, false});
        workspace.currentDocument = 0;
        workspace.maps.resize(static_cast<std::size_t>(maps));
        for (int i = 0; i < maps; ++i) {
            nimbrel::VolumeMap& map = workspace.maps[static_cast<std::size_t>(i)];
            map.record.mapType = 1;
            map.record.thresholdMin = 2.0f + static_cast<float>(i % 7) / 8.0f;
            map.record.thresholdMax = 8.0f;
            map.record.degreesOfFreedom = 10 + i % 200;
            map.record.showPosNeg = 3;
            map.record.transparency = 1.0f;
            map.setName("map " + std::to_string(i + 1), workspace.mapNameCapacity);
        }
        text = nimbrel::workspaceText(workspace);
    }
    return text;
}

#if !defined(_WIN32)
// A field of /proc/self/status in bytes: "VmRSS", "VmHWM".
double statusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(std::string(field) + ":", 0) == 0) return std::stod(line.substr(line.find(':') + 1)) * 1024.0;
    return 0;
}

// The peak memory a load adds, in bytes, measured in a child process whose
// peak is reset first, so that no earlier peak counts.
double loadPeakBytes(const std::string& text) {
    int channel[2];
    if (pipe(channel) != 0) return 0;
    const pid_t child = fork();
    if (child == 0) {
        malloc_trim(0);                                 // free heap pages the parent left count no more
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
        const double before = statusBytes("VmRSS");
        const nimbrel::Workspace workspace = nimbrel::parseWorkspace(text, "bench.json");
        const double added = statusBytes("VmHWM") - before;
        (void)!write(channel[1], &added, sizeof added);
        _exit(workspace.maps.empty() ? 1 : 0);
    }
    double added = 0;
    (void)!read(channel[0], &added, sizeof added);
    close(channel[0]);
    close(channel[1]);
    waitpid(child, nullptr, 0);
    return added;
}
#endif

void loadWorkspace(benchmark::State& state) {
    const int maps = static_cast<int>(state.range(0));
    const std::string& text = workspaceFileText(maps);
#if !defined(_WIN32)
    const double peak = loadPeakBytes(text);
#endif
    for (auto _ : state) {
        nimbrel::Workspace workspace = nimbrel::parseWorkspace(text, "bench.json");
        benchmark::DoNotOptimize(workspace.maps.data());
    }
    state.counters["per map"] =
        benchmark::Counter(maps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["file bytes per map"] = static_cast<double>(text.size()) / maps;
#if !defined(_WIN32)
    state.counters["peak bytes per map"] = peak / maps;
#endif
}

// The floor: the same text through nlohmann's SAX parser, every value dropped.
struct IgnoreEverything {
    using json = nlohmann::json;
    bool null() { return true; }
    bool boolean(bool) { return true; }
    bool number_integer(json::number_integer_t) { return true; }
    bool number_unsigned(json::number_unsigned_t) { return true; }
    bool number_float(json::number_float_t, const std::string&) { return true; }
    bool string(std::string&) { return true; }
    bool binary(json::binary_t&) { return true; }
    bool start_object(std::size_t) { return true; }
    bool key(std::string&) { return true; }
    bool end_object() { return true; }
    bool start_array(std::size_t) { return true; }
    bool end_array() { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }
};

void saxParseBaseline(benchmark::State& state) {
    const int maps = static_cast<int>(state.range(0));
    const std::string& text = workspaceFileText(maps);
    for (auto _ : state) {
        IgnoreEverything handler;
        const bool parsed = nlohmann::json::sax_parse(text.data(), text.data() + text.size(), &handler);
        if (!parsed) state.SkipWithError("the workspace text did not parse");
        benchmark::DoNotOptimize(parsed);
    }
    state.counters["per map"] =
        benchmark::Counter(maps, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["file bytes per map"] = static_cast<double>(text.size()) / maps;
}

BENCHMARK(loadWorkspace)
    ->Name("load/workspace")
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK(saxParseBaseline)
    ->Name("load/baseline/sax-parse")
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace kelvane
