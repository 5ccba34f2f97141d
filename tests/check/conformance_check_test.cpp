// Nimbrel.exe --check against Kelvane, a small sound plug-in, and the same
// small plug-in with one fault each: a faulty one fails first, and for the
// reason meant, the check meant for its fault.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/support/read_file.h"
#include "tests/support/run_program.h"
#include "tests/support/temporary_folder.h"

namespace {

struct Case {
    const char* plugin;  // a folder under SMALL_PLUGINS, or "Kelvane"
    int strictness;
    const char* firstFailure;  // the first check to fail; "" when all pass
    const char* reason;        // a part of its reason
    int timeLimit = 30;        // seconds per check: room for a loaded machine, short where a check hangs
};

std::string modulePath(const std::string& plugin) {
    return plugin == "Kelvane" ? KELVANE_MODULE_PATH : SMALL_PLUGINS + plugin + "/" SMALL_PLUGIN_FILE;
}

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.plugin << " at strictness " << c.strictness;
}

class ConformanceCheck : public ::testing::TestWithParam<Case> {};

TEST_P(ConformanceCheck, FailsFirstTheCheckMeantForTheFault) {
    const Case& c = GetParam();
    kelvane::testing::TemporaryFolder folder("check");
    const std::string report = (folder.path() / "report.json").string();
    const int status = kelvane::testing::runProgram(
        NIMBREL_EXE, "--check \"" + modulePath(c.plugin) + "\" --strictness " + std::to_string(c.strictness) +
                         " --time-limit " + std::to_string(c.timeLimit) + " --report-json \"" + report + "\" > \"" +
                         (folder.path() / "out.txt").string() + "\"");
    const nlohmann::json json = nlohmann::json::parse(std::ifstream(report));
    const bool passes = std::string(c.firstFailure).empty();
    EXPECT_EQ(status, passes ? 0 : 1);
    EXPECT_EQ(json["verdict"], passes ? "pass" : "fail");
    const std::string human = kelvane::testing::readFile(folder.path() / "out.txt");
    EXPECT_NE(human.find(passes ? "\nVerdict: PASS, " : "\nVerdict: FAIL, "), std::string::npos) << human;
    if (!passes) {
        EXPECT_NE(human.find("\nFAIL     " + std::string(c.firstFailure) + " "), std::string::npos) << human;
    }
    EXPECT_EQ(json["strictness"], c.strictness);
    for (const auto& check : json["checks"]) {
        if (check["name"] == c.firstFailure) {
            EXPECT_EQ(check["status"], "fail");
            EXPECT_NE(check["reason"].get<std::string>().find(c.reason), std::string::npos) << check["reason"];
            return;
        }
        EXPECT_EQ(check["status"], "pass") << check["name"] << ": " << check["reason"];
    }
    EXPECT_TRUE(passes) << c.firstFailure << " did not run";
}

INSTANTIATE_TEST_SUITE_P(
    Plugins, ConformanceCheck,
    ::testing::Values(Case{"Kelvane", 3, "", ""}, Case{"sound", 3, "", ""},
                      Case{"NULL_DESCRIPTOR", 1, "descriptors", "getPluginDescription returned null"},
                      Case{"FOUR_SLOT_TABLE", 1, "destroy", "slot 0 with flags 1 does not free the object"},
                      Case{"HANG", 1, "create",
                           "hung: no end within 5 s, killed during initPlugin (second, after the first", 5},
                      Case{"CRASH_WITHOUT_DOCUMENT", 2, "init-no-document", "during initPlugin (no current document)"},
                      Case{"EXIT_IN_EXECUTE", 2, "execute-defaults",
                           "the process ended with exit status 3 during execute (the dialog's defaults)"},
                      Case{"WRITE_PAST_RECORD", 2, "execute-defaults",
                           "wrote past the 256 bytes of name storage of map index 0 (the dialog's defaults)"},
                      Case{"FOREIGN_RECORD", 2, "execute-defaults", "handed map index 0 the record of map index 1"},
                      Case{"UNCHECKED_HOST_CALL", 2, "execute-host-functions-missing",
                           "in a host that lacks nbLogText: the process ended with"},
                      Case{"LEAK", 3, "cycles", "the heap grew by"}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.plugin); });

}  // namespace
