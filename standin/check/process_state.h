#pragma once
// What a module loaded into the host shares with it for the whole process and
// must leave as it found it, taken whole from what the system reports: on
// Linux the host thread's entry of /proc (its signal mask, the umask, every
// line of its status but the counters that change by themselves), every
// resource limit, the handler of every signal, the host's own descriptors and
// what they point to, and the like; on Windows the console's code pages and
// modes, the error mode, the DLL search folder, the unhandled-exception
// filter, the standard handles, priorities and affinity. Everywhere the
// working directory, the environment, the locale, the floating-point control
// and the bytes written to standard output and error.
// Taken before and after each call into the plug-in, so that a change is put
// down to the call that made it; compared whole, and taken apart only when
// something differs (the check's heap may be a guard-page allocator's, where
// every allocation costs). What the plug-in may hold (threads, child
// processes, descriptors of its own) is process_resources.h's.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nimbrel::check {

struct ProcessState {
    // One line per setting: what it is, a tab, and its value as shown
    // ("the umask\t0022"), in the order taken.
    std::string settings;
    std::int64_t standardOutputBytes = 0;
    std::int64_t standardErrorBytes = 0;
};

ProcessState captureProcessState();

// The descriptors (handles) open now are the host's: from now on, each is
// one of the settings, and a call that closes one or points it elsewhere
// changes the host's state.
void noteHostDescriptors();

// Each change, one phrase: "changed the working directory from "/a" to "/b"".
std::vector<std::string> processStateChanges(const ProcessState& before, const ProcessState& after);

// Adds one setting to the lines (a tab or a line break in either becomes a blank).
void addSetting(std::string& settings, const char* what, const char* value);
// This system's own settings (process_settings_linux.cpp,
// process_settings_windows.cpp).
void addSystemSettings(std::string& settings);

}  // namespace nimbrel::check
