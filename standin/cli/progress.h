#pragma once
// Progress of a long load or run, for a person watching a terminal: nothing
// in the first second, then one line on standard error, rewritten in place a
// few times a second and cleared at the end.

#include <chrono>
#include <functional>
#include <string>

namespace nimbrel {

class Progress {
public:
    // Shows nothing unless enabled (see standardErrorIsTerminal).
    explicit Progress(bool enabled);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Called as the work goes on; text is asked for only when a line is due.
    void tick(const std::function<std::string()>& text);
    // Takes the line away, so that what follows starts on a clean line.
    void clear();

    // Whether standard output (1) or standard error (2) is a terminal.
    static bool isTerminal(int descriptor);

private:
    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_;
};

}  // namespace nimbrel
