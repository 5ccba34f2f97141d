#include "standin/cli/run_report.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using nimbrel::HostEvent;
using nimbrel::VolumeMap;

VolumeMap tMap(const std::string& name, float min, int32_t df, int32_t overlay) {
    VolumeMap map;
    map.setName(name, 64);
    map.record.mapType = 1;
    map.record.thresholdMin = min;
    map.record.thresholdMax = 8.0f;
    map.record.degreesOfFreedom = df;
    map.record.showPosNeg = 3;
    map.record.transparency = 1.0f;
    map.record.overlay = overlay;
    return map;
}

// A plug-in that logs without end costs time, not memory: every event is
// shown as it comes, and the first ones are kept for the report.
TEST(RunReport, KeepsTheFirstEventsAndCallsAndCountsTheRest) {
    nimbrel::Workspace workspace;
    nimbrel::HostSession session(workspace);
    session.keepAtMost(nimbrel::kReportedEvents, nimbrel::kReportedCalls);
    std::size_t shown = 0;
    session.onEvent = [&](const HostEvent&) { ++shown; };
    for (std::size_t i = 0; i < nimbrel::kReportedEvents + 2; ++i) session.addEvent(HostEvent::Kind::Log, "line");
    for (std::size_t i = 0; i < nimbrel::kReportedCalls + 3; ++i) session.recordCall("nbLogText");
    EXPECT_EQ(shown, nimbrel::kReportedEvents + 2);
    EXPECT_EQ(session.events().size(), nimbrel::kReportedEvents);
    EXPECT_EQ(session.eventsLeftOut(), 2u);
    EXPECT_EQ(session.calls().size(), nimbrel::kReportedCalls);
    EXPECT_EQ(session.callsLeftOut(), 3u);
}

TEST(MapsTable, ShowsChangedCellsAsBeforeArrowAfter) {
    std::vector<VolumeMap> before{tMap("Faces > Houses", 2.1f, 18, 1), tMap("Motion", 2.0f, 120, 0)};
    std::vector<VolumeMap> after = before;
    after[0].record.thresholdMin = 3.9216156f;
    after[1].record.overlay = 1;
    after[1].record.opaque48[5] = 0x7f;
    after.push_back(tMap("Added", 0.0f, 0, 0));
    std::string rule;
    for (int i = 0; i < 127; ++i) rule += "─";
    EXPECT_EQ(nimbrel::mapsTable(before, after),
              "    #  name            type   df     thresholdMin  thresholdMax  clusterSize  useClusterSize  "
              "showPosNeg  transparency  overlay\n" +
                  rule +
                  "\n"
                  "    1  Faces > Houses     1   18  2.1 → 3.9216156             8            0               0"
                  "           3             1        1\n"
                  "    2  Motion             1  120                2             8            0               0"
                  "           3             1    0 → 1\n"
                  "3 new  Added              1    0                0             8            0               0"
                  "           3             1        0\n"
                  "! map 2: opaque bytes changed at offset 48\n");
}

// Narrower than the table, the unchanged columns go; narrower still, a block a map.
TEST(MapsTable, FitsTheWidthItIsGiven) {
    std::vector<VolumeMap> before{tMap("Faces > Houses", 2.1f, 18, 1), tMap("Motion", 2.0f, 120, 0)};
    std::vector<VolumeMap> after = before;
    after[0].record.thresholdMin = 3.9216156f;
    after[1].record.overlay = 1;
    const std::pair<std::size_t, std::string> cases[] = {
        {60,
         "#  name            type   df     thresholdMin  overlay\n"
         "──────────────────────────────────────────────────────\n"
         "1  Faces > Houses     1   18  2.1 → 3.9216156        1\n"
         "2  Motion             1  120                2    0 → 1\n"
         "! left out to fit, unchanged: thresholdMax, clusterSize,\n"
         "  useClusterSize, showPosNeg, transparency\n"},
        {40,
         "map 1  Faces > Houses\n"
         "  type 1  df 18\n"
         "  thresholdMin 2.1 → 3.9216156\n"
         "  thresholdMax 8  clusterSize 0\n"
         "  useClusterSize 0  showPosNeg 3\n"
         "  transparency 1  overlay 1\n"
         "map 2  Motion\n"
         "  type 1  df 120  thresholdMin 2\n"
         "  thresholdMax 8  clusterSize 0\n"
         "  useClusterSize 0  showPosNeg 3\n"
         "  transparency 1  overlay 0 → 1\n"},
    };
    for (const auto& [width, table] : cases)
        EXPECT_EQ(nimbrel::mapsTable(before, after, nimbrel::kUtf8Marks, width), table) << width;
}

