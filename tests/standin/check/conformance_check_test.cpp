// Nimbrel.exe --check against Kelvane, and a small plug-in sound in each of
// its ways and with one fault each (SMALL_PLUGIN_MODE): a faulty one fails
// first, and for the reason meant, the check meant for its fault.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "standin/check/checks.h"
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
    const char* fix = "";      // a part of the fix: line that follows the failure; "" for none looked for
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
    if (*c.fix != '\0') {
        const std::size_t fixLine = human.find("\n         fix: ");
        EXPECT_NE(human.find(c.fix, fixLine), std::string::npos) << human;
    }
    EXPECT_EQ(json["strictness"], c.strictness);
    for (const auto& check : json["checks"]) {
        if (check["name"] == c.firstFailure) {
            EXPECT_EQ(check["status"], "fail");
            EXPECT_NE(check["reason"].get<std::string>().find(c.reason), std::string::npos) << check["reason"];
            if (*c.fix != '\0') {
                EXPECT_NE(check["fix"].get<std::string>().find(c.fix), std::string::npos) << check["fix"];
            }
            return;
        }
        EXPECT_EQ(check["status"], "pass") << check["name"] << ": " << check["reason"];
    }
    EXPECT_TRUE(passes) << c.firstFailure << " did not run";
}

const Case kCases[] = {
    Case{"Kelvane", 3, "", ""}, Case{"sound", 3, "", ""}, Case{"REFUSES_NO_MAPS", 3, "", ""}, Case{"OPENMP", 3, "", ""},
    Case{"JOINED_THREADS", 3, "", ""}, Case{"CACHE_BUILT_ONCE", 3, "", ""}, Case{"LOCALE_PUT_BACK", 3, "", ""},
    Case{"NOT_A_MODULE", 1, "module", "Small.js is a text file, not a module"},
    Case{"NULL_DESCRIPTOR", 1, "descriptors", "getPluginDescription returned null"},
    Case{"FOUR_SLOT_TABLE", 1, "destroy", "slot 0 with flags 1 does not free the object", 30,
         "declare slot 0 as an ordinary virtual function and no virtual destructor"},
    Case{"SAME_OBJECT", 1, "create",
         "during destroy with flags 1 (first, clean-up after the check failed: two calls gave the same object"},
    Case{"CRASH_AT_EXIT", 1, "create", "crashed when the process ended"},
    Case{"HOST_CALL_AT_EXIT", 1, "create",
         "outside any call into the plug-in (as the process ended), nbLogText was called on the host's thread"},
    Case{"HANG", 1, "create", "hung: initPlugin (second, after the first was destroyed) did not return within 5 s", 5},
    Case{"WRITE_HOST_TEXT", 1, "create",
         "during initPlugin (second, after the first was destroyed): it wrote into a text the host handed out to be "
         "read only"},
    Case{"STALE_HOST_TEXT", 1, "create",
         "during initPlugin (second, after the first was destroyed): it read a text the host handed out after it "
         "ended",
         30, "copy a text the host hands out before your next call into the host"},
    Case{"CRASH_WITHOUT_DOCUMENT", 2, "init-no-document", "during initPlugin (no current document)"},
    Case{"ACCEPT_WITHOUT_DOCUMENT", 2, "init-no-document", "during execute (no current document)"},
    Case{"EXIT_IN_EXECUTE", 2, "init-valid-vmr",
         "the process ended with exit status 3 during execute (a valid VMR with maps)"},
    Case{"WRITE_PAST_RECORD", 2, "init-valid-vmr",
         "wrote past the 256 bytes of name storage of map index 0 (execute in a valid VMR with maps)", 30,
         "within its 256 bytes of name storage"},
    Case{"WRITE_BEFORE_NAME", 2, "init-valid-vmr",
         "wrote in front of the 256 bytes of name storage of map index 0 (execute in a valid VMR with maps)"},
    Case{"FOREIGN_RECORD", 2, "init-valid-vmr", "handed map index 0 the record of map index 1", 30,
         "hand each map back the record the host gave for that same index"},
#if !defined(_WIN32)  // the heap is guarded where the system has a guard-page allocator
    Case{"HEAP_OVERRUN", 2, "init-valid-vmr", "during execute (a valid VMR with maps)"},
    Case{"SMALL_BUFFER", 2, "init-valid-vmr",
#if defined(__SANITIZE_ADDRESS__)  // the sanitizer's report ends the process
         "during execute (a valid VMR with maps)"},
#else
         "during execute (a valid VMR with maps): it gave nbGetNRVMPsOfCurrentVMR a buffer smaller than the 400 "
         "bytes the host fills"},
