#pragma once
// Watching the run. A plug-in that crashes, ends the process or does not
// return within the time allowed ends the run with one line on standard
// error that names the call that was running and how it ended: "the plug-in
// crashed in execute: signal 11, segmentation fault" (in the words of
// process_end.h), and a line that leads on: to Nimbrel.exe --check, and to
// the object's dispatch table when it has more slots than the host's three.
//
// One process owns the run: the one the user started. On POSIX systems the
// run goes on in a child process that the stand-in watches, so that nothing
// the plug-in does can take the stand-in with it; the child ends at once
// when the stand-in's process ends, however it ends, and what the run writes
// is put in place by the stand-in's process alone, once the child has ended.
// On Windows the run stays in process, watched by an unhandled-exception
// filter and a watchdog thread.
//
// Ctrl-C (SIGINT), SIGTERM and SIGHUP stop the run (on Windows Ctrl-C,
// Ctrl-Break and closing the console): one line says what was stopped, and
// the status is 128 and the signal (130, 143, 129).

#include <cstddef>
#include <functional>
#include <string>

#include "standin/plugin/run_end.h"

namespace nimbrel {

// Marks the plug-in call now running ("execute"), or none with null. The text
// must live as long as the program (a literal).
void markPluginCall(const char* call);

// Notes the plug-in module the run loaded, and how many slots of its object's
// dispatch table past the host's three point into its code too, for the line
// that follows a crash or a hang.
void notePluginModule(const std::string& path);
void noteSlotsPastTheHosts(std::size_t count);

// In the run's child process, ends it at once when the stand-in's process is
// gone: a check before anything is written where it stands (a device, a
// pipe, standard output). Does nothing elsewhere.
void endIfWatcherGone();

// Ends the process out of memory with status: one line saying what the
// stand-in was doing (base/activity.h).
[[noreturn]] void exitOutOfMemory(int status);

// Runs run(), watching every plug-in call it marks, then, in the process the
// user started and only when run() ended on its own, ends Finished with
// finish(run's status). A call that crashes or ends the process ends
// PluginCrashed, one that runs longer than timeoutSeconds (when above 0)
// PluginTimedOut, a stop by how it was stopped; finish is then not called.
// Memory that the stand-in cannot get, outside the plug-in's own code, ends
// the run with one line saying what it was doing. A process that must end at
// once ends with statusOf its end.
WatchedRun runWatched(double timeoutSeconds, const std::function<int()>& run, const std::function<int(int)>& finish,
                      EndStatus statusOf);

// After a run that was stopped by a signal, ends the process by that signal,
// as a shell expects of a program it stopped (it then shows 128 and the
// signal); returns otherwise.
void endAsStopped();

}  // namespace nimbrel
