#include "standin/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "standin/native_path.h"

#if defined(_WIN32)
#include <io.h>
#else
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

}  // namespace

std::optional<std::string> writeWholeFile(const std::string& path, const std::string& text) {
    errno = 0;
    std::FILE* file = openFile(path, "wb");
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
    if (const int error = writeAll(descriptor_, buffer_.data(), pending)) failure_ = systemReason(error);
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
