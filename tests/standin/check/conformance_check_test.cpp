// Nimbrel.exe --check against Kelvane, and a small plug-in sound in each of
// its ways and with one fault each (SMALL_PLUGIN_MODE): a faulty one fails
// first, and for the reason meant, the check meant for its fault.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/support/environment.h"
#include "tests/support/read_file.h"
#include "tests/support/run_program.h"
#include "tests/support/temporary_folder.h"

namespace {

struct Case {
    const char* plugin;  // a way of the small plug-in, or "Kelvane"
    int strictness;
    const char* firstFailure;  // the first check to fail; "" when all pass
    const char* reason;        // a part of its reason
    int timeLimit = 30;        // seconds per check: room for a loaded machine, short where a check hangs
};

std::string modulePath(const std::string& plugin) {
    if (plugin == "Kelvane") return KELVANE_MODULE_PATH;
    if (plugin == "NOT_A_MODULE") return (std::filesystem::path(SMALL_PLUGIN).parent_path() / "Small.js").string();
    return SMALL_PLUGIN;
}

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.plugin << " at strictness " << c.strictness;
}

class ConformanceCheck : public ::testing::TestWithParam<Case> {};

TEST_P(ConformanceCheck, FailsFirstTheCheckMeantForTheFault) {
    const Case& c = GetParam();
    if (std::string(c.plugin) == "OPENMP" && !SMALL_PLUGIN_OPENMP) GTEST_SKIP() << "built without OpenMP";
    kelvane::testing::setEnvironment("SMALL_PLUGIN_MODE", c.plugin);
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
    ::testing::Values(
        Case{"Kelvane", 3, "", ""}, Case{"sound", 3, "", ""}, Case{"REFUSES_NO_MAPS", 3, "", ""},
        Case{"OPENMP", 3, "", ""}, Case{"JOINED_THREADS", 3, "", ""}, Case{"CACHE_BUILT_ONCE", 3, "", ""},
        Case{"LOCALE_PUT_BACK", 3, "", ""}, Case{"NOT_A_MODULE", 1, "module", "Small.js is a text file, not a module"},
        Case{"NULL_DESCRIPTOR", 1, "descriptors", "getPluginDescription returned null"},
        Case{"FOUR_SLOT_TABLE", 1, "destroy", "slot 0 with flags 1 does not free the object"},
        Case{"SAME_OBJECT", 1, "create",
             "during destroy with flags 1 (first, clean-up after the check failed: two calls gave the same object"},
        Case{"CRASH_AT_EXIT", 1, "create", "crashed when the process ended"},
        Case{"HOST_CALL_AT_EXIT", 1, "create",
             "outside any call into the plug-in (as the process ended), nbLogText was called on the host's thread"},
        Case{"HANG", 1, "create", "hung: initPlugin (second, after the first was destroyed) did not return within 5 s",
             5},
        Case{
            "WRITE_HOST_TEXT", 1, "create",
            "during initPlugin (second, after the first was destroyed): it wrote into a text the host handed out to be "
            "read only"},
        Case{"STALE_HOST_TEXT", 1, "create",
             "during initPlugin (second, after the first was destroyed): it read a text the host handed out after it "
             "ended"},
        Case{"CRASH_WITHOUT_DOCUMENT", 2, "init-no-document", "during initPlugin (no current document)"},
        Case{"ACCEPT_WITHOUT_DOCUMENT", 2, "init-no-document", "during execute (no current document)"},
        Case{"EXIT_IN_EXECUTE", 2, "init-valid-vmr",
             "the process ended with exit status 3 during execute (a valid VMR with maps)"},
        Case{"WRITE_PAST_RECORD", 2, "init-valid-vmr",
             "wrote past the 256 bytes of name storage of map index 0 (execute in a valid VMR with maps)"},
        Case{"WRITE_BEFORE_NAME", 2, "init-valid-vmr",
             "wrote in front of the 256 bytes of name storage of map index 0 (execute in a valid VMR with maps)"},
        Case{"FOREIGN_RECORD", 2, "init-valid-vmr", "handed map index 0 the record of map index 1"},
#if !defined(_WIN32)  // the heap is guarded where the system has a guard-page allocator
        Case{"HEAP_OVERRUN", 2, "init-valid-vmr", "during execute (a valid VMR with maps)"},
        Case {
            "SMALL_BUFFER", 2, "init-valid-vmr",
#if defined(__SANITIZE_ADDRESS__)  // the sanitizer's report ends the process
                "during execute (a valid VMR with maps)"
        },
#else
                "during execute (a valid VMR with maps): it gave nbGetNRVMPsOfCurrentVMR a buffer smaller than the 400 "
                "bytes the host fills"
        },
#endif
#endif
        Case{"LATE_CRASH", 2, "init-valid-vmr", " ms after execute (a valid VMR with maps) returned"},
        Case{"BUSY_THREAD", 2, "init-valid-vmr", "execute (a valid VMR with maps) left a thread running (thread "},
        Case{"WORKER_HOST_CALL", 2, "init-valid-vmr",
             "during execute (a valid VMR with maps), nbLogText was called on another thread ("},
        Case{"HOST_CALL_AFTER_RETURN", 2, "init-valid-vmr",
             "after execute (a valid VMR with maps) returned, nbLogText was called on thread "},
        Case{"NULL_TEXT", 2, "init-valid-vmr",
             "during execute (a valid VMR with maps), nbLogText was given null as its first argument, which is a text"},
        Case{"READ_HOST_POINTER", 2, "init-valid-vmr",
             "during execute (a valid VMR with maps): it read through a pointer the host hands out only to be tested "
             "against null"},
        Case{"UNDECLARED_PARAMETER", 2, "init-valid-vmr",
             "during execute (a valid VMR with maps), nbGetFloatParameter read \"Treshold\", which Small.js does not "
             "declare (did you mean Threshold?)"},
        Case{"WRONG_GETTER", 2, "init-valid-vmr",
             "during execute (a valid VMR with maps), nbGetIntParameter read \"Threshold\", which Small.js declares a "
             "float: a float is read with nbGetFloatParameter"},
#if !defined(_WIN32)  // kinds a Windows process does not have
        Case{"CHILD_LEFT_RUNNING", 2, "init-valid-vmr",
             "execute (a valid VMR with maps) left a child process running (process "},
        Case{"UMASK", 3, "init-valid-vmr", "execute (a valid VMR with maps) changed the umask from "},
        Case{"RESOURCE_LIMIT", 3, "init-valid-vmr",
             "execute (a valid VMR with maps) changed the resource limit \"Max open files\" from "},
        Case{"SIGNAL_MASK", 3, "init-valid-vmr",
             "execute (a valid VMR with maps) changed the signal mask of the host's thread from nothing blocked to "
             "SIGINT, SIGTERM blocked"},
#endif
        Case{"CRASH_THIRD_EXECUTE", 2, "execute-random-null-records",
             "during execute (records refused at random, seed 3; the 3rd execute in this process)"},
        Case{"UNREAD_PARAMETER", 3, "execute-defaults", "but no run read Threshold, which the dialog script declares"},
        Case{"LEAK", 2, "execute-leaks", "bytes per execute"},
        Case{"DESCRIPTOR_LEAK", 2, "execute-leaks", " per execute: close what execute opens"},
        Case{"UNCHECKED_HOST_CALL", 2, "execute-host-functions-missing",
             "in a host that lacks nbLogText: the process ended with"},
        Case{"CHANGES_DIRECTORY", 3, "init-valid-vmr", "execute (a valid VMR with maps) changed the working directory"},
        Case{"SLOW_EXECUTE", 3, "init-valid-vmr", "execute (a valid VMR with maps) took 1."}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.plugin); });

}  // namespace
