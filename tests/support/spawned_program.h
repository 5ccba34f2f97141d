#pragma once
// A program started in a process group of its own, as a shell starts a
// foreground job, so that a test can stop it the ways a user does: Ctrl-C to
// its group, a signal to one of its processes. POSIX systems only.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace kelvane::testing {

class SpawnedProgram {
public:
    // Starts program with arguments, its standard output and error to those
    // files, with the test's environment.
    SpawnedProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::filesystem::path& out, const std::filesystem::path& err) {
        std::vector<std::string> words{program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        if (posix_spawn(&pid_, program.c_str(), &files, &attributes, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
        posix_spawnattr_destroy(&attributes);
    }
    ~SpawnedProgram() {
        if (pid_ > 0 && !waited_) {
            kill(-pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    pid_t pid() const { return pid_; }
    // Its wait status, once it has ended.
    int wait() {
        int status = -1;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        waited_ = true;
        return status;
    }

private:
    pid_t pid_ = -1;
    bool waited_ = false;
};

// Whether the process has ended: it is gone, or a zombie that nobody reaps.
inline bool processEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string field, state;
    if (!(stat >> field >> field >> state)) return kill(pid, 0) != 0;
    return state == "Z" || state == "X";
}

// The text of the file at path once it ends with a line break, waiting up to
// the time given; "" if it never does.
inline std::string awaitLine(const std::filesystem::path& path, std::chrono::seconds most) {
    const auto end = std::chrono::steady_clock::now() + most;
    while (std::chrono::steady_clock::now() < end) {
        std::ifstream in(path);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!text.empty() && text.back() == '\n') return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
}

}  // namespace kelvane::testing