#endif
#endif
    Case{"LATE_CRASH", 2, "init-valid-vmr", " ms after execute (a valid VMR with maps) returned"},
    Case{"BUSY_THREAD", 2, "init-valid-vmr", "execute (a valid VMR with maps) left a thread running (thread "},
    Case{"WORKER_HOST_CALL", 2, "init-valid-vmr",
         "during execute (a valid VMR with maps), nbLogText was called on another thread (", 30,
         "call host functions only on the thread the host called you on"},
    Case{"HOST_CALL_AFTER_RETURN", 2, "init-valid-vmr",
         "after execute (a valid VMR with maps) returned, nbLogText was called on thread ", 30,
         "join or stop your threads before it returns"},
    Case{"NULL_TEXT", 2, "init-valid-vmr",
         "during execute (a valid VMR with maps), nbLogText was given null as its first argument, which is a text", 30,
         "never hand the host null where its contract reads a text"},
    Case{"READ_HOST_POINTER", 2, "init-valid-vmr",
         "during execute (a valid VMR with maps): it read through a pointer the host hands out only to be tested "
         "against null"},
    Case{"UNDECLARED_PARAMETER", 2, "init-valid-vmr",
         "during execute (a valid VMR with maps), nbGetFloatParameter read \"Treshold\", which Small.js does not "
         "declare (did you mean Threshold?)",
         30, "read only the parameters the dialog script declares"},
    Case{"WRONG_GETTER", 2, "init-valid-vmr",
         "during execute (a valid VMR with maps), nbGetIntParameter read \"Threshold\", which Small.js declares a "
         "float: a float is read with nbGetFloatParameter",
         30, "read each parameter with the getter of its declared type"},
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
    Case{"LEAK", 2, "execute-leaks", "bytes per execute", 30, "free in execute and in the destructor"},
    Case{"DESCRIPTOR_LEAK", 2, "execute-leaks", " per execute: close what execute opens"},
    Case{"UNCHECKED_HOST_CALL", 2, "execute-host-functions-missing",
         "in a host that lacks nbLogText: the process ended with", 30, "test it for null before every call"},
    Case{"CHANGES_DIRECTORY", 3, "init-valid-vmr", "execute (a valid VMR with maps) changed the working directory"},
    Case{"SLOW_EXECUTE", 3, "init-valid-vmr", "execute (a valid VMR with maps) took 1."},
    // A fault for each check that no fault above fails first.
    Case{"LOAD_CHANGES_ROUNDING", 3, "exports", "loading the module changed the floating-point control", 30,
         "build without fast-math flags"},
    Case{"MISSING_SCRIPT", 1, "package", "Missing.js (getGUIScript) is not beside the module", 30,
         "ship the files beside the module"},
    Case{"CRASH_OLD_HOST", 2, "init-old-host", "during initPlugin (a host of version 2.1.9)", 30,
         "tell the user what is missing"},
    Case{"CRASH_NOT_VMR", 2, "init-not-vmr", "during initPlugin (a current document that is not a VMR)"},
    Case{"CRASH_NO_MAPS", 2, "init-no-maps", "during initPlugin (a VMR without maps)"},
    Case{"CRASH_NULL_RECORD", 2, "execute-null-records", "during execute (null records at indices 0, 2 and 4)", 30,
         "skip it, never set it"},
    Case{"MAP_COUNT_UNCHECKED", 2, "execute-map-counts", "an exception came out of the plug-in", 30,
         "treat a negative one as none"},
#if !defined(_WIN32)  // the heap is guarded where the system has a guard-page allocator
    Case{"UNTERMINATED_TEXT", 2, "execute-unterminated-strings", "during execute (unterminated 512-byte texts)", 30,
         "terminate the buffer yourself"},
