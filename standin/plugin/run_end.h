#pragma once
// How a watched run ended (plugin_watch.h). The command line turns each end
// into the exit status (cli/exit_status.h).

namespace nimbrel {

enum class RunEnd {
    Finished,        // the run ended on its own: the status is what finish gave
    PluginCrashed,   // a plug-in call crashed, or ended the process
    PluginTimedOut,  // a plug-in call ran longer than the time allowed
    OutOfMemory,     // the stand-in ran out of memory
    StandInFailed,   // the stand-in itself crashed, or could not watch the run
    Interrupted,     // Ctrl-C (SIGINT; on Windows also Ctrl-Break)
    Terminated,      // SIGTERM
    HangUp,          // SIGHUP: the terminal (on Windows, the console) closed
};

struct WatchedRun {
    RunEnd end = RunEnd::Finished;
    int status = 0;  // finish's status when the run finished
};

// The exit status of a process that ends at once, for each end: a watchdog,
// a handler or the run's child process ends it with no one left to ask.
using EndStatus = int (*)(RunEnd end);

}  // namespace nimbrel
