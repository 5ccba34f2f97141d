#pragma once
// Text as a terminal shows it: the columns a UTF-8 text takes, control
// characters made visible, and the marks the human report draws with: box
// drawing where the terminal takes UTF-8, plain ASCII where it does not.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "standin/base/text.h"

namespace nimbrel {

// Columns a text takes on a terminal: East Asian wide characters two,
// combining marks none, every other character (or byte that is not UTF-8) one.
std::size_t columns(std::string_view text);

// The text with its control characters written as escapes ("\n", "\t",
// "\x1B", "\u{85}"), so that nothing in it moves the cursor or changes the
// terminal; the backslash itself is left as it is.
std::string visible(std::string_view text);

// What the human report draws with.
struct Marks {
    const char* bar;         // "│" before each log line
    const char* rule;        // "─", repeated for a rule
    const char* topLeft;     // "┌"
    const char* bottomLeft;  // "└"
    const char* arrow;       // " → " between a value before and after
    const char* ellipsis;    // "…" at the end of a cut text
};
inline constexpr Marks kUtf8Marks{"\xE2\x94\x82", "\xE2\x94\x80",   "\xE2\x94\x8C",
                                  "\xE2\x94\x94", " \xE2\x86\x92 ", "\xE2\x80\xA6"};
inline constexpr Marks kAsciiMarks{"|", "-", "+", "+", " -> ", "..."};

// The columns the human report may fill on descriptor (1 standard output, 2
// standard error): COLUMNS when it is set to a number, else the terminal's
// width; none for a file or a pipe.
std::optional<std::size_t> terminalColumns(int descriptor);

// Whether the terminal (the locale, or on Windows the console) takes UTF-8.
bool outputTakesUtf8();

// Cuts a text to at most width columns, ending it with the marks' ellipsis
// when cut.
std::string clipColumns(const std::string& text, std::size_t width, const Marks& marks);

// Cuts a text to at most width columns in its middle, the marks' ellipsis
// where the cut is, so that texts that differ at the end stay told apart:
// "sub-01 Faces…contrast 2".
std::string clipMiddle(const std::string& text, std::size_t width, const Marks& marks);

// The lines of a text fitted to width columns (0: any width): each line that
// is wider is folded at the last blank that fits (past the indent), or at the
// width where none does, every part after the first starting with indent.
// The lines joined with "\n", without a final one.
std::string fitLines(const std::string& text, std::size_t width, const std::string& indent);

// The most columns the human report gives one text (a description, a log
// line, a parameter's value); the JSON report always has them whole.
inline constexpr std::size_t kLongestShownText = 300;

// A text cut to at most width columns (and the note), ending with the marks'
// ellipsis and how much was left out: "A long text… (1,234 more characters)".
std::string shortened(const std::string& text, const Marks& marks, std::size_t width = kLongestShownText);

// Text padded with blanks to width columns, after it or before it.
std::string padRight(const std::string& text, std::size_t width);
std::string padLeft(const std::string& text, std::size_t width);

// Text repeated count times.
std::string repeated(const char* text, std::size_t count);

}  // namespace nimbrel
