// execute in process: the real plug-in module, bound by name to this program
// acting as the host, with every option on, over workspaces of many maps; and
// beside it, as its floor, the same host calls made straight from here with
// no arithmetic.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "host/host_contract.h"
#include "host/host_forwarders.h"
#include "host/host_function_table.h"
#include "host/nrvmp_record.h"
#include "standin/files/dialog_script.h"
#include "standin/host/host_session.h"
#include "standin/host/workspace.h"
#include "standin/plugin/plugin_runner.h"
#include "tests/support/standin_fixture.h"

namespace kelvane {
namespace {

using testing::pluginModule;

constexpr float kMinP = 0.001f;

// Degrees of freedom repeat in a cycle of ten, so every map count has the
// same mix; p = 0.001 is within the halving search's reach for all of them.
constexpr int32_t kDegreesOfFreedom[10] = {12, 15, 20, 25, 30, 40, 60, 100, 200, 1000};

nimbrel::Workspace workspaceWith(int32_t mapCount, const std::string& overlay) {
    using nimbrel::Parameter;
    nimbrel::Workspace workspace;
    workspace.documents.push_back({3, "anatomy.vmr", {}, false});
    workspace.currentDocument = 0;
    workspace.maps.resize(static_cast<std::size_t>(mapCount));
    for (int32_t i = 0; i < mapCount; ++i) {
        nimbrel::VolumeMap& map = workspace.maps[static_cast<std::size_t>(i)];
        map.record.mapType = 1;
        map.record.thresholdMin = 2.0f;
        map.record.thresholdMax = 8.0f;
        map.record.degreesOfFreedom = kDegreesOfFreedom[i % 10];
        map.record.showPosNeg = 3;
        map.record.transparency = 1.0f;
        map.setName("map " + std::to_string(i + 1), workspace.mapNameCapacity);
    }
    auto& p = workspace.parameters;
    p["DoSetMin"] = Parameter::ofInteger(1);
    p["Min"] = Parameter::ofFloat(2.5f);
    p["DoSetMinP"] = Parameter::ofInteger(1);
    p["MinP"] = Parameter::ofFloat(kMinP);
    p["DoSetMax"] = Parameter::ofInteger(1);
    p["Max"] = Parameter::ofFloat(10.0f);
    p["DoClusterSize"] = Parameter::ofInteger(1);
    p["ClusterSize"] = Parameter::ofInteger(50);
    p["DoUseClusterSize"] = Parameter::ofInteger(1);
    p["UseCluster"] = Parameter::ofInteger(1);
    p["DoShowPosNegBoth"] = Parameter::ofInteger(1);
    p["PNB"] = Parameter::ofInteger(2);
    p["DoTransparancy"] = Parameter::ofInteger(1);
    p["Trans"] = Parameter::ofFloat(0.6f);
    p["DoOverlayMaps"] = Parameter::ofInteger(1);
    p["Overlay"] = Parameter::ofText(overlay);
    p["UseExactT"] = Parameter::ofInteger(0);
    return workspace;
}

bool isRecordCall(const std::string& call) {
    return call.rfind("nbGetNRVMPOfCurrentVMR", 0) == 0 || call.rfind("nbSetNRVMPParametersOfCurrentVMR", 0) == 0;
}

// The workspace of one benchmark, a started plug-in, and the host calls of
// one untimed execute, which every timed iteration must repeat. Both
// benchmarks below start from here, so that they begin from the same state
// (the reference calls held in memory included).
struct ExecuteSetup {
    nimbrel::Workspace workspace;
    nimbrel::PluginObject plugin;
    std::vector<std::string> calls;

