// execute in process: the real plug-in module, bound by name to this program
// acting as the host, with every option on, over workspaces of many maps.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "standin/host_session.h"
#include "standin/plugin_runner.h"
#include "standin/workspace.h"
#include "tests/support/standin_fixture.h"

namespace kelvane {
namespace {

using testing::pluginModule;

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
    p["MinP"] = Parameter::ofFloat(0.001f);
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
    return workspace;
}

bool isRecordCall(const std::string& call) {
    return call.rfind("nbGetNRVMPOfCurrentVMR", 0) == 0 || call.rfind("nbSetNRVMPParametersOfCurrentVMR", 0) == 0;
}

// One execute per iteration, each in a fresh host session (made and ended
// outside the timing). Overlay "All" makes the refresh pass stop at the first
// map; overlaying only the last map makes it read every map.
void BM_Execute(benchmark::State& state, bool overlayLast) {
    const auto mapCount = static_cast<int32_t>(state.range(0));
    nimbrel::Workspace workspace = workspaceWith(mapCount, overlayLast ? std::to_string(mapCount) : "All");

    auto session = std::make_unique<nimbrel::HostSession>(workspace);
    nimbrel::PluginObject plugin = pluginModule().createPlugin();
    if (!plugin || !plugin.initPlugin()) {
        state.SkipWithError("the plug-in did not start");
        plugin.destroy();
        return;
    }
    std::size_t calls = 0, recordCalls = 0;
    bool executed = true;
    for (auto _ : state) {
        state.PauseTiming();
        session.reset();
        session = std::make_unique<nimbrel::HostSession>(workspace);
        state.ResumeTiming();
        executed = plugin.execute() && executed;
    }
    calls = session->calls().size();
    for (const std::string& call : session->calls()) recordCalls += isRecordCall(call);
    plugin.destroy();
    session.reset();
    if (!executed) state.SkipWithError("execute returned false");

    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * mapCount);
    state.counters["maps"] = mapCount;
    state.counters["host_calls_per_map"] = static_cast<double>(calls) / mapCount;
    state.counters["record_calls_per_map"] = static_cast<double>(recordCalls) / mapCount;
}

BENCHMARK_CAPTURE(BM_Execute, overlay_all, false)
    ->Name("execute/overlay=All")
    ->Arg(10)->Arg(1000)->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Execute, overlay_last, true)
    ->Name("execute/overlay=last")
    ->Arg(10)->Arg(1000)->Arg(100000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kelvane