// Long names take what the width spares, and are cut in the middle only when
// they must be, so that names that differ at the end stay told apart.
TEST(MapsTable, LongNamesTakeWhatTheWidthSpares) {
    std::vector<VolumeMap> before{tMap("sub-01 Faces > Houses GLM contrast, run 1", 2.1f, 18, 1),
                                  tMap("sub-01 Faces > Houses GLM contrast, run 2", 2.0f, 120, 0)};
    std::vector<VolumeMap> after = before;
    after[0].record.thresholdMin = 3.9216156f;
    after[1].setName("sub-01 renamed", 64);
    const std::pair<std::size_t, std::vector<std::string>> cases[] = {
        {0,
         {"1  sub-01 Faces > Houses GLM contrast, run 1                       1   18  2.1 -> 3.9216156",
          "2  sub-01 Faces > Houses GLM contrast, run 2 -> sub-01 renamed     1  120                 2"}},
        {150,
         {"1  sub-01 Faces > Hous...LM contrast, run 1     1   18  2.1 -> 3.9216156",
          "2  sub-01 Fac...st, run 2 -> sub-01 renamed     1  120                 2",
          "! map 2: name changed to \"sub-01 renamed\""}},
        {60,
         {"1  sub-01 Faces > ...contrast, run 1     1  2.1 -> 3.9216156",
          "2  sub-01... run 2 -> sub-01 renamed     1                 2"}},
    };
    for (const auto& [width, lines] : cases) {
        const std::string table = nimbrel::mapsTable(before, after, nimbrel::kAsciiMarks, width);
        for (const std::string& line : lines)
            EXPECT_NE(table.find("\n" + line), std::string::npos) << width << ": " << line << "\n" << table;
    }
}

TEST(MapsTable, SaysSoWhenThereAreNoMaps) {
    EXPECT_EQ(nimbrel::mapsTable({}, {}), "No maps on the current VMR.\n");
}

TEST(ConsolePrinter, MarksMessageBoxesAndPrefixesLogLines) {
    std::ostringstream out;
    nimbrel::ConsolePrinter printer(out);
    printer.event({HostEvent::Kind::Log, "Kelvane>  Running Kelvane Plugin..."});
    printer.event({HostEvent::Kind::Message, "No VMPs are currently loaded.\nsecond line"});
    printer.event({HostEvent::Kind::Log, " "});
    EXPECT_EQ(out.str(),
              "\nRun\n"
              "  log │ Kelvane>  Running Kelvane Plugin...\n"
              "  ┌─ MESSAGE BOX ────────\n"
              "  │ No VMPs are currently loaded.\n"
              "  │ second line\n"
              "  └──────────────────────\n"
              "  log │  \n");
}

TEST(RunReport, HoldsEventsInOrderResultsAndMaps) {
    nimbrel::RunRecord run;
    run.pluginPath = "/p/Kelvane.so";
    run.outcome.descriptors.name = "Kelvane";
    run.outcome.created = true;
    run.outcome.initialised = false;
    run.events = {{HostEvent::Kind::Log, "a"}, {HostEvent::Kind::Message, "b"}, {HostEvent::Kind::Log, "c"}};
    run.mapsBefore = {tMap("M", 2.5f, 18, 1)};
    run.mapsAfter = run.mapsBefore;
    const auto report = nimbrel::reportJson(run);
    EXPECT_EQ(report["workspace"].dump(), "null");
    EXPECT_EQ(report["descriptors"].dump(),
              R"({"getPluginName":"Kelvane","getPluginDescription":null,"getAuthor":null,"getHelpFile":null,)"
              R"("getPluginVersion":null,"getGUIScript":null})");
    EXPECT_EQ(report["initPlugin"].dump(), "false");
    EXPECT_EQ(report["execute"].dump(), "null");
    EXPECT_EQ(report["events"].dump(),
              R"([{"kind":"log","text":"a"},{"kind":"message","text":"b"},{"kind":"log","text":"c"}])");
    EXPECT_EQ(report["log"].dump(), R"(["a","c"])");
    EXPECT_EQ(report["messages"].dump(), R"(["b"])");
    EXPECT_EQ(report["mapsAfter"][0]["thresholdMin"].dump(), "2.5");
    EXPECT_EQ(report["mapsAfter"][0]["opaque"]["48"].dump(), "\"" + std::string(72, '0') + "\"");
}

}  // namespace
