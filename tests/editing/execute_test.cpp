// execute end to end: the real plug-in module, bound by name to this test
// program acting as the host.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/host_log.h"
#include "stats/critical_t.h"
#include "tests/support/execute_lines.h"
#include "tests/support/standin_fixture.h"

namespace kelvane {
namespace {

using nimbrel::Parameter;
using testing::concat;
using testing::kClosing;
using testing::kRule;
using testing::Lines;
using testing::SetRecord;
using testing::setsOf;

Lines perMapLines(int count) {
    Lines lines;
    for (int i = 1; i <= count; ++i) lines.push_back(testing::setting(i));
    return lines;
}

class Execute : public ::testing::Test {
protected:
    nimbrel::Workspace workspace = testing::vmrWorkspace(3);
    std::unique_ptr<nimbrel::HostSession> session;
    nimbrel::Workspace before;
    nimbrel::RunOutcome outcome;

    void setInt(const char* name, int32_t value) { workspace.parameters[name] = Parameter::ofInteger(value); }
    void setFloat(const char* name, float value) { workspace.parameters[name] = Parameter::ofFloat(value); }
    void setText(const char* name, std::string value) { workspace.parameters[name] = Parameter::ofText(value); }

    void run() {
        before = workspace;
        session.reset();
        session = std::make_unique<nimbrel::HostSession>(workspace);
        outcome = nimbrel::runPlugin(testing::pluginModule(), *session);
        ASSERT_TRUE(outcome.initialised);
    }

    // The log lines execute wrote: without the three opening lines and the
    // destructor's blank.
    Lines executeLines() const {
        Lines all = session->logLines();
        EXPECT_GE(all.size(), 4u);
        EXPECT_EQ(all.back(), " ");
        return Lines(all.begin() + 3, all.end() - 1);
    }

    int recordGets() const {
        int gets = 0;
        for (const std::string& call : session->calls()) gets += call.rfind("nbGetNRVMPOfCurrentVMR", 0) == 0;
        return gets;
    }
};

float expectedT(int32_t degreesOfFreedom, float p) {
    return static_cast<float>(criticalT(static_cast<double>(degreesOfFreedom), static_cast<double>(p), 1e-7));
}

// Degrees of freedom met again, after others, get their t once more.
TEST_F(Execute, RoadOfOneRunSetsATThresholdPerTMap) {
    workspace = testing::vmrWorkspace(6);
    workspace.maps[0].record.degreesOfFreedom = 10;
    workspace.maps[1].record.degreesOfFreedom = 20;
    workspace.maps[2].record.mapType = 4;
    workspace.maps[3].record.degreesOfFreedom = 100;
    workspace.maps[4].record.degreesOfFreedom = 20;
    workspace.maps[5].record.degreesOfFreedom = 10;
    setInt("DoSetMin", 1);
    setInt("DoSetMinP", 1);
    setFloat("MinP", 0.001f);
    run();
    EXPECT_EQ(outcome.executed, true);
    EXPECT_EQ(executeLines(),
              concat({{kRule, "Kelvane>  Set Min P to 0.0010", kRule},
                      perMapLines(2),
                      {"Kelvane>  Map 3 is not a T-map, setting of P threshold not supported"},
                      {"Kelvane>  Setting parameters for map 3", "Kelvane>  Setting parameters for map 4"},
                      {"Kelvane>  Setting parameters for map 5", "Kelvane>  Setting parameters for map 6"},
                      kClosing}));
    EXPECT_EQ(workspace.maps[0].record.thresholdMin, expectedT(10, 0.001f));
    EXPECT_EQ(workspace.maps[1].record.thresholdMin, expectedT(20, 0.001f));
    EXPECT_EQ(workspace.maps[2].record.thresholdMin, before.maps[2].record.thresholdMin);
    EXPECT_EQ(workspace.maps[3].record.thresholdMin, expectedT(100, 0.001f));
    EXPECT_EQ(workspace.maps[4].record.thresholdMin, expectedT(20, 0.001f));
    EXPECT_EQ(workspace.maps[5].record.thresholdMin, expectedT(10, 0.001f));
    EXPECT_NEAR(workspace.maps[3].record.thresholdMin, 3.3905181884765625, 1e-4);
    EXPECT_NEAR(workspace.maps[0].record.thresholdMin, 4.5869, 1e-3);  // beyond the halving search's reach
    EXPECT_EQ(session->redraws(), 1);
}

struct ReportCase {
    const char* label;
    std::vector<std::pair<const char*, Parameter>> parameters;
    Lines report;  // between the two rules
};

void PrintTo(const ReportCase& c, std::ostream* os) {
    *os << c.label;
}

class OptionReport : public Execute, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(OptionReport, ListsTheChosenOptionsBetweenTwoRules) {
    for (const auto& [name, value] : GetParam().parameters) workspace.parameters[name] = value;
    run();
    Lines lines = executeLines();
    Lines expected = concat({{kRule}, GetParam().report, {kRule}});
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + static_cast<long>(expected.size())), expected);
    EXPECT_EQ(outcome.executed, true);
}

