#include "standin/plugin/watch_lines.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "standin/base/error_lines.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>

#include <cerrno>
#endif

namespace nimbrel {

void writeRaw(const char* text, std::size_t size) {
#if defined(_WIN32)
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(size), &written, nullptr);
#else
    for (std::size_t done = 0; done < size;) {
        const ssize_t written = ::write(2, text + done, size - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        done += static_cast<std::size_t>(written);
    }
#endif
}

void writeLine(const char* prefix, const std::string& message) {
    const std::string line = prefix + message + "\n";
    writeRaw(line.data(), line.size());
}

void writeError(const std::string& message) {
    writeLine(kErrorPrefix, message);
}

namespace {

// The path as one word of a command line: as it is when nothing in it needs
// quoting, else in quotes.
std::string commandWord(const std::string& path) {
    const bool plain = !path.empty() && std::all_of(path.begin(), path.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || std::strchr("_./:\\+,@%=-", c) != nullptr;
    });
    if (plain) return path;
#if defined(_WIN32)
    return "\"" + path + "\"";
#else
    std::string quoted = "'";
    for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

}  // namespace

void writeLead(const WatchState& state) {
    if (state.module[0] == '\0') return;
    const std::string check = std::string(kProgramName) + " --check " + commandWord(state.module);
    const std::size_t past = state.slotsPastTheHosts.load();
    if (past == 0) {
        writeLine(kNotePrefix,
                  check + " puts the plug-in through what the host expects, call by call, and names what fails");
        return;
    }
    writeLine(kNotePrefix,
              std::string("the plug-in object's dispatch table has more than three slots (") +
                  (past == 1 ? "slot 3 points" : "slots 3 and 4 point") +
                  " into the module's code too, as where a compiler gives a virtual destructor two slots), "
                  "so the host's calls reach the wrong functions; " +
                  check + " tells more");
}

void reportTimeout(const char* call, double limit, const WatchState& state) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", limit);
    writeError(std::string("the plug-in timed out in ") + call + ": still running after " + seconds +
               " s (--timeout), so it was stopped");
    writeLead(state);
}

RunEnd reportCrash(const char* call, const std::string& how, const WatchState& state) {
    if (call == nullptr) {
        writeError("the stand-in crashed: " + how);
        return RunEnd::StandInFailed;
    }
    writeError(std::string("the plug-in crashed in ") + call + ": " + how);
    writeLead(state);
    return RunEnd::PluginCrashed;
}

void reportStop(const char* how, const WatchState& state) {
    const char* call = state.call.load();
    writeLine(kLinePrefix, std::string("stopped by ") + how + " while " + currentActivity().text +
                               (call != nullptr ? std::string(" (in ") + call + ")" : std::string()) +
                               "; no file was written");
}

}  // namespace nimbrel
