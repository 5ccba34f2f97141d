#pragma once
// Reading the stand-in's inputs (workspace files, dialog scripts) whole, with
// a bound on their size, "-" for standard input, and a check that they are
// UTF-8 text.

#include <cstddef>
#include <stdexcept>
#include <string>

namespace nimbrel {

// An input that cannot be used; what() names it and says why in one line.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The largest inputs read.
inline constexpr std::size_t kLargestWorkspaceFile = std::size_t{1} << 30;  // 1 GiB
inline constexpr std::size_t kLargestDialogScript = std::size_t{1} << 20;   // 1 MiB

// How messages name an input: "standard input" for "-", else its path.
std::string inputName(const std::string& path);

// The text of the file at path ("-": standard input), of at most limit bytes.
// kind names what it should be in messages ("a workspace file"). Throws
// InputError: a folder, a file that cannot be opened or read, one larger than
// limit, one with a zero byte or a UTF-16 byte order mark (not UTF-8 text).
std::string readInput(const std::string& path, std::size_t limit, const char* kind);

// Throws InputError "<source>: not UTF-8 at byte N (line L, column C); ..."
// when text is not well-formed UTF-8.
void requireUtf8(const std::string& text, const std::string& source);

// "line 3, column 7" for a byte offset (both counted from 1).
std::string lineAndColumn(const std::string& text, std::size_t offset);

}  // namespace nimbrel
