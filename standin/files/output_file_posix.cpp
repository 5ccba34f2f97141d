// PendingFile on POSIX systems: a temporary without a name (O_TMPFILE),
// linked in at the end, where the file system takes it; else a named one.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <new>

#include "standin/base/native_path.h"
#include "standin/files/output_file.h"
#include "standin/files/output_file_system.h"

namespace nimbrel {

namespace fs = std::filesystem;

struct PendingFile::State {
    enum class Kind { InPlace, Unnamed, Named };
    Kind kind = Kind::Named;
    fs::path target;
    fs::path temporary;  // a named temporary's name
    int descriptor = -1;
    bool keepPermissions = false;  // those of the file replaced
    mode_t permissions = 0;
    pid_t owner = ::getpid();
    // Shared with the processes forked after prepare(), where fill() may run.
    std::atomic<int>* filled = nullptr;
    bool committed = false;
};

namespace {

// Whether the user may not write the file: the system says so, or, for the
// superuser whom the system lets write anything, nobody may by its mode.
bool readOnly(const fs::path& target, const struct stat& status) {
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return errno == EACCES || errno == EPERM;
    return ::geteuid() == 0 && (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// The text written over what the file at path holds (a device, a pipe).
std::optional<std::string> writeInPlace(const fs::path& path, const std::string& text) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) return systemReason(errno);
    const int failure = writeAll(descriptor, text.data(), text.size());
    if (::close(descriptor) != 0 && failure == 0 && errno != EINTR) return systemReason(errno);
    if (failure != 0) return systemReason(failure);
    return std::nullopt;
}

// A new name for the open file descriptor beside target; the errno of a failure.
int nameBeside(int descriptor, const fs::path& target, fs::path& temporary) {
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    bool shortName = false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = temporaryBeside(target, shortName);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        if (errno == ENAMETOOLONG && !shortName)
            shortName = true;
        else if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

#if defined(O_TMPFILE)
// A file without a name in folder, linked in by its descriptor's name under
// /proc at the end: its descriptor; -1 where the system or the file system
// has none, or with the reason in problem when it cannot be made.
int unnamedFileIn(const fs::path& folder, std::string& problem) {
    const int descriptor = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (descriptor >= 0 && ::access("/proc/self/fd", X_OK) == 0) return descriptor;
    if (descriptor >= 0)
        ::close(descriptor);
    else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)  // a file system that refuses it
        problem = folderProblem(errno, folder);
    return -1;
}
#endif

// A new file beside target under a temporary name, its name in temporary:
// its descriptor, or -1 with errno set.
int createBeside(const fs::path& target, fs::path& temporary) {
    bool shortName = false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path name = temporaryBeside(target, shortName);
        const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            temporary = name;
            return descriptor;
        }
        if (errno == ENAMETOOLONG && !shortName)
            shortName = true;
        else if (errno != EEXIST)
            break;
    }
    return -1;
}

}  // namespace

PendingFile::PendingFile(std::string path) : path_(std::move(path)), state_(std::make_unique<State>()) {}

PendingFile::~PendingFile() {
    State& s = *state_;
    // A process forked after prepare() leaves the temporary to its owner.
    if (s.owner != ::getpid()) return;
    if (s.descriptor >= 0) ::close(s.descriptor);
    if (s.kind == State::Kind::Named && !s.committed) ::unlink(s.temporary.c_str());
    if (s.filled != nullptr) ::munmap(s.filled, sizeof *s.filled);
}

std::unique_ptr<PendingFile> PendingFile::prepare(const std::string& path, std::string& reason) {
    std::unique_ptr<PendingFile> file(new PendingFile(path));
    State& s = *file->state_;
    void* shared = ::mmap(nullptr, sizeof *s.filled, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        reason = systemReason(errno);
        return nullptr;
    }
    s.filled = new (shared) std::atomic<int>(0);

    std::error_code error;
    s.target = outputTarget(path, error);
    if (error) {
        reason = error.message();
        return nullptr;
    }
    const fs::path folder = folderOf(s.target);
    struct stat status {};
    if (::stat(s.target.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) {
            reason = "it is a folder";
            return nullptr;
        }
        if (!S_ISREG(status.st_mode)) {  // a device or a pipe, written as it stands
            s.kind = State::Kind::InPlace;
            return file;
        }
        if (readOnly(s.target, status)) {
            reason = "the file is read-only";
            return nullptr;
        }
        s.keepPermissions = true;
        s.permissions = status.st_mode & 07777;
    } else if (errno != ENOENT) {
        reason = folderProblem(errno, folder);
        return nullptr;
    }

#if defined(O_TMPFILE)
    std::string problem;
    s.descriptor = unnamedFileIn(folder, problem);
    if (s.descriptor >= 0) {
        s.kind = State::Kind::Unnamed;
        return file;
    }
    if (!problem.empty()) {
        reason = problem;
        return nullptr;
    }
#endif
    // Only a file of its own is removed again: not one of that name it found.
    s.descriptor = createBeside(s.target, s.temporary);
    if (s.descriptor >= 0) {
        s.kind = State::Kind::Named;
        return file;
    }
    reason = folderProblem(errno, folder);
    return nullptr;
}

std::optional<std::string> PendingFile::fill(const std::string& text) {
    State& s = *state_;
    if (s.kind == State::Kind::InPlace) {
        if (auto reason = writeInPlace(s.target, text)) return reason;
    } else {
        int failure = writeAll(s.descriptor, text.data(), text.size());
        if (failure == 0 && s.keepPermissions && ::fchmod(s.descriptor, s.permissions) != 0) failure = errno;
        if (failure == 0 && ::fsync(s.descriptor) != 0 && errno != EINVAL) failure = errno;
        if (failure != 0) return systemReason(failure);
    }
    s.filled->store(1);
    return std::nullopt;
}

bool PendingFile::filled() const {
    return state_->filled->load() != 0;
}

std::optional<std::string> PendingFile::commit() {
    State& s = *state_;
    if (!filled()) return std::string("the text was not written");
    if (s.kind == State::Kind::InPlace) return std::nullopt;
    if (s.kind == State::Kind::Unnamed) {
        const std::string self = "/proc/self/fd/" + std::to_string(s.descriptor);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, s.target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            s.committed = true;
            return std::nullopt;
        }
        if (errno != EEXIST) return systemReason(errno);
        // The file there is replaced in one step: a name beside it first.
        if (const int error = nameBeside(s.descriptor, s.target, s.temporary)) return systemReason(error);
    } else if (::close(s.descriptor) != 0 && errno != EINTR) {
        s.descriptor = -1;
        return systemReason(errno);
    } else {
        s.descriptor = -1;
    }
    if (std::rename(s.temporary.c_str(), s.target.c_str()) != 0) {
        const int error = errno;
        ::unlink(s.temporary.c_str());
        return systemReason(error);
    }
    s.committed = true;
    return std::nullopt;
}

}  // namespace nimbrel
