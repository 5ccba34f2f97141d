#include "standin/files/input_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "standin/base/text.h"
#include "standin/base/native_path.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace nimbrel {
namespace {

std::string sizeText(std::size_t bytes) {
    if (bytes >= (std::size_t{1} << 30)) return std::to_string(bytes >> 30) + " GiB";
    if (bytes >= (std::size_t{1} << 20)) return std::to_string(bytes >> 20) + " MiB";
    return std::to_string(bytes) + " bytes";
}

bool startsWithUtf16Mark(const std::string& text) {
    return text.size() >= 2 && ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'));
}

}  // namespace

std::string inputName(const std::string& path) {
    return path == "-" ? "standard input" : path;
}

std::string lineAndColumn(const std::string& text, std::size_t offset) {
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string readInput(const std::string& path, std::size_t limit, const char* kind) {
    const bool standardInput = path == "-";
    const std::string name = inputName(path);
    std::error_code ignored;
    if (!standardInput && std::filesystem::is_directory(nativePath(path), ignored))
        throw InputError(name + ": is a folder, not " + kind);
    errno = 0;
    std::FILE* file = standardInput ? stdin : openFile(path, "rb");
    if (file == nullptr) throw InputError(name + ": cannot open the file: " + std::strerror(errno));
#if defined(_WIN32)
    if (standardInput) _setmode(_fileno(stdin), _O_BINARY);
#endif
    auto fail = [&](const std::string& why) {
        if (!standardInput) std::fclose(file);
        throw InputError(name + ": " + why);
    };
    std::string text;
    std::vector<char> chunk(1 << 16);
    for (;;) {
        const std::size_t read = std::fread(chunk.data(), 1, chunk.size(), file);
        if (read > limit - text.size()) fail("larger than " + sizeText(limit) + ", more than " + kind + " may hold");
        // A text file has no zero byte; this ends a read of /dev/zero at once.
        if (const void* zero = std::memchr(chunk.data(), 0, read))
            fail("not UTF-8 text: a zero byte at byte " +
                 std::to_string(text.size() + static_cast<std::size_t>(static_cast<const char*>(zero) - chunk.data()) +
                                1) +
                 (startsWithUtf16Mark(text.empty() ? std::string(chunk.data(), read) : text)
                      ? " (it is UTF-16 text; save it as UTF-8)"
                      : ""));
        text.append(chunk.data(), read);
        if (read < chunk.size()) break;
    }
    const int error = errno;
    if (std::ferror(file)) fail(std::string("cannot read the file: ") + std::strerror(error));
    if (!standardInput) std::fclose(file);
    return text;
}

void requireUtf8(const std::string& text, const std::string& source) {
    const auto bad = firstNonUtf8Byte(text);
    if (!bad) return;
    throw InputError(
        source + ": not UTF-8 at byte " + std::to_string(*bad + 1) + " (" + lineAndColumn(text, *bad) +
        (startsWithUtf16Mark(text) ? "); it is UTF-16 text: save it as UTF-8" : "); save it as UTF-8 text"));
}

}  // namespace nimbrel
