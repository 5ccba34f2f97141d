#pragma once
// What a module loaded into the host shares with it for the whole process:
// the working directory, signal dispositions, the locale, the environment,
// the floating-point control, the threads running and the bytes written to
// standard output and error.
// Taken before and after each call into the plug-in, so that a change is put
// down to the call that made it.

#include <cstdint>
#include <string>
#include <vector>

namespace nimbrel::check {

struct ProcessState {
    std::string workingDirectory;
    std::string locale;
    std::vector<std::string> environment;         // "NAME=value", sorted
    std::vector<std::string> signalDispositions;  // "<signal> <handler>/<flags>" (not on Windows)
    int threads = 0;
    // The rounding mode, and on x86-64 the SSE control bits (exception masks,
    // flush-to-zero, denormals-are-zero): what every float computation of the host obeys.
    unsigned floatingPointControl = 0;
    std::int64_t standardOutputBytes = 0;
    std::int64_t standardErrorBytes = 0;
};

ProcessState captureProcessState();
// The threads of this process.
int runningThreads();

// Each change, one phrase: "changed the working directory from /a to /b".
std::vector<std::string> processStateChanges(const ProcessState& before, const ProcessState& after);

}  // namespace nimbrel::check
