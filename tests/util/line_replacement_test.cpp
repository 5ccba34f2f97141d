// replaceLinesInFile on real temporary files, logging to the stand-in host,
// this test program.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <unistd.h>
#endif

#include "host/host_function_table.h"
#include "standin/host/host_session.h"
#include "standin/host/workspace.h"
#include "tests/support/read_file.h"
#include "tests/support/temporary_folder.h"
#include "util/line_replacement.h"

namespace kelvane {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

using kelvane::testing::readFile;

// Line breaks in the platform's own text-mode form.
std::string native(const std::string& text) {
#if defined(_WIN32)
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
#else
    return text;
#endif
}

class LineReplacement : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bindHostFunctions());
        ASSERT_TRUE(fs::is_directory(folder));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(file, fs::perms::owner_all, ignored);
    }

    // Runs the routine on file and returns its log lines.
    Lines replace(std::vector<std::string>& keys, bool removeBlanks, bool caseSensitive,
                  const std::vector<std::string>& replacements, const fs::path& path) {
        std::vector<std::ostringstream> streams(replacements.size());
        for (std::size_t k = 0; k < replacements.size(); ++k) streams[k] << replacements[k];
        nimbrel::HostSession session(workspace);
        replaceLinesInFile(path.string().c_str(), static_cast<int32_t>(keys.size()), keys.data(), removeBlanks,
                           caseSensitive, streams.data());
        EXPECT_TRUE(session.messages().empty());
        return session.logLines();
    }
    Lines replace(std::vector<std::string>& keys, bool removeBlanks, bool caseSensitive,
                  const std::vector<std::string>& replacements) {
        return replace(keys, removeBlanks, caseSensitive, replacements, file);
    }
    std::string replacedLine(int count) const {
        return std::to_string(count) + " lines were replaced in " + file.string();
    }

    nimbrel::Workspace workspace;
    testing::TemporaryFolder temporary{"lines"};
    const fs::path& folder = temporary.path();
    const fs::path file = folder / "settings.txt";
};

struct RoundTrip {
    const char* label;
    std::string content;  // with '\n' for the platform's line break
};

void PrintTo(const RoundTrip& c, std::ostream* os) {
    *os << c.label;
}

class LineRoundTrip : public LineReplacement, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(LineRoundTrip, NoKeysWritesEveryByteBack) {
    writeBytes(file, native(GetParam().content));
    std::vector<std::string> keys;
    EXPECT_EQ(replace(keys, true, false, {}), Lines{replacedLine(0)});
    EXPECT_EQ(readFile(file), native(GetParam().content));
}

TEST_P(LineRoundTrip, UnmatchedLinesKeepBlanksAndCaseUnderBothNormalisations) {
    writeBytes(file, native(GetParam().content));
    std::vector<std::string> keys = {"NO SUCH KEY", "absent"};
    EXPECT_EQ(replace(keys, true, false, {"one", "two"}), Lines{replacedLine(0)});
    EXPECT_EQ(readFile(file), native(GetParam().content));
}

INSTANTIATE_TEST_SUITE_P(Files, LineRoundTrip,
                         ::testing::Values(RoundTrip{"ThreeLinesWithFinalBreak", "a\nb\nc\n"},
                                           RoundTrip{"ThreeLinesWithoutFinalBreak", "a\nb\nc"}, RoundTrip{"Empty", ""},
                                           RoundTrip{"OnlyALineBreak", "\n"}, RoundTrip{"BlankLines", "\n\n\nx\n\n"},
                                           RoundTrip{"CarriageReturns", "a\rb\n\rc\r\nd\r"},
                                           RoundTrip{"BlanksAndTabs", "  Set Value = 3 \n\tIndented\t\n \t \n"},
                                           RoundTrip{"ZeroAndHighBytes", std::string("a\0b\n\xE9t\xC9\n\xFF", 9)}),
                         [](const auto& info) { return std::string(info.param.label); });

struct ReplacementCase {
    const char* label;
    std::string content;
    std::vector<std::string> keys;
    bool removeBlanks, caseSensitive;
    std::vector<std::string> replacements;
    std::string result;
    int replaced;
    std::vector<std::string> keysAfter;
};

void PrintTo(const ReplacementCase& c, std::ostream* os) {
    *os << c.label;
}

class Replacement : public LineReplacement, public ::testing::WithParamInterface<ReplacementCase> {};

TEST_P(Replacement, ReplacesWholeLinesAndNormalisesKeys) {
    const ReplacementCase& c = GetParam();
    writeBytes(file, native(c.content));
    std::vector<std::string> keys = c.keys;
    EXPECT_EQ(replace(keys, c.removeBlanks, c.caseSensitive, c.replacements), Lines{replacedLine(c.replaced)});
    EXPECT_EQ(readFile(file), native(c.result));
    EXPECT_EQ(keys, c.keysAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Replacement,
    ::testing::Values(
        ReplacementCase{"SpacingAndCaseIgnored",
                        "# Keep Me  \n  Set Value = 3\nend\n",
                        {"setvalue"},
                        true,
                        false,
                        {"SetValue = 5"},
                        "# Keep Me  \nSetValue = 5\nend\n",
                        1,
                        {"SETVALUE"}},
        ReplacementCase{"CaseSensitiveMisses",
                        "  Set Value = 3\n",
                        {"setvalue"},
                        true,
                        true,
                        {"X"},
                        "  Set Value = 3\n",
                        0,
                        {"setvalue"}},
        ReplacementCase{"BlanksKeptMisses",
                        "  Set Value = 3\n",
                        {"setvalue"},
                        false,
                        false,
                        {"X"},
                        "  Set Value = 3\n",
                        0,
                        {"SETVALUE"}},
        ReplacementCase{"KeysComeBackNormalised",
                        "x\n",
                        {" Set value ", "caf\xE9 au lait", "a\tb c"},
                        true,
                        false,
                        {"1", "2", "3"},
                        "x\n",
                        0,
                        {"SETVALUE",
                         "CAF\xE9"
                         "AULAIT",
                         "A\tBC"}},
        ReplacementCase{"TabsAreNoBlanks", "a \tb\nab\n", {"a\tb"}, true, true, {"T"}, "T\nab\n", 1, {"a\tb"}},
        ReplacementCase{"EmptyKeyMatchesEveryEntry", "a\nb\n", {""}, false, true, {"X"}, "X\nX\nX", 3, {""}},
        ReplacementCase{"BlanksOnlyKeyMatchesEveryEntry", "a\n\nb", {"   "}, true, true, {"X"}, "X\nX\nX", 3, {""}},
        ReplacementCase{"BlankKeyWithoutRemovalMatchesLinesWithBlanks",
                        "a b\nab\n",
                        {" "},
                        false,
                        true,
                        {"X"},
                        "X\nab\n",
                        1,
                        {" "}},
        ReplacementCase{"EmptyKeyOnEmptyFile", "", {""}, false, true, {"X"}, "X", 1, {""}},
        ReplacementCase{"EarlierKeyWinsOncePerLine",
                        "alpha beta\nbeta\n",
                        {"beta", "alpha"},
                        false,
                        true,
                        {"first", "second"},
                        "first\nfirst\n",
                        2,
                        {"beta", "alpha"}},
        ReplacementCase{"SecondKeyWhenFirstMisses",
                        "alpha\ngamma\n",
                        {"beta", "alpha"},
                        false,
                        true,
                        {"first", "second"},
                        "second\ngamma\n",
                        1,
                        {"beta", "alpha"}},
        ReplacementCase{"ReplacementTextWrittenWhole",
                        "k\nrest",
                        {"k"},
                        false,
                        true,
                        {"one\ntwo \t"},
                        "one\ntwo \t\nrest",
                        1,
                        {"k"}},
        ReplacementCase{"EmptyReplacement", "k\nrest\n", {"k"}, false, true, {""}, "\nrest\n", 1, {"k"}},
        ReplacementCase{"LastLineWithoutBreak", "a\nkey", {"key"}, false, true, {"new"}, "a\nnew", 1, {"key"}},
        ReplacementCase{"NormalisedMatchSpansBlanksNotLineBreaks",
                        "t t tt\nS e T v A l U e x\nset\nvalue\nxSETVALU",
                        {"set value"},
                        true,
                        false,
                        {"R"},
                        "t t tt\nR\nset\nvalue\nxSETVALU",
                        1,
                        {"SETVALUE"}},
        ReplacementCase{
            "KeyWithALineBreakMatchesNoLine", "a\nb\n", {"a\nb"}, false, true, {"X"}, "a\nb\n", 0, {"a\nb"}},
        ReplacementCase{"LaterKeyInAnEarlierLine",
                        "beta\nalpha beta\ngamma\nbeta",
                        {"alpha", "beta"},
                        false,
                        true,
                        {"first", "second"},
                        "second\nfirst\ngamma\nsecond",
                        3,
                        {"alpha", "beta"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(LineReplacement, KeyCountZeroLeavesEveryLine) {
    writeBytes(file, native("Set Value = 3\n"));
    std::vector<std::ostringstream> streams(1);
    streams[0] << "X";
    std::string key = "set value";
    nimbrel::HostSession session(workspace);
    replaceLinesInFile(file.string().c_str(), 0, &key, true, false, streams.data());
    EXPECT_EQ(readFile(file), native("Set Value = 3\n"));
    EXPECT_EQ(key, "set value");
    EXPECT_EQ(session.logLines(), Lines{replacedLine(0)});
}

TEST_F(LineReplacement, HoldsEveryLineOfALongFile) {
    std::string content, expected;
    for (int i = 0; i < 5000; ++i) {
        std::string line = i % 7 == 0 ? "Value " + std::to_string(i) : "line " + std::to_string(i);
        content += line + "\n";
        expected += (i % 7 == 0 ? std::string("Value replaced") : line) + "\n";
    }
    content += "tail";
    expected += "tail";
    writeBytes(file, native(content));
    std::vector<std::string> keys = {"VALUE"};
    EXPECT_EQ(replace(keys, true, false, {"Value replaced"}), Lines{replacedLine(715)});
    EXPECT_EQ(readFile(file), native(expected));
}

TEST_F(LineReplacement, LongLineOfBlanksIsNormalisedInOneSweep) {
    std::string line;
    for (int i = 0; i < 2000000; ++i) line += "a ";
    writeBytes(file, native(line + "\nb\n"));
    std::vector<std::string> keys = {" A A A "};
    EXPECT_EQ(replace(keys, true, false, {"short"}), Lines{replacedLine(1)});
    EXPECT_EQ(readFile(file), native("short\nb\n"));
    EXPECT_EQ(keys, std::vector<std::string>{"AAA"});
}

TEST_F(LineReplacement, MissingFileIsNotCreatedButKeysAreNormalised) {
    std::vector<std::string> keys = {" set Value", "b c"};
    EXPECT_EQ(replace(keys, true, false, {"1", "2"}), Lines{"File could not be opened for reading"});
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(keys, (std::vector<std::string>{"SETVALUE", "BC"}));
}

TEST_F(LineReplacement, UnreadablePathIsLeftAlone) {
    // A folder opens but cannot be read.
    fs::path inner = folder / "inner";
    ASSERT_TRUE(fs::create_directory(inner));
    writeBytes(inner / "kept.txt", "kept\n");
    std::vector<std::string> keys = {"a b"};
    EXPECT_EQ(replace(keys, true, true, {"1"}, inner), Lines{"File could not be opened for reading"});
    EXPECT_EQ(readFile(inner / "kept.txt"), "kept\n");
    EXPECT_EQ(keys, std::vector<std::string>{"ab"});
}

#if !defined(_WIN32)
// Takes away the rights of the super-user while it lives, when the test runs as one.
class Unprivileged {
public:
    Unprivileged() : wasRoot_(geteuid() == 0) {
        if (wasRoot_) dropped_ = seteuid(65534) == 0;
    }
    ~Unprivileged() {
        if (dropped_) (void)seteuid(0);
    }
    bool ok() const { return !wasRoot_ || dropped_; }

private:
    bool wasRoot_;
    bool dropped_ = false;
};

TEST_F(LineReplacement, ReadOnlyFileKeepsItsContent) {
    writeBytes(file, "Set Value = 3\nother\n");
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::vector<std::string> keys = {"set value"};
    Lines log;
    {
        Unprivileged unprivileged;
        if (!unprivileged.ok()) GTEST_SKIP() << "cannot give up super-user rights";
        log = replace(keys, true, false, {"X"});
    }
    EXPECT_EQ(log, Lines{"File could not be opened for writing"});
    EXPECT_EQ(readFile(file), "Set Value = 3\nother\n");
    EXPECT_EQ(keys, std::vector<std::string>{"SETVALUE"});
}

// Lets no file grow beyond a size while it lives, as a full disk would: a
// write past it fails (and raises no signal).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        set_ = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        if (set_) setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool ok() const { return set_; }

private:
    rlimit previous_{};
    void (*previousHandler_)(int);
    bool set_ = false;
};

struct WriteFailure {
    const char* label;
    std::size_t originalBytes;  // the file before the call, within or beyond the limit
    const char* logLine;
    bool originalBack;
};

void PrintTo(const WriteFailure& c, std::ostream* os) {
    *os << c.label;
}

class LineReplacementWriteFailure : public LineReplacement, public ::testing::WithParamInterface<WriteFailure> {};

// A rewrite that cannot be written whole is no success: the file gets its
// former content back where that fits, and the log says which.
TEST_P(LineReplacementWriteFailure, SaysSoAndPutsTheFormerContentBack) {
    constexpr rlim_t kLimit = 4096;
    const WriteFailure& c = GetParam();
    std::string original = "Set Value = 3\n";
    while (original.size() < c.originalBytes) original += "other line\n";
    writeBytes(file, original);
    std::vector<std::string> keys = {"set value"};
    Lines log;
    {
        FileSizeLimit limit(kLimit);
        if (!limit.ok()) GTEST_SKIP() << "cannot limit the file size";
        log = replace(keys, true, false, {std::string(2 * kLimit, 'x')});
    }
    EXPECT_EQ(log, Lines{c.logLine});
    if (c.originalBack)
        EXPECT_EQ(readFile(file), original);
    else
        EXPECT_EQ(readFile(file).size(), kLimit);
}

INSTANTIATE_TEST_SUITE_P(
    Disk, LineReplacementWriteFailure,
    ::testing::Values(WriteFailure{"FormerContentFits", 100,
                                   "File could not be written, its former content was put back", true},
                      WriteFailure{"FormerContentDoesNotFit", 6000,
                                   "File could not be written, its former content could not be put back", false}),
    [](const auto& info) { return std::string(info.param.label); });
#endif

}  // namespace
}  // namespace kelvane
