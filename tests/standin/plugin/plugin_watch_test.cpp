// A plug-in that crashes, ends the process or hangs: Nimbrel.exe names the
// call and how it ended, in one line, with a status of its own.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "standin/cli/exit_status.h"
#include "tests/support/nimbrel_exe.h"
#include "tests/support/temporary_folder.h"

namespace {

void setEnvironment(const char* name, const std::string& value) {
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

struct Misbehaviour {
    const char* name;
    const char* how;        // MISBEHAVING_PLUGIN
    const char* arguments;  // besides --plugin
    int status;
    const char* error;  // the whole of standard error
};

void PrintTo(const Misbehaviour& m, std::ostream* out) {
    *out << m.name;
}

class PluginWatch : public ::testing::TestWithParam<Misbehaviour> {};

TEST_P(PluginWatch, NamesTheCallAndHowItEnded) {
    const Misbehaviour& m = GetParam();
    setEnvironment("MISBEHAVING_PLUGIN", m.how);
    // A sanitizer's own report of the crash would come first, and its leak
    // check would change the status of a plug-in that ends the process.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    setEnvironment("ASAN_OPTIONS",
                   std::string(sanitizer != nullptr ? sanitizer : "") + ":handle_segv=0:detect_leaks=0");
    kelvane::testing::TemporaryFolder folder("watch");
    const auto r = kelvane::testing::runExe(
        NIMBREL_EXE, std::string("--quiet --plugin \"" MISBEHAVING_PLUGIN "\" ") + m.arguments, folder.path());
    EXPECT_EQ(r.status, m.status);
    EXPECT_EQ(r.err, m.error);
}

#if defined(_WIN32)
#define KELVANE_CRASH "exception 0xC0000005, access violation"
#else
#define KELVANE_CRASH "signal 11, segmentation fault"
#endif

INSTANTIATE_TEST_SUITE_P(
    Misbehaviours, PluginWatch,
    ::testing::Values(Misbehaviour{"Nothing", "", "--timeout 30", nimbrel::kExitRan, ""},
                      Misbehaviour{"CrashInCreatePlugin", "createPlugin:crash", "", nimbrel::kExitPluginCrashed,
                                   "Nimbrel.exe: error: the plug-in crashed in createPlugin: " KELVANE_CRASH "\n"},
                      Misbehaviour{"CrashInExecute", "execute:crash", "", nimbrel::kExitPluginCrashed,
                                   "Nimbrel.exe: error: the plug-in crashed in execute: " KELVANE_CRASH "\n"},
                      Misbehaviour{"CrashInTheDestructor", "destructor:crash", "", nimbrel::kExitPluginCrashed,
                                   "Nimbrel.exe: error: the plug-in crashed in the destructor: " KELVANE_CRASH "\n"},
                      Misbehaviour{"HangInInitPlugin", "initPlugin:hang", "--timeout 0.5", nimbrel::kExitPluginTimedOut,
                                   "Nimbrel.exe: error: the plug-in timed out in initPlugin: still running after 0.5 s "
                                   "(--timeout), so it was stopped\n"}
#if !defined(_WIN32)
                      ,
                      Misbehaviour{"ExitInExecute", "execute:exit", "", nimbrel::kExitPluginCrashed,
                                   "Nimbrel.exe: error: the plug-in ended the process in execute: exit status 3\n"}
#endif
                      ),
    [](const ::testing::TestParamInfo<Misbehaviour>& info) { return info.param.name; });

}  // namespace
