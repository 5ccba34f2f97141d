#include "standin/files/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "standin/base/native_path.h"
#include "standin/files/output_file_system.h"

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace nimbrel {

namespace fs = std::filesystem;

int writeAll(int descriptor, const char* data, std::size_t size) {
    while (size > 0) {
#if defined(_WIN32)
        const int chunk = static_cast<int>(size < (1u << 30) ? size : (1u << 30));
        const int written = _write(descriptor, data, static_cast<unsigned>(chunk));
#else
        const ssize_t written = ::write(descriptor, data, size);
#endif
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return written < 0 && errno != 0 ? errno : EIO;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

std::string systemReason(int error) {
    return error != 0 ? std::strerror(error) : "the system gave no reason";
}

fs::path folderOf(const fs::path& target) {
    const fs::path folder = target.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

std::string folderProblem(int error, const fs::path& folder) {
    const fs::path shown = folder.lexically_normal();
    const std::string name = shown == "." ? "the current folder" : "the folder " + utf8Path(shown);
    switch (error) {
        case EACCES:
        case EPERM:
            return name + " is not writable (" + systemReason(error) + ")";
        case ENOENT:
            return name + " does not exist";
        case ENOTDIR:
            return utf8Path(shown) + " is not a folder";
#if defined(EROFS)
        case EROFS:
            return name + " is on a read-only file system";
#endif
        default:
            return "cannot make a file in " + name + ": " + systemReason(error);
    }
}

fs::path temporaryBeside(const fs::path& target, bool shortName) {
    static std::mt19937_64 names(std::random_device{}());
    char suffix[32];
    if (shortName) {
        std::snprintf(suffix, sizeof suffix, ".nimbrel-%08llx.tmp", static_cast<unsigned long long>(names() >> 32));
        return folderOf(target) / suffix;
    }
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(names()));
    fs::path temporary = target;
    temporary += suffix;
    return temporary;
}

fs::path outputTarget(const std::string& path, std::error_code& error) {
    // As many links as the system follows in one path.
    constexpr int kMostLinks = 40;
    error.clear();
    fs::path target = nativePath(path);
    for (int links = 0; links <= kMostLinks; ++links) {
        std::error_code ignored;
        if (!fs::is_symlink(target, ignored)) return target;
        const fs::path next = fs::read_symlink(target, ignored);
        if (ignored) return target;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return target;
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code error;
    const fs::path first = outputTarget(a, error);
    const fs::path second = outputTarget(b, error);
    if (fs::equivalent(first, second, error)) return true;
    const fs::path firstWhole = fs::weakly_canonical(fs::absolute(first, error), error);
    if (error) return false;
    const fs::path secondWhole = fs::weakly_canonical(fs::absolute(second, error), error);
    return !error && firstWhole == secondWhole;
}

std::optional<std::string> writeWholeFile(const std::string& path, const std::string& text) {
    std::string reason;
    const std::unique_ptr<PendingFile> file = PendingFile::prepare(path, reason);
    if (!file) return reason;
    if (auto failed = file->fill(text)) return failed;
    return file->commit();
}

DescriptorOutput::DescriptorOutput(int descriptor) : descriptor_(descriptor), buffer_(1 << 16) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

DescriptorOutput::~DescriptorOutput() {
    drain();
}

bool DescriptorOutput::drain() {
    const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    if (failure_) return false;
    if (const int error = writeAll(descriptor_, buffer_.data(), pending)) {
        failure_ = systemReason(error);
        closedByReader_ = error == EPIPE;
    }
    return !failure_;
}

DescriptorOutput::int_type DescriptorOutput::overflow(int_type c) {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
}

int DescriptorOutput::sync() {
    return drain() ? 0 : -1;
}

}  // namespace nimbrel
