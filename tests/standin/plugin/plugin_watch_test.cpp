// A plug-in that crashes, ends the process or hangs: Nimbrel.exe names the
// call and how it ended, in one line, with a status of its own, and leads on
// in a second; nothing the run was to write is written. A run that is stopped
// ends with its plug-in's process and writes nothing either.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "standin/cli/exit_status.h"
#include "tests/support/nimbrel_exe.h"
#include "tests/support/read_file.h"
#include "tests/support/temporary_folder.h"

#if !defined(_WIN32)
#include "tests/support/spawned_program.h"
#endif

namespace {

namespace fs = std::filesystem;

void setEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// The names in the folder, in order.
std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The outputs a watched run is asked for, in a folder that holds an old report.
class WatchedRun {
public:
    WatchedRun() { std::ofstream(folder_.path() / "out.json") << "old"; }
    const fs::path& folder() const { return folder_.path(); }
    std::string outputs() const {
        return "--report-json " + kelvane::testing::inQuotes(folder() / "out.json") + " --save-workspace " +
               kelvane::testing::inQuotes(folder() / "saved.json");
    }
    // Nothing written, nothing left beside: the old report, and what else is named.
    void expectNothingWritten(std::vector<std::string> others) const {
        EXPECT_EQ(kelvane::testing::readFile(folder() / "out.json"), "old");
        others.push_back("out.json");
        std::sort(others.begin(), others.end());
        EXPECT_EQ(namesIn(folder()), others);
    }

private:
    kelvane::testing::TemporaryFolder folder_{"watch"};
};

struct Misbehaviour {
    const char* name;
    const char* how;        // MISBEHAVING_PLUGIN
    const char* table;      // MISBEHAVING_TABLE
    const char* arguments;  // besides --plugin and the outputs
    int status;
    const char* error;  // standard error up to the note that leads on
    const char* note;   // the note, % for the module's path as the stand-in shows it
};

void PrintTo(const Misbehaviour& m, std::ostream* out) {
    *out << m.name;
}

// The note's path, as the stand-in shows the module (under Wine, as Windows names it).
std::string shownModule(const std::string& err) {
    const std::string marker = "--check ";
    const auto at = err.find(marker);
    if (at == std::string::npos) return "";
    const auto start = at + marker.size();
    return err.substr(start, err.find(' ', start) - start);
}

class PluginWatch : public ::testing::TestWithParam<Misbehaviour> {};

TEST_P(PluginWatch, NamesTheCallAndHowItEndedAndLeadsOn) {
    const Misbehaviour& m = GetParam();
    setEnvironment("MISBEHAVING_PLUGIN", m.how);
    setEnvironment("MISBEHAVING_TABLE", m.table);
    // A sanitizer's own report of the crash would come first, and its leak
    // check would change the status of a plug-in that ends the process.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    setEnvironment("ASAN_OPTIONS",
                   std::string(sanitizer != nullptr ? sanitizer : "") + ":handle_segv=0:detect_leaks=0");
    WatchedRun run;
    const auto r = kelvane::testing::runExe(
        NIMBREL_EXE, std::string("--quiet --plugin \"" MISBEHAVING_PLUGIN "\" ") + run.outputs() + " " + m.arguments,
        run.folder());
    EXPECT_EQ(r.status, m.status);
    std::string note = m.note;
    if (const auto at = note.find('%'); at != std::string::npos) {
        const std::string module = shownModule(r.err);
        EXPECT_EQ(fs::path(module).filename(), fs::path(MISBEHAVING_PLUGIN).filename()) << r.err;
        note.replace(at, 1, module);
    }
    EXPECT_EQ(r.err, m.error + note);
    if (m.status == nimbrel::kExitRan)
        EXPECT_EQ(namesIn(run.folder()),
                  (std::vector<std::string>{"out.json", "saved.json", "stderr.txt", "stdout.txt"}));
    else
        run.expectNothingWritten({"stderr.txt", "stdout.txt"});
}

#if defined(_WIN32)
#define KELVANE_CRASH "exception 0xC0000005, access violation"
#else
#define KELVANE_CRASH "signal 11, segmentation fault"
#endif
#define KELVANE_CHECK_NOTE                                                                                        \
    "Nimbrel.exe: note: Nimbrel.exe --check % puts the plug-in through what the host expects, call by call, and " \
    "names what fails\n"