    ExecuteSetup(int32_t mapCount, bool overlayLast)
        : workspace(workspaceWith(mapCount, overlayLast ? std::to_string(mapCount) : "All")) {
        nimbrel::HostSession session(workspace);
        plugin = pluginModule().createPlugin();
        if (!plugin || !plugin.initPlugin()) return;
        const std::size_t startUp = session.calls().size();
        if (!plugin.execute()) return;
        calls.assign(session.calls().begin() + static_cast<std::ptrdiff_t>(startUp), session.calls().end());
    }
};

// Runs body once per iteration, each in a fresh host session made and ended
// outside the timing, and checks that the last one made execute's host calls.
template <typename Body>
void runInSessions(benchmark::State& state, ExecuteSetup& setup, int32_t mapCount, Body body) {
    if (setup.calls.empty()) {
        state.SkipWithError("the plug-in did not start or execute");
        return;
    }
    auto session = std::make_unique<nimbrel::HostSession>(setup.workspace);
    for (auto _ : state) {
        state.PauseTiming();
        session.reset();
        session = std::make_unique<nimbrel::HostSession>(setup.workspace);
        state.ResumeTiming();
        body();
    }
    if (session->calls() != setup.calls) state.SkipWithError("the host calls differ from execute's");
    session.reset();

    std::size_t recordCalls = 0;
    for (const std::string& call : setup.calls) recordCalls += isRecordCall(call);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * mapCount);
    state.counters["maps"] = mapCount;
    state.counters["host_calls_per_map"] = static_cast<double>(setup.calls.size()) / mapCount;
    state.counters["record_calls_per_map"] = static_cast<double>(recordCalls) / mapCount;
}

// One execute per iteration. Overlay "All" makes the refresh pass stop at the
// first map; overlaying only the last map makes it read every map.
void BM_Execute(benchmark::State& state, bool overlayLast) {
    const auto mapCount = static_cast<int32_t>(state.range(0));
    ExecuteSetup setup(mapCount, overlayLast);
    runInSessions(state, setup, mapCount, [&setup] { setup.plugin.execute(); });
}

// The host calls one execute makes in this workspace, in its order and with
// its texts and record fields, made from here with nothing computed: the
// options are not interpreted and every t-map gets one fixed threshold.
void sameHostCalls(int32_t mapCount, bool overlayLast) {
    // The parameters in the dialog's order, each through the getter of its type.
    static const nimbrel::DialogScript dialog = nimbrel::readDialogScript(KELVANE_SOURCE_DIR "/package/Kelvane.js");
    char overlay[kStringParameterSize] = {};
    for (const nimbrel::DialogParameter& parameter : dialog.parameters) {
        switch (parameter.type) {
            case nimbrel::DialogType::Float:
                nbGetFloatParameter(parameter.name.c_str());
                break;
            case nimbrel::DialogType::String:
                nbGetStringParameter(parameter.name.c_str(), overlay);
                break;
            case nimbrel::DialogType::Switch:
            case nimbrel::DialogType::Int:
                nbGetIntParameter(parameter.name.c_str());
                break;
        }
    }
    const std::string overlayLine = std::string("Kelvane>  Overlay the following maps: ") + overlay;
    for (const char* line : {"Kelvane>  -----", "Kelvane>  Set Min P to 0.0010", "Kelvane>  Set Max to 10.00",
                             "Kelvane>  Set Cluster Size to 50", "Kelvane>  DO use the cluster size threshold",
                             "Kelvane>  Show Both (pos and neg)", "Kelvane>  Transparancy Factor 0.60",
                             overlayLine.c_str(), "Kelvane>  -----"}) {
        nbLogText(line);
    }
    NRVMPsHeader header{};
    nbGetNRVMPsOfCurrentVMR(&header);
    NRVMPRecord record;
    char line[64];
    for (int32_t index = 0; index < mapCount; ++index) {
        nbGetNRVMPOfCurrentVMR(index, &record);
        record.thresholdMin = 3.5f;
        record.thresholdMax = 10.0f;
        record.clusterSize = 50;
        record.useClusterSize = 1;
        record.showPosNeg = 3;
        record.transparency = 0.6f;
        record.overlay = overlayLast ? index == mapCount - 1 : 1;
        std::snprintf(line, sizeof line, "Kelvane>  Setting parameters for map %i", index + 1);
        nbLogText(line);
        nbSetNRVMPParametersOfCurrentVMR(index, &record);
    }
    for (int32_t index = 0; index < mapCount; ++index) {
        nbGetNRVMPOfCurrentVMR(index, &record);
        if (record.overlay != 1) continue;
        record.overlay = 0;
        nbSetNRVMPParametersOfCurrentVMR(index, &record);
        record.overlay = 1;
        nbSetNRVMPParametersOfCurrentVMR(index, &record);
        break;
    }
    nbUpdateActiveWindow();
    nbLogText("Kelvane>");
    nbLogText("Kelvane>  Finished!");
}

// The floor under BM_Execute: the same host calls made from here.
void BM_SameHostCalls(benchmark::State& state, bool overlayLast) {
    const auto mapCount = static_cast<int32_t>(state.range(0));
    ExecuteSetup setup(mapCount, overlayLast);
    if (!bindHostFunctions()) {
        state.SkipWithError("no host to call");
        return;
    }
    runInSessions(state, setup, mapCount, [mapCount, overlayLast] { sameHostCalls(mapCount, overlayLast); });
}

BENCHMARK_CAPTURE(BM_Execute, overlay_all, false)
    ->Name("execute/overlay=All")
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Execute, overlay_last, true)
    ->Name("execute/overlay=last")
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SameHostCalls, overlay_all, false)
    ->Name("baseline/same-host-calls/overlay=All")
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SameHostCalls, overlay_last, true)
    ->Name("baseline/same-host-calls/overlay=last")
    ->Arg(10)
    ->Arg(1000)
    ->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelvane
