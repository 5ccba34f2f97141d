#include "standin/cli/terminal_text.h"
#include "standin/files/input_file.h"
#include "tests/support/temporary_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using nimbrel::columns;
using nimbrel::visible;

struct Shown {
    const char* text;
    std::size_t columns;
    const char* visible;
};

class TerminalText : public ::testing::TestWithParam<Shown> {};

TEST_P(TerminalText, TakesItsColumnsAndShowsItsControls) {
    EXPECT_EQ(columns(GetParam().text), GetParam().columns);
    EXPECT_EQ(visible(GetParam().text), GetParam().visible);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TerminalText,
    ::testing::Values(Shown{"map 1", 5, "map 1"}, Shown{"caf\xC3\xA9", 4, "caf\xC3\xA9"},
                      Shown{"e\xCC\x81", 1, "e\xCC\x81"},                                // e and a combining acute
                      Shown{"\xE4\xB8\xAD\xE6\x96\x87", 4, "\xE4\xB8\xAD\xE6\x96\x87"},  // two CJK characters
                      Shown{"a\tb\nc\r", 6, "a\\tb\\nc\\r"}, Shown{"\x1B[31mred", 8, "\\x1B[31mred"},
                      Shown{"\x7F\xC2\x85", 2, "\\x7F\\u{85}"}, Shown{"caf\xE9!", 5, "caf\\xE9!"}));

TEST(TerminalText, ClipsToColumnsWithTheMarksEllipsis) {
    EXPECT_EQ(nimbrel::clipColumns("\xE4\xB8\xAD\xE6\x96\x87\xE5\x90\x8D", 5, nimbrel::kUtf8Marks),
              "\xE4\xB8\xAD\xE6\x96\x87\xE2\x80\xA6");
    EXPECT_EQ(nimbrel::clipColumns("abcdefgh", 6, nimbrel::kAsciiMarks), "abc...");
    EXPECT_EQ(nimbrel::clipColumns("abc", 3, nimbrel::kAsciiMarks), "abc");
    // A long text says how much of it was left out.
    EXPECT_EQ(nimbrel::shortened("abcdefgh", nimbrel::kAsciiMarks, 6), "abc... (5 more characters)");
    EXPECT_EQ(nimbrel::shortened("ab\xE4\xB8\xAD\xE6\x96\x87", nimbrel::kUtf8Marks, 4),
              "ab\xE2\x80\xA6 (2 more characters)");
    EXPECT_EQ(nimbrel::shortened(std::string(1002000, 'x'), nimbrel::kAsciiMarks).substr(297),
              "... (1,001,703 more characters)");
    EXPECT_EQ(nimbrel::shortened("abcdef", nimbrel::kAsciiMarks, 6), "abcdef");
}

TEST(TerminalText, CutsInTheMiddle) {
    EXPECT_EQ(nimbrel::clipMiddle("sub-01 contrast 1", 9, nimbrel::kAsciiMarks), "sub...t 1");
    EXPECT_EQ(nimbrel::clipMiddle("abcdefgh", 5, nimbrel::kUtf8Marks), "ab\xE2\x80\xA6gh");
    EXPECT_EQ(nimbrel::clipMiddle("abcdefgh", 8, nimbrel::kUtf8Marks), "abcdefgh");
}

struct Fold {
    const char* text;
    std::size_t width;
    const char* indent;
    const char* folded;
};

void PrintTo(const Fold& f, std::ostream* out) {
    *out << f.text << " in " << f.width;
}

class FoldedLines : public ::testing::TestWithParam<Fold> {};

TEST_P(FoldedLines, FitTheWidth) {
    EXPECT_EQ(nimbrel::fitLines(GetParam().text, GetParam().width, GetParam().indent), GetParam().folded);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, FoldedLines,
    ::testing::Values(Fold{"short", 10, "  ", "short"}, Fold{"any width", 0, "", "any width"},
                      // At the last blank that fits, past the label; the rest under the value.
                      Fold{"  key   alpha beta gamma", 16, "        ", "  key   alpha\n        beta\n        gamma"},
                      Fold{"abcdefghij", 4, "", "abcd\nefgh\nij"},
                      // Wide characters take two columns each.
                      Fold{"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 5, "", "\xE6\x97\xA5\xE6\x9C\xAC\n\xE8\xAA\x9E"},
                      Fold{"one line\ntwo lines here", 12, "  ", "one line\ntwo lines\n  here"}));

std::string inputError(const std::string& text, std::size_t limit) {
    kelvane::testing::TemporaryFolder folder("input");
    const auto path = folder.path() / "in.json";
    std::ofstream(path, std::ios::binary) << text;
    try {
        nimbrel::readInput(path.string(), limit, "a workspace file");
        nimbrel::requireUtf8(text, "in.json");
    } catch (const nimbrel::InputError& e) {
        const std::string what = e.what();
        return what.substr(what.find("in.json"));
    }
    return "(accepted)";
}

TEST(InputFile, IsBoundedInSizeAndUtf8Text) {
    EXPECT_EQ(inputError("{}", 2), "(accepted)");
    EXPECT_EQ(inputError("{ }", 2), "in.json: larger than 2 bytes, more than a workspace file may hold");
    EXPECT_EQ(inputError(std::string(1 << 17, ' '), 1 << 20), "(accepted)");
    EXPECT_EQ(inputError(std::string((1 << 20) + 1, ' '), 1 << 20),
              "in.json: larger than 1 MiB, more than a workspace file may hold");
    EXPECT_EQ(inputError(std::string("{\0}", 3), 99), "in.json: not UTF-8 text: a zero byte at byte 2");
    EXPECT_EQ(inputError(std::string("\xFF\xFE{\0}\0", 6), 99),
              "in.json: not UTF-8 text: a zero byte at byte 4 (it is UTF-16 text; save it as UTF-8)");
    EXPECT_EQ(inputError("{\n\"name\": \"caf\xE9\"}", 99),
              "in.json: not UTF-8 at byte 15 (line 2, column 13); save it as UTF-8 text");
}

}  // namespace
