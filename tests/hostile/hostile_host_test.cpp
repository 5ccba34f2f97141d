// execute and the document census against a host that misbehaves: records it
// cannot give, map and document counts that do not match what it has, texts
// without a terminator, parameters it never got, floats that are not numbers.
// The real plug-in module, bound by name to this test program as the host.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "host/host_function_table.h"
#include "tests/hostile/hostile_run.h"
#include "tests/support/execute_lines.h"
#include "tests/support/float_bits.h"
#include "tests/support/standin_fixture.h"
#include "util/document_census.h"

namespace kelvane {
namespace {

using nimbrel::Parameter;
using nimbrel::Workspace;
using testing::concat;
using testing::floatBits;
using testing::kClosing;
using testing::kRule;
using testing::Lines;
using testing::SetRecord;
using testing::setsOf;
using testing::setting;
using testing::unreadable;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

// One hostile host, what execute must log, and what it must have written.
struct HostileCase {
    const char* label;
    int maps;
    std::function<void(Workspace&)> setUp;
    std::function<Lines()> lines;                           // execute's lines
    std::vector<SetRecord> sets;                            // every record handed back, in order
    std::function<void(const Workspace&)> check = nullptr;  // the maps' fields afterwards
};
void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.label;
}

class HostileExecute : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileExecute, ReturnsLogsAndTouchesOnlyWhatItOwns) {
    const HostileCase& c = GetParam();
    Workspace workspace = testing::vmrWorkspace(c.maps);
    c.setUp(workspace);
    testing::HostileRun run = testing::runHostile(workspace);
    ASSERT_TRUE(run.outcome.initialised);
    EXPECT_EQ(run.outcome.executed, true);
    EXPECT_EQ(run.executeLines(), c.lines());
    EXPECT_EQ(setsOf(*run.session), c.sets);
    EXPECT_EQ(run.session->redraws(), 1);
    testing::expectOnlyOwnBytesChanged(run, workspace);
    if (c.check) c.check(workspace);
}

void set(Workspace& w, const char* name, int32_t value) {
    w.parameters[name] = Parameter::ofInteger(value);
}
void set(Workspace& w, const char* name, float value) {
    w.parameters[name] = Parameter::ofFloat(value);
}
void set(Workspace& w, const char* name, const std::string& value) {
    w.parameters[name] = Parameter::ofText(value);
}

Lines report(Lines lines) {
    return concat({{kRule}, lines, {kRule}});
}

const std::string kManyOnes = [] {
    std::string list;
    while (list.size() < 600) list += "1,";
    return list;
}();