INSTANTIATE_TEST_SUITE_P(
    Misbehaviours, PluginWatch,
    ::testing::Values(
        Misbehaviour{"Nothing", "", "", "--timeout 30", nimbrel::kExitRan, "", ""},
        Misbehaviour{"CrashInCreatePlugin", "createPlugin:crash", "", "", nimbrel::kExitPluginCrashed,
                     "Nimbrel.exe: error: the plug-in crashed in createPlugin: " KELVANE_CRASH "\n",
                     KELVANE_CHECK_NOTE},
        Misbehaviour{"CrashInExecute", "execute:crash", "", "", nimbrel::kExitPluginCrashed,
                     "Nimbrel.exe: error: the plug-in crashed in execute: " KELVANE_CRASH "\n", KELVANE_CHECK_NOTE},
        Misbehaviour{"CrashInTheDestructor", "destructor:crash", "", "", nimbrel::kExitPluginCrashed,
                     "Nimbrel.exe: error: the plug-in crashed in the destructor: " KELVANE_CRASH "\n",
                     KELVANE_CHECK_NOTE},
        Misbehaviour{"HangInInitPlugin", "initPlugin:hang", "", "--timeout 0.5", nimbrel::kExitPluginTimedOut,
                     "Nimbrel.exe: error: the plug-in timed out in initPlugin: still running after 0.5 s "
                     "(--timeout), so it was stopped\n",
                     KELVANE_CHECK_NOTE},
        // The compiler's table: the host's execute reaches the deleting destructor.
        Misbehaviour{"DestructorPairInTheTable", "destructor:crash", "destructor-pair", "", nimbrel::kExitPluginCrashed,
                     "Nimbrel.exe: error: the plug-in crashed in execute: " KELVANE_CRASH "\n",
                     "Nimbrel.exe: note: the plug-in object's dispatch table has more than three slots (slot 3 "
                     "points into the module's code too, as where a compiler gives a virtual destructor two slots), "
                     "so the host's calls reach the wrong functions; Nimbrel.exe --check % tells more\n"}
#if !defined(_WIN32)
        ,
        Misbehaviour{"ExitInExecute", "execute:exit", "", "", nimbrel::kExitPluginCrashed,
                     "Nimbrel.exe: error: the plug-in ended the process in execute: exit status 3\n",
                     KELVANE_CHECK_NOTE}
#endif
        ),
    [](const ::testing::TestParamInfo<Misbehaviour>& info) { return info.param.name; });

#if !defined(_WIN32)

// How a user or a supervisor stops a run in execute: the signal, where it
// goes, and the line the stand-in says (none when it cannot: SIGKILL).
struct Stop {
    const char* name;
    int signal;
    enum class To { Group, Parent, Child } to;
    const char* line;
};

void PrintTo(const Stop& stop, std::ostream* out) {
    *out << stop.name;
}

class StoppedRun : public ::testing::TestWithParam<Stop> {};

TEST_P(StoppedRun, EndsWithItsPluginAndWritesNothing) {
    const Stop& stop = GetParam();
    WatchedRun run;
    const fs::path mark = run.folder() / "mark";
    setEnvironment("MISBEHAVING_PLUGIN", "execute:hang");
    setEnvironment("MISBEHAVING_TABLE", "");
    setEnvironment("MISBEHAVING_MARK", mark.string());
    kelvane::testing::SpawnedProgram program(
        NIMBREL_EXE,
        {"--quiet", "--plugin", MISBEHAVING_PLUGIN, "--report-json", (run.folder() / "out.json").string(),
         "--save-workspace", (run.folder() / "saved.json").string()},
        run.folder() / "stdout.txt", run.folder() / "stderr.txt");
    setEnvironment("MISBEHAVING_MARK", "");
    const std::string marked = kelvane::testing::awaitLine(mark, std::chrono::seconds(30));
    ASSERT_FALSE(marked.empty()) << "the plug-in never reached execute";
    const pid_t plugin = std::stoi(marked);
    // In the middle of the run, no temporary file has a name.
    run.expectNothingWritten({"mark", "stderr.txt", "stdout.txt"});

    const pid_t to = stop.to == Stop::To::Group ? -program.pid() : stop.to == Stop::To::Parent ? program.pid() : plugin;
    ASSERT_EQ(kill(to, stop.signal), 0);
    const int status = program.wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == (stop.to == Stop::To::Child ? SIGTERM : stop.signal))
        << status;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!kelvane::testing::processEnded(plugin) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(kelvane::testing::processEnded(plugin)) << "the plug-in's process outlived the run";
    EXPECT_EQ(kelvane::testing::readFile(run.folder() / "stderr.txt"), stop.line);
    run.expectNothingWritten({"mark", "stderr.txt", "stdout.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Stops, StoppedRun,
    ::testing::Values(
        Stop{"CtrlC", SIGINT, Stop::To::Group,
             "Nimbrel.exe: stopped by Ctrl-C (SIGINT) while running the plug-in (in execute); no file was written\n"},
        Stop{"Terminate", SIGTERM, Stop::To::Parent,
             "Nimbrel.exe: stopped by SIGTERM while running the plug-in (in execute); no file was written\n"},
        Stop{"TerminateThePluginsProcess", SIGTERM, Stop::To::Child,
             "Nimbrel.exe: stopped by SIGTERM while running the plug-in (in execute); no file was written\n"},
        Stop{"TerminalClosed", SIGHUP, Stop::To::Group,
             "Nimbrel.exe: stopped by SIGHUP (the terminal closed) while running the plug-in (in execute); no file "
             "was written\n"},
        Stop{"Kill", SIGKILL, Stop::To::Parent, ""}),
    [](const ::testing::TestParamInfo<Stop>& info) { return info.param.name; });

#endif

}  // namespace
