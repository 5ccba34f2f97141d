#pragma once
// Watching the plug-in's calls. A plug-in that crashes, ends the process or
// does not return within the time allowed ends the run with one line on
// standard error that names the call that was running and how it ended:
// "the plug-in crashed in execute: signal 11, segmentation fault" (in the
// words of process_end.h).
//
// On POSIX systems the run goes on in a child process that the stand-in
// watches, so that nothing the plug-in does can take the stand-in with it. On
// Windows the run stays in process, watched by an unhandled-exception filter
// and a watchdog thread.

#include <functional>
#include <string>

namespace nimbrel {

// Marks the plug-in call now running ("execute"), or none with null. The text
// must live as long as the program (a literal).
void markPluginCall(const char* call);

// Notes what the stand-in is doing, for the line that ends a run out of
// memory: "out of memory reading the workspace ws.json (20,000 maps)".
void noteActivity(const std::string& what);

// Ends the process out of memory: that line, and kExitOutOfMemory.
[[noreturn]] void exitOutOfMemory();

// Runs run() and gives its exit status, watching every plug-in call it marks.
// A call that crashes or ends the process gives kExitPluginCrashed, one that
// runs longer than timeoutSeconds (when above 0) kExitPluginTimedOut. Memory
// that the stand-in cannot get, outside the plug-in's own code, ends the run
// with one line saying what it was doing and kExitOutOfMemory.
int runWatched(double timeoutSeconds, const std::function<int()>& run);

}  // namespace nimbrel
