#pragma once
// What the watch of a run knows of it, and the lines it ends a run with on
// standard error (plugin_watch.h): written at once, asking the C library for
// no lock, for a watchdog or a handler may speak while another thread holds one.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "standin/base/activity.h"
#include "standin/plugin/run_end.h"

namespace nimbrel {

// What the watcher knows of the run (from another process on POSIX
// systems): the call now running, counted at every mark so that each call is
// timed on its own; what the stand-in is doing; the module and its table.
struct WatchState {
    std::atomic<const char*> call{nullptr};
    std::atomic<std::uint64_t> marks{0};
    ActivityNote activity;
    char module[4096] = "";
    std::atomic<std::size_t> slotsPastTheHosts{0};
};

// Text on standard error, written at once.
void writeRaw(const char* text, std::size_t size);

// One line on standard error: the prefix (base/error_lines.h), then the message.
void writeLine(const char* prefix, const std::string& message);
void writeError(const std::string& message);

// The line after a plug-in's crash or hang: where to look next (Nimbrel.exe
// --check, or the dispatch table's extra slots).
void writeLead(const WatchState& state);

// "the plug-in timed out in execute: still running after 5 s (--timeout), so
// it was stopped", and the line that leads on.
void reportTimeout(const char* call, double limit, const WatchState& state);

// "the plug-in crashed in execute: <how>" and the line that leads on, or the
// stand-in's own crash (no call): how the run ended.
RunEnd reportCrash(const char* call, const std::string& how, const WatchState& state);

// "stopped by SIGTERM while running the plug-in (in execute); no file was written".
void reportStop(const char* how, const WatchState& state);

}  // namespace nimbrel
