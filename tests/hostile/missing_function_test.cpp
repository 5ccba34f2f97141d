// A host that lacks one of the functions execute calls. This file is built
// into one test program per withheld function (see CMakeLists.txt); each finds
// which one its host lacks through the binding and checks that function's row:
// the binding succeeds, the missing function's calls answer zero, and the
// plug-in returns, says what it can and touches nothing it does not own.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/host_contract.h"
#include "host/host_forwarders.h"
#include "host/host_function_table.h"
#include "host/nrvmp_record.h"
#include "tests/hostile/hostile_run.h"
#include "tests/support/bound_entries.h"
#include "tests/support/execute_lines.h"
#include "tests/support/standin_fixture.h"

namespace kelvane {
namespace {

using nimbrel::Parameter;
using nimbrel::Workspace;
using testing::concat;
using testing::kRule;
using testing::Lines;
using testing::logged;
using testing::SetRecord;
using testing::setting;
using testing::unreadable;
using Sets = std::vector<SetRecord>;

// Events of the run, as eventLines gives them: initPlugin's opening lines,
// the option report, and the closing lines with the destructor's blank.
const Lines kOpening = logged({" ", "Kelvane>  Running Kelvane Plugin...", "Kelvane>"});
const Lines kReport = logged({kRule, "Kelvane>  Set Max to 7.50", "Kelvane>  Overlay the following maps: 2", kRule});
const Lines kClosingEvents = logged(concat({testing::kClosing, {" "}}));

struct MissingCase {
    const char* function;
    // Its forwarder's call where the host would answer (a VMR with one map,
    // "Overlay" set): true when it answered zero and wrote nothing.
    std::function<bool()> answersZero;
    // execute on three maps, the first overlaid, with "Max" 7.5 and the list 2:
    bool initialised;
    std::optional<bool> executed;
    Lines events;                   // log lines and message boxes, in order
    Sets sets;                      // every record handed back
    std::vector<int32_t> overlays;  // each map's overlay afterwards
    float thresholdMax;             // every map's afterwards
};

const MissingCase kCases[] = {
    // Every record read answers null: no map is read, so none is set.
    {"nbGetNRVMPOfCurrentVMR",
     [] {
         NRVMPRecord record{};
         record.mapType = 77;
         return nbGetNRVMPOfCurrentVMR(0, &record) == nullptr && record.mapType == 77;
     },
     true,
     true,
     concat({kOpening, kReport, logged({unreadable(1), unreadable(2), unreadable(3)}), kClosingEvents}),
     {},
     {1, 0, 0},
     8.0f},
    // The records are read and changed, but nothing takes them back.
    {"nbSetNRVMPParametersOfCurrentVMR",
     [] {
         NRVMPRecord record{};
         return !nbSetNRVMPParametersOfCurrentVMR(0, &record);
     },
     true,
     true,
     concat({kOpening, kReport, logged({setting(1), setting(2), setting(3)}), kClosingEvents}),
     {},
     {1, 0, 0},
     8.0f},
    // Nothing can be said, but the work is done.
    {"nbLogText",
     [] { return !nbLogText("a line"); },
     true,
     true,
     {},
     Sets{{0, 0}, {1, 1}, {2, 0}, {1, 0}, {1, 1}},
     {0, 1, 0},
     7.5f},
    // The list is never filled in: empty, so no map is overlaid.
    {"nbGetStringParameter",
     [] {
         char text[kStringParameterSize] = "kept";
         return !nbGetStringParameter("Overlay", text) && std::string(text) == "kept";
     },
     true,
     true,
     concat({kOpening,
             logged({kRule, "Kelvane>  Set Max to 7.50", "Kelvane>  Overlay the following maps: ", kRule,
                     "Kelvane>  No Map numbers detected"}),
             logged({setting(1), setting(2), setting(3)}), kClosingEvents}),
     Sets{{0, 0}, {1, 0}, {2, 0}},
     {0, 0, 0},
     7.5f},
    // Without the maps header the start-up check finds no maps.
    {"nbGetNRVMPsOfCurrentVMR",
     [] {
         NRVMPsHeader header{};
         header.mapCount = -9;
         return nbGetNRVMPsOfCurrentVMR(&header) == nullptr && header.mapCount == -9;
     },
     false,
     std::nullopt,
     concat({kOpening, {"message: No VMPs are currently loaded.", "log:  "}}),
     {},
     {1, 0, 0},
     8.0f},
};

// The functions this program's host lacks, as the binding finds them: the
// tests' parameter, so that each program's tests bear its function's name.
std::vector<std::string> missingFunctionsOfThisHost() {
    if (!bindHostFunctions()) return {"NoHostAtAll"};
    return testing::unboundNames();
}

class MissingHostFunction : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        ASSERT_TRUE(bindHostFunctions());
        ASSERT_EQ(testing::unboundNames(), std::vector<std::string>{GetParam()})
            << "the host lacks exactly one function";
        for (const MissingCase& c : kCases)
            if (GetParam() == c.function) row = &c;
        ASSERT_NE(row, nullptr) << "no row for a host without " << GetParam();
    }
    const MissingCase* row = nullptr;
};

TEST_P(MissingHostFunction, ItsCallsAnswerZeroAndReachNothing) {
    Workspace workspace = testing::vmrWorkspace(1);
    workspace.parameters["Overlay"] = Parameter::ofText("All");
    nimbrel::HostSession session(workspace);
    EXPECT_TRUE(row->answersZero());
    EXPECT_EQ(session.calls(), std::vector<std::string>{});
    EXPECT_TRUE(session.events().empty());
    EXPECT_TRUE(session.recordsSet().empty());
}

TEST_P(MissingHostFunction, PluginReturnsAndTouchesOnlyWhatItOwns) {
    Workspace workspace = testing::vmrWorkspace(3);
    workspace.maps[0].record.overlay = 1;
    workspace.parameters["DoSetMax"] = Parameter::ofInteger(1);
    workspace.parameters["Max"] = Parameter::ofFloat(7.5f);
    workspace.parameters["DoOverlayMaps"] = Parameter::ofInteger(1);
    workspace.parameters["Overlay"] = Parameter::ofText("2");
    testing::HostileRun run = testing::runHostile(workspace);

    EXPECT_EQ(run.outcome.initialised, row->initialised);
    EXPECT_EQ(run.outcome.executed, row->executed);
    EXPECT_EQ(testing::eventLines(*run.session), row->events);
    EXPECT_EQ(testing::setsOf(*run.session), row->sets);
    for (std::size_t m = 0; m < workspace.maps.size(); ++m) {
        EXPECT_EQ(workspace.maps[m].record.overlay, row->overlays[m]) << "map " << m + 1;
        EXPECT_EQ(workspace.maps[m].record.thresholdMax, row->thresholdMax) << "map " << m + 1;
    }
    testing::expectOnlyOwnBytesChanged(run, workspace);
}

INSTANTIATE_TEST_SUITE_P(Host, MissingHostFunction, ::testing::ValuesIn(missingFunctionsOfThisHost()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace kelvane
