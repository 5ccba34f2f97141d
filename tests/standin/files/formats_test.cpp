// FORMATS.md lists every field of the workspace file and the JSON report;
// these tests fail when the reader takes, or the report writes, a field that
// the document does not describe, or the other way round.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "standin/cli/run_report.h"
#include "standin/cli/dialog_use.h"
#include "standin/files/workspace_json.h"

namespace {

using Fields = std::vector<std::string>;

// The fields of each table of FORMATS.md, by "<part> / <section>":
// "Workspace file / maps[]", "JSON report / Top level".
std::map<std::string, Fields> documentedFields() {
    std::ifstream file(KELVANE_SOURCE_DIR "/FORMATS.md");
    std::map<std::string, Fields> tables;
    std::string line, part, section;
    while (std::getline(file, line)) {
        if (line.rfind("## ", 0) == 0) part = line.substr(3);
        if (line.rfind("### ", 0) == 0) {
            section = line.substr(4);
            if (section.front() == '`') section = section.substr(1, section.size() - 2);
        }
        if (line.rfind("| `", 0) == 0) tables[part + " / " + section].push_back(line.substr(3, line.find('`', 3) - 3));
    }
    return tables;
}

// The fields the reader takes in one object: those its refusal of an
// unknown field lists.
Fields readerFields(const std::string& workspace) {
    try {
        nimbrel::parseWorkspace(workspace, "ws.json");
    } catch (const nimbrel::WorkspaceFileError& e) {
        std::string what = e.what();
        const std::string marker = "expected one of ";
        Fields fields;
        std::istringstream list(what.substr(what.find(marker) + marker.size()));
        for (std::string field; std::getline(list, field, ',');) fields.push_back(field.substr(field[0] == ' '));
        return fields;
    }
    return {"(the unknown field was taken)"};
}

Fields keys(const nlohmann::ordered_json& object) {
    Fields names;
    for (const auto& item : object.items()) names.push_back(item.key());
    return names;
}

TEST(Formats, TheWorkspaceReaderTakesTheDocumentedFieldsAndNoOthers) {
    const auto documented = documentedFields();
    const std::pair<const char*, const char*> probes[] = {
        {"Top level", R"({"zzz": 0})"},
        {"hostVersion", R"({"hostVersion": {"zzz": 0}})"},
        {"documents[]", R"({"documents": [{"zzz": 0}]})"},
        {"maps[]", R"({"maps": [{"zzz": 0}]})"},
        {"maps[].opaque", R"({"maps": [{"opaque": {"zzz": 0}}]})"},
        {"hostile", R"({"hostile": {"zzz": 0}})"},
        {"hostile.randomNullRecords", R"({"hostile": {"randomNullRecords": {"zzz": 0}}})"},
    };
    for (const auto& [section, probe] : probes) {
        const std::string table = std::string("Workspace file / ") + section;
        ASSERT_EQ(documented.count(table), 1u) << table;
        EXPECT_EQ(readerFields(probe), documented.at(table)) << table;
    }
    // A map in a report is a map as the workspace file holds it.
    EXPECT_EQ(keys(nimbrel::mapToJson(nimbrel::VolumeMap{})), documented.at("Workspace file / maps[]"));
}

TEST(Formats, TheReportWritesTheDocumentedFieldsAndItsVersion) {
    const auto documented = documentedFields();
    nimbrel::RunRecord run;
    run.warnings.push_back({nimbrel::ParameterWarning::Kind::GivenNotRead, {"minp"}, "minp was given"});
    nlohmann::ordered_json report = nimbrel::reportJson(run);
    report["dialog"] = nimbrel::dialogJson(nimbrel::DialogUse{});
    EXPECT_EQ(keys(report), documented.at("JSON report / Top level"));
    EXPECT_EQ(keys(report["dialog"]), documented.at("JSON report / dialog"));
    EXPECT_EQ(keys(report["warnings"][0]), documented.at("JSON report / warnings[]"));
    EXPECT_EQ(report["formatVersion"], 1);
}

}  // namespace