#endif
    Case{"DIVIDES_BY_THRESHOLD", 2, "execute-parameters-never-set", "during execute (no parameter set)", 30,
         "handle 0 and the empty text"},
    Case{"NAN_THROWS", 2, "execute-non-finite-floats", "Small: the threshold is not a number", 30, "isfinite"},
    Case{"MEASURES_MAP_NAMES", 2, "execute-null-map-names", "during execute (null name pointers)"},
    Case{"USES_FAILED_MAP", 2, "execute-map-creation-fails", "during execute (map creation failing)"},
    Case{"DOCUMENT_COUNT_UNCHECKED", 2, "execute-document-counts", "an exception came out of the plug-in"},
    Case{"LEAK_AFTER_50", 3, "cycles", "bytes per execute", 30, "free in execute and in the destructor"}};

INSTANTIATE_TEST_SUITE_P(Plugins, ConformanceCheck, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.plugin); });

#if !defined(_WIN32)  // some faults are seen only where the heap is guarded
// Each check of the table is the first to fail for at least one fault above.
TEST(ConformanceCheck, EveryCheckFailsFirstForSomeFault) {
    for (const nimbrel::check::CheckDefinition& check : nimbrel::check::checkDefinitions()) {
        const bool failedFirst = std::any_of(std::begin(kCases), std::end(kCases), [&check](const Case& c) {
            return std::string(c.firstFailure) == check.name;
        });
        EXPECT_TRUE(failedFirst || (!check.inRunOrder && check.run != nullptr))
            << check.name << " fails first for no fault";
    }
}
#endif

// --list, --only and --in-process as an author types them.
struct Command {
    const char* arguments;  // SMALL stands for the small plug-in's path
    int status;
    const char* output;  // a part of standard output and error
};

void PrintTo(const Command& c, std::ostream* out) {
    *out << c.arguments;
}

class CheckCommand : public ::testing::TestWithParam<Command> {};

TEST_P(CheckCommand, AnswersAsAnAuthorExpects) {
    const Command& c = GetParam();
    kelvane::testing::setEnvironment("SMALL_PLUGIN_MODE", "sound");
    kelvane::testing::setEnvironment("COLUMNS", "");  // --list folds to 100 columns without it
    kelvane::testing::TemporaryFolder folder("check-command");
    std::string arguments = c.arguments;
    if (const std::size_t small = arguments.find("SMALL"); small != std::string::npos)
        arguments.replace(small, 5, "\"" + std::string(SMALL_PLUGIN) + "\"");
    const std::string out = (folder.path() / "out.txt").string();
    EXPECT_EQ(kelvane::testing::runProgram(NIMBREL_EXE, arguments + " > \"" + out + "\" 2>&1"), c.status);
    std::string output = kelvane::testing::readFile(out);
    output.erase(std::remove(output.begin(), output.end(), '\r'), output.end());  // a Windows console's line ends
    EXPECT_NE(output.find(c.output), std::string::npos) << output;
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CheckCommand,
    ::testing::Values(
        Command{"--list", 0,
                "\ninit-no-maps (strictness 2)\n  needs: create, destroy\n  passes when: initPlugin on a VMR"},
        Command{"--list", 0,  // folded at a blank, no blank lost: "names; the process ends"
                "undecorated\n      names; the process ends"},
        Command{"--list --report-json -", 0,
                "\"name\": \"init-no-maps\",\n    \"strictness\": 2,\n    \"needs\": [\n      \"create\",\n      "
                "\"destroy\"\n    ],"},
        Command{"--check SMALL --only init-no-mpas", 2,
                "Nimbrel.exe: error: --only: no check is named init-no-mpas; did you mean init-no-maps? (Nimbrel.exe "
                "--list lists the checks)"},
        Command{"--check SMALL --only init-no-maps --in-process", 0,
                " in this process (the plug-in's heap is not guarded, and what it does as the process ends is not "
                "watched; a crash ends Nimbrel.exe)\n\nPASS     exports "},
        Command{"--check SMALL --only init-no-maps", 0,
                "\nPASS     "
                "init-no-maps                   refused with the message \"Small needs maps.\"\n\nVerdict: PASS, 4 "
                "checks at strictness 2\n"}));

}  // namespace