Parameter i(int32_t v) {
    return Parameter::ofInteger(v);
}
Parameter f(float v) {
    return Parameter::ofFloat(v);
}
Parameter s(const char* v) {
    return Parameter::ofText(v);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionReport,
    ::testing::Values(
        ReportCase{
            "MinDirect", {{"DoSetMin", i(1)}, {"Min", f(2.5f)}, {"MinP", f(0.05f)}}, {"Kelvane>  Set Min to 2.50"}},
        ReportCase{"MinAsP",
                   {{"DoSetMin", i(1)}, {"DoSetMinP", i(1)}, {"MinP", f(0.05f)}, {"Min", f(2.5f)}},
                   {"Kelvane>  Set Min P to 0.0500"}},
        ReportCase{"MinAsExactT",
                   {{"DoSetMin", i(1)}, {"DoSetMinP", i(1)}, {"MinP", f(0.005f)}, {"UseExactT", i(1)}},
                   {"Kelvane>  Set Min P to 0.0050", "Kelvane>  Use the exact t for Min P"}},
        ReportCase{"ExactTWithoutP",
                   {{"DoSetMin", i(1)}, {"Min", f(2.5f)}, {"UseExactT", i(1)}},
                   {"Kelvane>  Set Min to 2.50"}},
        ReportCase{"SwitchTwoIsOn", {{"DoSetMax", i(2)}, {"Max", f(12.345f)}}, {"Kelvane>  Set Max to 12.35"}},
        ReportCase{"SwitchMinusOneIsOn",
                   {{"DoClusterSize", i(-1)}, {"ClusterSize", i(-12)}},
                   {"Kelvane>  Set Cluster Size to -12"}},
        ReportCase{"UseCluster",
                   {{"DoUseClusterSize", i(1)}, {"UseCluster", i(1)}},
                   {"Kelvane>  DO use the cluster size threshold"}},
        ReportCase{"DoNotUseCluster",
                   {{"DoUseClusterSize", i(1)}, {"UseCluster", i(0)}},
                   {"Kelvane>  DO NOT use the cluster size threshold"}},
        ReportCase{"ShowPositive", {{"DoShowPosNegBoth", i(1)}, {"PNB", i(0)}}, {"Kelvane>  Show Positive"}},
        ReportCase{"ShowNegative", {{"DoShowPosNegBoth", i(1)}, {"PNB", i(1)}}, {"Kelvane>  Show Negative"}},
        ReportCase{"ShowBoth", {{"DoShowPosNegBoth", i(1)}, {"PNB", i(2)}}, {"Kelvane>  Show Both (pos and neg)"}},
        ReportCase{"ShowSeven", {{"DoShowPosNegBoth", i(1)}, {"PNB", i(7)}}, {"Kelvane>  Show Both (pos and neg)"}},
        ReportCase{
            "Transparency", {{"DoTransparancy", i(1)}, {"Trans", f(0.375f)}}, {"Kelvane>  Transparancy Factor 0.38"}},
        ReportCase{"OverlayAsRead",
                   {{"DoOverlayMaps", i(1)}, {"Overlay", s(" maps 1, 3 -5")}},
                   {"Kelvane>  Overlay the following maps:  maps 1, 3 -5"}},
        ReportCase{"Everything",
                   {{"DoSetMin", i(1)},
                    {"Min", f(3)},
                    {"DoSetMax", i(1)},
                    {"Max", f(9)},
                    {"DoClusterSize", i(1)},
                    {"ClusterSize", i(25)},
                    {"DoUseClusterSize", i(1)},
                    {"UseCluster", i(1)},
                    {"DoShowPosNegBoth", i(1)},
                    {"PNB", i(0)},
                    {"DoTransparancy", i(1)},
                    {"Trans", f(0.5f)},
                    {"DoOverlayMaps", i(1)},
                    {"Overlay", s("All")}},
                   {"Kelvane>  Set Min to 3.00", "Kelvane>  Set Max to 9.00", "Kelvane>  Set Cluster Size to 25",
                    "Kelvane>  DO use the cluster size threshold", "Kelvane>  Show Positive",
                    "Kelvane>  Transparancy Factor 0.50", "Kelvane>  Overlay the following maps: All"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Execute, NoOptionChosenEndsAfterTheReport) {
    setInt("DoSetMinP", 1);
    setInt("DoSetMin", 0);
    run();
    EXPECT_EQ(outcome.executed, false);
    EXPECT_EQ(executeLines(), (Lines{kRule, "Kelvane>  No options selected"}));
    EXPECT_EQ(recordGets(), 0);
    EXPECT_EQ(session->redraws(), 0);
}

TEST_F(Execute, LongestOverlayListIsLoggedWhole) {
    std::string list(511, '7');
    list[0] = '1';
    setInt("DoOverlayMaps", 1);
    setText("Overlay", list);
    run();
    EXPECT_EQ(executeLines()[1], "Kelvane>  Overlay the following maps: " + list);
}

TEST_F(Execute, UnterminatedOverlayTextIsReadAsIts511Characters) {
    setInt("DoOverlayMaps", 1);
    setText("Overlay", "2");
    workspace.hostile.unterminatedStrings = true;
    run();
    EXPECT_EQ(executeLines()[1], "Kelvane>  Overlay the following maps: 2" + std::string(510, 'x'));
    EXPECT_EQ(workspace.maps[1].record.overlay, 1);
}

TEST_F(Execute, OverlayListThenRefreshOfTheFirstOverlaidMap) {
    setInt("DoOverlayMaps", 1);
    setText("Overlay", "2");
    workspace.maps[0].record.overlay = 1;
    run();
    EXPECT_EQ(setsOf(*session), (std::vector<SetRecord>{{0, 0}, {1, 1}, {2, 0}, {1, 0}, {1, 1}}));
    EXPECT_EQ(executeLines(),
              concat({{kRule, "Kelvane>  Overlay the following maps: 2", kRule}, perMapLines(3), kClosing}));
}

TEST_F(Execute, RefreshRewritesOnlyTheFirstOverlaidMap) {
    setInt("DoSetMax", 1);
    setFloat("Max", 7.5f);
    workspace.maps[1].record.overlay = 1;
    workspace.maps[2].record.overlay = 1;
    run();
    EXPECT_EQ(setsOf(*session), (std::vector<SetRecord>{{0, 0}, {1, 1}, {2, 1}, {1, 0}, {1, 1}}));
    for (const auto& map : workspace.maps) EXPECT_EQ(map.record.thresholdMax, 7.5f);
}

TEST_F(Execute, RefreshOnlyReadsWhenNoMapIsOverlaid) {
    setInt("DoSetMax", 1);
    run();
    EXPECT_EQ(session->recordsSet().size(), 3u);
    EXPECT_EQ(recordGets(), 6);
}

TEST_F(Execute, SignChoiceIsStoredPlusOne) {
    for (int32_t pnb : {0, 1, 2}) {
        workspace = testing::vmrWorkspace(1);
        setInt("DoShowPosNegBoth", 1);
        setInt("PNB", pnb);
        run();
        EXPECT_EQ(workspace.maps[0].record.showPosNeg, pnb + 1);
    }
}

TEST_F(Execute, DirectMinimumGoesToEveryMapTMapOrNot) {
    workspace.maps[1].record.mapType = 3;
    setInt("DoSetMin", 1);
    setFloat("Min", -1.25f);
    setFloat("MinP", 0.01f);
    run();
    for (const auto& map : workspace.maps) EXPECT_EQ(map.record.thresholdMin, -1.25f);
}

TEST_F(Execute, NoTMapStillReadsAndHandsBackEveryMap) {
    for (auto& map : workspace.maps) map.record.mapType = 2;
    setInt("DoSetMin", 1);
    setInt("DoSetMinP", 1);
    setFloat("MinP", 0.05f);
    run();
    Lines expected = {kRule, "Kelvane>  Set Min P to 0.0500", kRule};
    for (int n = 1; n <= 3; ++n) {
        expected.push_back("Kelvane>  Map " + std::to_string(n) +
                           " is not a T-map, setting of P threshold not supported");
        expected.push_back("Kelvane>  Setting parameters for map " + std::to_string(n));
    }
    EXPECT_EQ(executeLines(), concat({expected, kClosing}));
    EXPECT_EQ(session->recordsSet().size(), 3u);
    for (size_t m = 0; m < 3; ++m)
        EXPECT_EQ(std::memcmp(&workspace.maps[m].record, &before.maps[m].record, sizeof(NRVMPRecord)), 0);
}

// Only the bytes of the fields chosen change; the opaque ranges and every
// other field go back as the host gave them.
TEST_F(Execute, ChangesOnlyTheChosenFieldsBytes) {
    setInt("DoSetMax", 1);
    setFloat("Max", 11.0f);
    setInt("DoOverlayMaps", 1);
    setText("Overlay", "All");
    run();
    for (size_t m = 0; m < 3; ++m) {
        const auto* after = reinterpret_cast<const unsigned char*>(&workspace.maps[m].record);
        const auto* original = reinterpret_cast<const unsigned char*>(&before.maps[m].record);
        for (size_t byte = 0; byte < sizeof(NRVMPRecord); ++byte) {
            bool chosen = (byte >= 16 && byte < 20) || (byte >= 104 && byte < 108);
            if (!chosen) {
                EXPECT_EQ(after[byte], original[byte]) << "map " << m << " byte " << byte;
            }
        }
        EXPECT_EQ(workspace.maps[m].record.overlay, 1);
        EXPECT_EQ(workspace.maps[m].name(), before.maps[m].name());
    }
    for (const auto& set : session->recordsSet())
        EXPECT_EQ(set.record.name, workspace.maps[static_cast<size_t>(set.index)].nameStorage.data());
}

TEST_F(Execute, NoMapsStillRedrawsAndFinishes) {
    workspace = testing::vmrWorkspace(0);
    workspace.hostile.reportedMapCount = 0;
    setInt("DoSetMax", 1);
    run();
    EXPECT_EQ(outcome.executed, true);
    EXPECT_EQ(executeLines(), concat({{kRule, "Kelvane>  Set Max to 0.00", kRule}, kClosing}));
    EXPECT_EQ(recordGets(), 0);
    EXPECT_EQ(session->redraws(), 1);
}

TEST_F(Execute, NegativeMapCountMeansNoMaps) {
    workspace.hostile.reportedMapCount = -4;
    setInt("DoSetMax", 1);
    run();
    EXPECT_EQ(recordGets(), 0);
    EXPECT_EQ(outcome.executed, true);
}

TEST_F(Execute, MapTheHostCannotGiveIsLeftAloneAndTheOthersGoOn) {
    workspace.hostile.nullRecordIndices = {1};
    workspace.maps[1].record.overlay = 1;
    setInt("DoSetMax", 1);
    setFloat("Max", 4.0f);
    run();
    EXPECT_EQ(executeLines(),
              concat({{kRule, "Kelvane>  Set Max to 4.00", kRule},
                      {"Kelvane>  Setting parameters for map 1", "Kelvane>  Map 2 could not be read, left unchanged",
                       "Kelvane>  Setting parameters for map 3"},
                      kClosing}));
    EXPECT_EQ(setsOf(*session), (std::vector<SetRecord>{{0, 0}, {2, 0}}));
    EXPECT_EQ(std::memcmp(&workspace.maps[1].record, &before.maps[1].record, sizeof(NRVMPRecord)), 0);
}

TEST_F(Execute, CountAboveTheMapsTheHostHasReadsNothingForTheRest) {
    workspace.hostile.reportedMapCount = 5;
    setInt("DoSetMax", 1);
    run();
    Lines lines = executeLines();
    EXPECT_EQ(Lines(lines.end() - 4, lines.end() - 2), (Lines{"Kelvane>  Map 4 could not be read, left unchanged",
                                                              "Kelvane>  Map 5 could not be read, left unchanged"}));
    EXPECT_EQ(session->recordsSet().size(), 3u);
}

struct UnconvertibleCase {
    const char* label;
    float p;
    int32_t degreesOfFreedom;
    const char* shownP;
};
void PrintTo(const UnconvertibleCase& c, std::ostream* os) {
    *os << c.label;
}

class PWithoutT : public Execute, public ::testing::WithParamInterface<UnconvertibleCase> {};

TEST_P(PWithoutT, KeepsTheThresholdAndSaysWhy) {
    const UnconvertibleCase& c = GetParam();
    workspace.maps[0].record.degreesOfFreedom = c.degreesOfFreedom;
    workspace.maps[1].record.mapType = 5;
    setInt("DoSetMin", 1);
    setInt("DoSetMinP", 1);
    setFloat("MinP", c.p);
    setInt("DoSetMax", 1);
    setFloat("Max", 6.0f);
    run();
    Lines lines = executeLines();
    std::string expected = std::string("Kelvane>  Map 1: cannot turn P ") + c.shownP + " into a t value with " +
                           std::to_string(c.degreesOfFreedom) + " degrees of freedom, threshold kept";
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[4], expected);
    EXPECT_EQ(lines[5], "Kelvane>  Setting parameters for map 1");
    EXPECT_EQ(workspace.maps[0].record.thresholdMin, before.maps[0].record.thresholdMin);
    EXPECT_EQ(workspace.maps[0].record.thresholdMax, 6.0f);
    EXPECT_EQ(outcome.executed, true);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PWithoutT,
    ::testing::Values(UnconvertibleCase{"ZeroDegrees", 0.001f, 0, "0.001"},
                      UnconvertibleCase{"NegativeDegrees", 0.05f, -3, "0.05"},
                      UnconvertibleCase{"NaNP", std::numeric_limits<float>::quiet_NaN(), 20, "nan"},
                      UnconvertibleCase{"ZeroP", 0.0f, 20, "0"}, UnconvertibleCase{"NegativeP", -0.5f, 20, "-0.5"},
                      UnconvertibleCase{"PAboveOne", 1.5f, 20, "1.5"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Execute, PValueOfOneGivesThresholdZero) {
    setInt("DoSetMin", 1);
    setInt("DoSetMinP", 1);
    setFloat("MinP", 1.0f);
    run();
    EXPECT_EQ(workspace.maps[0].record.thresholdMin, 0.0f);
}

// The t the halving search gives p to a t-map after its own line, when the p
// that t gives is more than 10% from "MinP": for the common p values over the
// degrees of freedom swept, only in the search's windows. Thresholds stay the
// search's.
struct WarningCase {
    const char* label;
    float p;
    int32_t fewestDegrees, mostDegrees;  // one t-map each, in order
    Lines warnings;                      // in map order
};
void PrintTo(const WarningCase& c, std::ostream* os) {
    *os << c.label;
}

// A p within the tolerance of the p of t = 3 with 20 degrees of freedom, above it.
float pJustAboveThatOfTThree() {
    return static_cast<float>(halvingSearchP(20, 3.0) + 5e-8);
}

class FarFromTheAskedP : public Execute, public ::testing::WithParamInterface<WarningCase> {};

TEST_P(FarFromTheAskedP, WarnsOnlyThere) {
    const WarningCase& c = GetParam();
    workspace = testing::vmrWorkspace(c.mostDegrees - c.fewestDegrees + 1);
    for (size_t m = 0; m < workspace.maps.size(); ++m)
        workspace.maps[m].record.degreesOfFreedom = c.fewestDegrees + static_cast<int32_t>(m);
    setInt("DoSetMin", 1);
    setInt("DoSetMinP", 1);
    setFloat("MinP", c.p);
    run();
    const Lines lines = executeLines();
    Lines warnings;
    for (const std::string& line : lines)
        if (line.find(" gives p ") != std::string::npos) warnings.push_back(line);
    EXPECT_EQ(warnings, c.warnings);
    size_t at = 3;  // each warning right after its map's own line
    for (size_t m = 0; m < workspace.maps.size(); ++m) {
        const int32_t degrees = workspace.maps[m].record.degreesOfFreedom;
        ASSERT_EQ(lines.at(at++), testing::setting(static_cast<int>(m) + 1));
        if (at < lines.size() && lines[at].find(" gives p ") != std::string::npos) ++at;
        ASSERT_EQ(workspace.maps[m].record.thresholdMin, expectedT(degrees, c.p)) << degrees;
    }
    EXPECT_EQ(Lines(lines.begin() + static_cast<long>(at), lines.end()), kClosing);
}

std::string mapWarning(int map, const char* rest) {
    return "Kelvane>  Map " + std::to_string(map) + ": " + rest;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FarFromTheAskedP,
    ::testing::Values(
        WarningCase{"P05", 0.05f, 1, 3000, {}}, WarningCase{"P01WindowOf7PercentIsWithinTheBound", 0.01f, 1, 3000, {}},
        WarningCase{"P005Window",
                    0.005f,
                    1,
                    3000,
                    {mapWarning(1141, "t 2.9062 gives p 0.0037 for the P asked, 0.0050; the exact t is 2.8125"),
                     mapWarning(1142, "t 2.9062 gives p 0.0037 for the P asked, 0.0050; the exact t is 2.8125"),
                     mapWarning(1143, "t 2.7188 gives p 0.0067 for the P asked, 0.0050; the exact t is 2.8125")}},
        WarningCase{"P001", 0.001f, 1, 3000, {}},
        WarningCase{"P0001",
                    0.0001f,
                    1,
                    1000,
                    {mapWarning(115, "t 4.0781 gives p 0.00008 for the P asked, 0.00010; the exact t is 4.0314"),
                     mapWarning(337, "t 4.0312 gives p 0.00007 for the P asked, 0.00010; the exact t is 3.9377"),
                     mapWarning(338, "t 4.0312 gives p 0.00007 for the P asked, 0.00010; the exact t is 3.9375"),
                     mapWarning(339, "t 3.8438 gives p 0.00014 for the P asked, 0.00010; the exact t is 3.9374")}},
        WarningCase{"PWithinToleranceOfThatOfTThree",
                    pJustAboveThatOfTThree(),
                    20,
                    20,
                    {mapWarning(1, "t 2.2500 gives p 0.0359 for the P asked, 0.0071; the exact t is 3.0000")}}),
    [](const auto& info) { return std::string(info.param.label); });

// With "UseExactT" every t-map gets the exact critical t for "MinP", within
// what the float threshold and the float p can hold of the high-precision
// references, and a line naming it.
struct ReferenceRow {
    double nu;
    double p;
    double t;
};
constexpr ReferenceRow kCriticalTReference[] = {
#include "tests/stats/criticalT_reference.inc"
};

TEST_F(Execute, ExactTThresholdsMatchTheHighPrecisionReferences) {
    std::vector<double> ps;
    for (const ReferenceRow& row : kCriticalTReference)
        if (row.p <= 0.9 && std::find(ps.begin(), ps.end(), row.p) == ps.end()) ps.push_back(row.p);
    ASSERT_GE(ps.size(), 8u);
    for (const double p : ps) {
        std::vector<const ReferenceRow*> rows;
        for (const ReferenceRow& row : kCriticalTReference)
            if (row.p == p) rows.push_back(&row);
        workspace = testing::vmrWorkspace(static_cast<int>(rows.size()));
        for (size_t m = 0; m < rows.size(); ++m)
            workspace.maps[m].record.degreesOfFreedom = static_cast<int32_t>(rows[m]->nu);
        setInt("DoSetMin", 1);
        setInt("DoSetMinP", 1);
        setFloat("MinP", static_cast<float>(p));
        setInt("UseExactT", 1);
        run();
        const Lines lines = executeLines();
        for (size_t m = 0; m < rows.size(); ++m) {
            const double stored = workspace.maps[m].record.thresholdMin;
            EXPECT_NEAR(stored, rows[m]->t, 1e-6 * rows[m]->t) << "nu = " << rows[m]->nu << ", p = " << p;
            const std::string& line = lines.at(4 + 2 * m + 1);  // after the report and the map's own line
            EXPECT_EQ(
                line.rfind(formatText("Kelvane>  Map %d: exact t %.4f for P ", static_cast<int>(m + 1), stored), 0), 0u)
                << line;
            EXPECT_EQ(line.substr(line.rfind(" with ")),
                      formatText(" with %d degrees of freedom", static_cast<int>(rows[m]->nu)));
        }
    }
}

TEST_F(Execute, ExactTLineFollowsEachTMapsOwnLine) {
    workspace.maps[0].record.degreesOfFreedom = 1142;
    workspace.maps[1].record.mapType = 2;
    workspace.maps[2].record.degreesOfFreedom = 339;
    setInt("DoSetMin", 1);
    setInt("DoSetMinP", 1);
    setFloat("MinP", 0.005f);
    setInt("UseExactT", 1);
    run();
    EXPECT_EQ(executeLines(),
              concat({{kRule, "Kelvane>  Set Min P to 0.0050", "Kelvane>  Use the exact t for Min P", kRule},
                      {testing::setting(1), "Kelvane>  Map 1: exact t 2.8125 for P 0.0050 with 1142 degrees of freedom",
                       "Kelvane>  Map 2 is not a T-map, setting of P threshold not supported", testing::setting(2),
                       testing::setting(3), "Kelvane>  Map 3: exact t 2.8255 for P 0.0050 with 339 degrees of freedom"},
                      kClosing}));
    EXPECT_NEAR(workspace.maps[0].record.thresholdMin, solveCriticalT(1142, 0.005).t, 1e-6);
    EXPECT_EQ(workspace.maps[1].record.thresholdMin, before.maps[1].record.thresholdMin);
}

// A host or dialog script without "UseExactT" answers 0 for it: the run is
// the one a host with the switch off gets, with the search's thresholds.
TEST_F(Execute, WithoutTheExactTSwitchARunIsAsBefore) {
    workspace.maps[0].record.degreesOfFreedom = 10;
    workspace.maps[1].record.degreesOfFreedom = 1142;
    setInt("DoSetMin", 1);
    setInt("DoSetMinP", 1);
    setFloat("MinP", 0.005f);
    run();
    const Lines withoutSwitch = executeLines();
    const nimbrel::Workspace without = workspace;
    workspace = before;
    setInt("UseExactT", 0);
    run();
    EXPECT_EQ(executeLines(), withoutSwitch);
    for (size_t m = 0; m < 3; ++m) {
        EXPECT_EQ(std::memcmp(&workspace.maps[m].record, &without.maps[m].record, sizeof(NRVMPRecord)), 0);
        EXPECT_EQ(workspace.maps[m].record.thresholdMin, expectedT(workspace.maps[m].record.degreesOfFreedom, 0.005f));
    }
    EXPECT_EQ(withoutSwitch[1], "Kelvane>  Set Min P to 0.0050");
    EXPECT_EQ(withoutSwitch[2], kRule);
}

}  // namespace
}  // namespace kelvane