INSTANTIATE_TEST_SUITE_P(
    Table, HostileExecute,
    ::testing::Values(
        HostileCase{"NullRecordsAtFirstAndLastIndex",
                    5,
                    [](Workspace& w) {
                        w.hostile.nullRecordIndices = {0, 4};
                        set(w, "DoSetMax", 1);
                        set(w, "Max", 6.5f);
                    },
                    [] {
                        return concat({report({"Kelvane>  Set Max to 6.50"}),
                                       {unreadable(1), setting(2), setting(3), setting(4), unreadable(5)},
                                       kClosing});
                    },
                    {{1, 0}, {2, 0}, {3, 0}},
                    [](const Workspace& w) {
                        EXPECT_EQ(w.maps[0].record.thresholdMax, 8.0f);
                        EXPECT_EQ(w.maps[2].record.thresholdMax, 6.5f);
                    }},
        HostileCase{"EveryRecordNull",
                    3,
                    [](Workspace& w) {
                        w.hostile.nullRecordIndices = {2, 1, 0};
                        w.maps[1].record.overlay = 1;
                        set(w, "DoOverlayMaps", 1);
                        set(w, "Overlay", std::string("All"));
                    },
                    [] {
                        return concat({report({"Kelvane>  Overlay the following maps: All"}),
                                       {unreadable(1), unreadable(2), unreadable(3)},
                                       kClosing});
                    },
                    {}},
        // The refresh pass passes over the first overlaid map when the host
        // cannot give it, and rewrites the next overlaid one.
        HostileCase{"RefreshSkipsAnUnreadableOverlaidMap",
                    3,
                    [](Workspace& w) {
                        w.hostile.nullRecordIndices = {0};
                        w.maps[0].record.overlay = 1;
                        w.maps[2].record.overlay = 1;
                        set(w, "DoSetMax", 1);
                    },
                    [] {
                        return concat(
                            {report({"Kelvane>  Set Max to 0.00"}), {unreadable(1), setting(2), setting(3)}, kClosing});
                    },
                    {{1, 0}, {2, 1}, {2, 0}, {2, 1}}},
        HostileCase{"LowestMapCount",
                    3,
                    [](Workspace& w) {
                        w.hostile.reportedMapCount = INT32_MIN;
                        set(w, "DoOverlayMaps", 1);
                        set(w, "Overlay", std::string("1-3"));
                    },
                    [] {
                        return concat({report({"Kelvane>  Overlay the following maps: 1-3"}), kClosing});
                    },
                    {}},
        HostileCase{"MapCountZeroWithMapsLoaded",
                    3,
                    [](Workspace& w) {
                        w.hostile.reportedMapCount = 0;
                        w.maps[0].record.overlay = 1;
                        set(w, "DoSetMin", 1);
                        set(w, "Min", 1.0f);
                        set(w, "DoOverlayMaps", 1);
                        set(w, "Overlay", std::string("All"));
                    },
                    [] {
                        return concat(
                            {report({"Kelvane>  Set Min to 1.00", "Kelvane>  Overlay the following maps: All"}),
                             kClosing});
                    },
                    {}},
        // Count 100,000 over three maps: the rest cannot be read, each says so.
        HostileCase{"MapCountFarAboveTheMaps",
                    3,
                    [](Workspace& w) {
                        w.hostile.reportedMapCount = 100000;
                        set(w, "DoOverlayMaps", 1);
                        set(w, "Overlay", std::string("2,99999-100001"));
                    },
                    [] {
                        Lines lines = report({"Kelvane>  Overlay the following maps: 2,99999-100001"});
                        for (int m = 1; m <= 3; ++m) lines.push_back(setting(m));
                        for (int m = 4; m <= 100000; ++m) lines.push_back(unreadable(m));
                        return concat({lines, kClosing});
                    },
                    {{0, 0}, {1, 1}, {2, 0}, {1, 0}, {1, 1}}},
        // "All" that the host leaves unterminated is no longer "All", and holds
        // no digit.
        HostileCase{"UnterminatedAll",
                    2,
                    [](Workspace& w) {
                        w.hostile.unterminatedStrings = true;
                        w.maps[0].record.overlay = 1;
                        set(w, "DoOverlayMaps", 1);
                        set(w, "Overlay", std::string("All"));
                    },
                    [] {
                        return concat({report({"Kelvane>  Overlay the following maps: All" + std::string(508, 'x')}),
                                       {"Kelvane>  No Map numbers detected", setting(1), setting(2)},
                                       kClosing});
                    },
                    {{0, 0}, {1, 0}}},
        HostileCase{"UnterminatedListLongerThanTheBuffer",
                    2,
                    [](Workspace& w) {
                        w.hostile.unterminatedStrings = true;
                        set(w, "DoOverlayMaps", 1);
                        set(w, "Overlay", kManyOnes);
                    },
                    [] {
                        return concat({report({"Kelvane>  Overlay the following maps: " + kManyOnes.substr(0, 511)}),
                                       {setting(1), setting(2)},
                                       kClosing});
                    },
                    {{0, 1}, {1, 0}, {0, 0}, {0, 1}}},
        // The switches are there, their values never were: each reads as zero.
        HostileCase{"ValuesNeverSet",
                    2,
                    [](Workspace& w) {
                        for (const char* name : {"DoSetMin", "DoSetMax", "DoClusterSize", "DoUseClusterSize",
                                                 "DoShowPosNegBoth", "DoTransparancy", "DoOverlayMaps"})
                            set(w, name, 1);
                        w.maps[1].record.overlay = 1;
                    },
                    [] {
                        return concat(
                            {report({"Kelvane>  Set Min to 0.00", "Kelvane>  Set Max to 0.00",
                                     "Kelvane>  Set Cluster Size to 0",
                                     "Kelvane>  DO NOT use the cluster size threshold", "Kelvane>  Show Positive",
                                     "Kelvane>  Transparancy Factor 0.00", "Kelvane>  Overlay the following maps: "}),
                             {"Kelvane>  No Map numbers detected", setting(1), setting(2)},
                             kClosing});
                    },
                    {{0, 0}, {1, 0}},
                    [](const Workspace& w) {
                        for (const auto& map : w.maps) {
                            EXPECT_EQ(floatBits(map.record.thresholdMin), 0u);
                            EXPECT_EQ(floatBits(map.record.thresholdMax), 0u);
                            EXPECT_EQ(map.record.clusterSize, 0);
                            EXPECT_EQ(map.record.useClusterSize, 0);
                            EXPECT_EQ(map.record.showPosNeg, 1);
                            EXPECT_EQ(floatBits(map.record.transparency), 0u);
                            EXPECT_EQ(map.record.overlay, 0);
                        }
                    }},
        HostileCase{"FloatsNotANumberAndInfinite",
                    2,
                    [](Workspace& w) {
                        set(w, "DoSetMin", 1);
                        set(w, "Min", kNaN);
                        set(w, "DoSetMax", 1);
                        set(w, "Max", kInfinity);
                        set(w, "DoTransparancy", 1);
                        set(w, "Trans", -kInfinity);
                    },
                    [] {
                        return concat({report({"Kelvane>  Set Min to nan", "Kelvane>  Set Max to inf",
                                               "Kelvane>  Transparancy Factor -inf"}),
                                       {setting(1), setting(2)},
                                       kClosing});
                    },
                    {{0, 0}, {1, 0}},
                    [](const Workspace& w) {
                        for (const auto& map : w.maps) {
                            EXPECT_EQ(floatBits(map.record.thresholdMin), floatBits(kNaN));
                            EXPECT_EQ(floatBits(map.record.thresholdMax), floatBits(kInfinity));
                            EXPECT_EQ(floatBits(map.record.transparency), floatBits(-kInfinity));
                        }
                    }},
        HostileCase{"InfiniteP",
                    2,
                    [](Workspace& w) {
                        w.maps[1].record.mapType = 2;
                        set(w, "DoSetMin", 1);
                        set(w, "DoSetMinP", 1);
                        set(w, "MinP", kInfinity);
                    },
                    [] {
                        return concat(
                            {report({"Kelvane>  Set Min P to inf"}),
                             {"Kelvane>  Map 1: cannot turn P inf into a t value with 20 degrees of freedom, "
                              "threshold kept",
                              setting(1), "Kelvane>  Map 2 is not a T-map, setting of P threshold not supported",
                              setting(2)},
                             kClosing});
                    },
                    {{0, 0}, {1, 0}},
                    [](const Workspace& w) { EXPECT_EQ(w.maps[0].record.thresholdMin, 2.0f); }},
        HostileCase{"ExtremeIntegers",
                    1,
                    [](Workspace& w) {
                        set(w, "DoClusterSize", INT32_MIN);
                        set(w, "ClusterSize", INT32_MIN);
                        set(w, "DoShowPosNegBoth", INT32_MAX);
                        set(w, "PNB", INT32_MAX);
                        set(w, "DoUseClusterSize", -1);
                        set(w, "UseCluster", INT32_MIN);
                    },
                    [] {
                        return concat({report({"Kelvane>  Set Cluster Size to -2147483648",
                                               "Kelvane>  DO use the cluster size threshold",
                                               "Kelvane>  Show Both (pos and neg)"}),
                                       {setting(1)},
                                       kClosing});
                    },
                    {{0, 0}},
                    [](const Workspace& w) {
                        EXPECT_EQ(w.maps[0].record.clusterSize, INT32_MIN);
                        EXPECT_EQ(w.maps[0].record.useClusterSize, 1);
                        EXPECT_EQ(w.maps[0].record.showPosNeg, INT32_MIN);  // PNB + 1, wrapped
                    }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(HostileHost, NoParameterEverSetChoosesNothing) {
    Workspace workspace = testing::vmrWorkspace(2);
    testing::HostileRun run = testing::runHostile(workspace);
    EXPECT_EQ(run.outcome.executed, false);
    EXPECT_EQ(run.executeLines(), (Lines{kRule, "Kelvane>  No options selected"}));
    EXPECT_EQ(run.recordGets(), 0);
    testing::expectOnlyOwnBytesChanged(run, workspace);
}

// A host that really has 100,000 maps: every one is set, and only the first
// overlaid map is written again.
TEST(HostileHost, HundredThousandMaps) {
    Workspace workspace = testing::vmrWorkspace(100000);
    set(workspace, "DoOverlayMaps", 1);
    set(workspace, "Overlay", std::string("All"));
    testing::HostileRun run = testing::runHostile(workspace);
    EXPECT_EQ(run.outcome.executed, true);
    const Lines lines = run.executeLines();
    ASSERT_EQ(lines.size(), 3u + 100000u + 2u);
    EXPECT_EQ(lines[3], setting(1));
    EXPECT_EQ(lines[3 + 99999], setting(100000));
    const auto& sets = run.session->recordsSet();
    ASSERT_EQ(sets.size(), 100002u);
    EXPECT_EQ(sets[99999].index, 99999);
    EXPECT_EQ((SetRecord{sets[100000].index, sets[100000].record.overlay}), (SetRecord{0, 0}));
    EXPECT_EQ((SetRecord{sets[100001].index, sets[100001].record.overlay}), (SetRecord{0, 1}));
    for (const auto& map : workspace.maps) ASSERT_EQ(map.record.overlay, 1);
    testing::expectOnlyOwnBytesChanged(run, workspace);
}

// Records that fail at random, call by call: each map is either set once in
// the update pass after its line, or says it could not be read and is not set
// there; what the refresh pass writes is one overlaid map, off and on.
class RandomNullRecords : public ::testing::TestWithParam<uint32_t> {};

TEST_P(RandomNullRecords, NoMapGetsAnotherMapsRecord) {
    Workspace workspace = testing::vmrWorkspace(24);
    for (std::size_t m = 0; m < workspace.maps.size(); m += 3) workspace.maps[m].record.overlay = 1;
    workspace.hostile.randomNullRecords = nimbrel::RandomNullRecords{GetParam(), 0.5};
    set(workspace, "DoSetMax", 1);
    set(workspace, "Max", 5.5f);
    set(workspace, "DoOverlayMaps", 1);
    set(workspace, "Overlay", std::string("2-10,14"));
    testing::HostileRun run = testing::runHostile(workspace);
    EXPECT_EQ(run.outcome.executed, true);
    testing::expectOnlyOwnBytesChanged(run, workspace);

    const Lines lines = run.executeLines();
    ASSERT_EQ(lines.size(), 4u + 24u + 2u);  // the report, one line per map, the closing lines
    std::vector<int32_t> setInUpdate;
    int unreadableMaps = 0;
    for (int m = 1; m <= 24; ++m) {
        const std::string& line = lines[3 + static_cast<std::size_t>(m)];
        if (line == setting(m)) {
            setInUpdate.push_back(m - 1);
        } else {
            EXPECT_EQ(line, unreadable(m));
            ++unreadableMaps;
        }
    }
    EXPECT_GT(unreadableMaps, 0);
    EXPECT_GT(setInUpdate.size(), 0u);
    const auto& sets = run.session->recordsSet();
    ASSERT_GE(sets.size(), setInUpdate.size());
    for (std::size_t k = 0; k < setInUpdate.size(); ++k) EXPECT_EQ(sets[k].index, setInUpdate[k]);
    const std::size_t refreshSets = sets.size() - setInUpdate.size();
    if (refreshSets != 0) {
        ASSERT_EQ(refreshSets, 2u);
        const auto& off = sets[sets.size() - 2];
        const auto& on = sets.back();
        EXPECT_EQ(off.index, on.index);
        EXPECT_EQ(off.record.overlay, 0);
        EXPECT_EQ(on.record.overlay, 1);
    }
    for (int32_t index : setInUpdate) {
        const auto& map = workspace.maps[static_cast<std::size_t>(index)];
        EXPECT_EQ(map.record.thresholdMax, 5.5f);
        EXPECT_EQ(map.record.overlay, (index >= 1 && index <= 9) || index == 13 ? 1 : 0) << "map " << index + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomNullRecords, ::testing::Values(1u, 2u, 7u, 42u, 4294967295u));

// The stand-in's random mode itself: a seed gives the same failures on every
// run, chance 0 none and chance 1 every one.
TEST(RandomNullRecordMode, RepeatsForASeedAndFollowsItsChance) {
    auto unreadableLines = [](uint32_t seed, double chance) {
        Workspace workspace = testing::vmrWorkspace(16);
        workspace.hostile.randomNullRecords = nimbrel::RandomNullRecords{seed, chance};
        set(workspace, "DoSetMax", 1);
        testing::HostileRun run = testing::runHostile(workspace);
        Lines unreadableOnes;
        for (const std::string& line : run.executeLines())
            if (line.find("could not be read") != std::string::npos) unreadableOnes.push_back(line);
        return unreadableOnes;
    };
    EXPECT_EQ(unreadableLines(9, 0.5), unreadableLines(9, 0.5));
    EXPECT_NE(unreadableLines(9, 0.5), unreadableLines(10, 0.5));
    EXPECT_TRUE(unreadableLines(9, 0.0).empty());
    EXPECT_EQ(unreadableLines(9, 1.0).size(), 16u);
}

// The census when the host's document count and type names do not fit what
// it has: documents it reports but has not answer type 0 and no name.
struct CensusCase {
    const char* label;
    std::function<void(Workspace&)> setUp;
    int32_t maximum;
    bool result;
    int32_t count;
    std::vector<int32_t> positions;
    std::function<Lines()> log;
};
void PrintTo(const CensusCase& c, std::ostream* os) {
    *os << c.label;
}

class HostileCensus : public ::testing::TestWithParam<CensusCase> {};

TEST_P(HostileCensus, CountsWhatTheHostAnswers) {
    const CensusCase& c = GetParam();
    Workspace workspace = testing::documentsWorkspace({1, 3, 3});
    c.setUp(workspace);
    ASSERT_TRUE(bindHostFunctions());
    nimbrel::HostSession session(workspace);
    int32_t count = -7;
    std::vector<int32_t> positions(3, -7);
    EXPECT_EQ(findDocumentsOfType(kDocumentVMR, 1, c.maximum, true, count, positions.data()), c.result);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(positions, c.positions);
    EXPECT_EQ(session.logLines(), c.log());
    EXPECT_TRUE(session.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileCensus,
    ::testing::Values(CensusCase{"DocumentCountFarAboveTheDocuments",
                                 [](Workspace& w) { w.hostile.reportedDocumentCount = 100000; },
                                 3,
                                 true,
                                 2,
                                 {1, 2, -7},
                                 [] {
                                     Lines lines = {"// Plugin> Number of documents: 100000",
                                                    "// Plugin> Document 1 is a FMR", "// Plugin> Document 2 is a VMR",
                                                    "// Plugin> Document 3 is a VMR"};
                                     for (int d = 4; d <= 100000; ++d)
                                         lines.push_back("// Plugin> Document " + std::to_string(d) + " is a ");
                                     lines.push_back("// Plugin> Found 2 VMRs: documents 2 and 3");
                                     return lines;
                                 }},
                      CensusCase{"DocumentCountBelowTheDocuments",
                                 [](Workspace& w) { w.hostile.reportedDocumentCount = 2; },
                                 3,
                                 true,
                                 1,
                                 {1, -7, -7},
                                 [] {
                                     return Lines{"// Plugin> Number of documents: 2", "// Plugin> Document 1 is a FMR",
                                                  "// Plugin> Document 2 is a VMR",
                                                  "// Plugin> Found 1 VMR: document 2"};
                                 }},
                      CensusCase{"TypeNamesOfEightAndOfSixtyFourThousandCharacters",
                                 [](Workspace& w) {
                                     w.documents[0].typeName = "ABCDEFGH";
                                     w.documents[1].typeName = std::string(65536, 'V');
                                     w.documents[2].typeNameIsNull = true;
                                 },
                                 3,
                                 true,
                                 2,
                                 {1, 2, -7},
                                 [] {
                                     return Lines{"// Plugin> Number of documents: 3",
                                                  "// Plugin> Document 1 is a ABCDEFG",
                                                  "// Plugin> Document 2 is a VVVVVVV", "// Plugin> Document 3 is a ",
                                                  "// Plugin> Found 2 VMRs: documents 2 and 3"};
                                 }}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace kelvane
