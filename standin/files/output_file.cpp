#include "standin/files/output_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "standin/files/native_path.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nimbrel {
namespace {

std::string systemReason(int error) {
    return error != 0 ? std::strerror(error) : "the system gave no reason";
}

// Writes all of it, going on after partial writes; the errno of a failure.
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

// The text written over what the file at path holds.
std::optional<std::string> writeInPlace(const std::filesystem::path& path, const std::string& text) {
    errno = 0;
    std::FILE* file = openFile(utf8Path(path), "wb");
    if (file == nullptr) return systemReason(errno);
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
    const int writeError = errno;
    errno = 0;
    const bool closed = std::fclose(file) == 0;
    if (!written) return systemReason(writeError);
    if (!closed) return systemReason(errno);
    return std::nullopt;
}

// Whether path names one of Windows' devices (NUL, CON, COM1, ...), which
// stand in every folder, with any extension.
bool isDeviceName(const std::filesystem::path& path) {
#if defined(_WIN32)
    std::string stem = utf8Path(path.stem());
    for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* device : {"NUL", "CON", "PRN", "AUX"})
        if (stem == device) return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '1' &&
           stem[3] <= '9';
#else
    (void)path;
    return false;
#endif
}

// A new, empty file in the folder of target, named after it; its descriptor,
// or -1 with errno set.
int createTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& temporary) {
    static std::mt19937_64 names(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(names()));
        temporary = target;
        temporary += suffix;
#if defined(_WIN32)
        const int descriptor =
            _wopen(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
        const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
        if (descriptor >= 0 || errno != EEXIST) return descriptor;
    }
    return -1;
}

int closeDescriptor(int descriptor) {
#if defined(_WIN32)
    return _close(descriptor);
#else
    return ::close(descriptor);
#endif
}

// Puts the file at from in the place of the file at to in one step; the
// reason it could not.
std::optional<std::string> replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
#if defined(_WIN32)
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return std::nullopt;
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
               ? "the file is in use or may not be replaced"
               : "the file could not be replaced (error " + std::to_string(error) + ")";
#else
    if (std::rename(from.c_str(), to.c_str()) == 0) return std::nullopt;
    return systemReason(errno);
#endif
}

}  // namespace

std::optional<std::string> writeWholeFile(const std::string& path, const std::string& text) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path target = nativePath(path);
    // A link is followed, so that the file it names is the one replaced.
    if (fs::is_symlink(target, error)) target = fs::weakly_canonical(target, error);
    const fs::file_status status = fs::status(target, error);
    // A device or a pipe (/dev/null, /dev/stdout, NUL) is written as it
    // stands: it cannot be replaced.
    if ((fs::exists(status) && !fs::is_regular_file(status)) || isDeviceName(target)) return writeInPlace(target, text);

    fs::path temporary;
    const int descriptor = createTemporaryBeside(target, temporary);
    if (descriptor < 0) return systemReason(errno);
    int failure = writeAll(descriptor, text.data(), text.size());
#if !defined(_WIN32)
    // The new file keeps the old one's permissions.
    if (failure == 0 && fs::exists(status))
        if (::fchmod(descriptor, static_cast<mode_t>(status.permissions())) != 0) failure = errno;
    if (failure == 0 && ::fsync(descriptor) != 0 && errno != EINVAL) failure = errno;
#endif
    errno = 0;
    if (closeDescriptor(descriptor) != 0 && failure == 0) failure = errno != 0 ? errno : EIO;
    std::optional<std::string> reason;
    if (failure != 0)
        reason = systemReason(failure);
    else
        reason = replaceFile(temporary, target);
    if (reason) fs::remove(temporary, error);
    return reason;
}

bool sameOutputFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    if (a == b) return true;
    std::error_code error;
    if (fs::equivalent(nativePath(a), nativePath(b), error)) return true;
    const fs::path first = fs::weakly_canonical(fs::absolute(nativePath(a), error), error);
    if (error) return false;
    const fs::path second = fs::weakly_canonical(fs::absolute(nativePath(b), error), error);
    return !error && first == second;
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
