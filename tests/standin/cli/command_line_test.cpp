#include "standin/cli/command_line.h"
#include "standin/plugin/plugin_location.h"
#include "tests/support/temporary_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using nimbrel::CommandLine;

struct Parsed {
    std::optional<CommandLine> options;
    int status = -1;
    std::string out, err;
};

Parsed parse(std::vector<const char*> args) {
    args.insert(args.begin(), "Nimbrel.exe");
    std::ostringstream out, err;
    auto result = nimbrel::parseCommandLine(static_cast<int>(args.size()), args.data(), out, err);
    Parsed parsed;
    if (auto* options = std::get_if<CommandLine>(&result))
        parsed.options = *options;
    else
        parsed.status = std::get<int>(result);
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
}

TEST(CommandLine, TakesEveryOptionAndRepeatedParams) {
    Parsed p = parse({"--param", "MinP=0.05", "ws.json", "--param", "Overlay=1,3-5", "--plugin", "k.so", "--dialog",
                      "d.js", "--save-workspace", "out.json", "--report-json", "-", "--trace", "--quiet"});
    ASSERT_TRUE(p.options) << p.err;
    EXPECT_EQ(p.options->workspace, std::optional<std::string>("ws.json"));
    EXPECT_EQ(p.options->params, (std::vector<std::string>{"MinP=0.05", "Overlay=1,3-5"}));
    EXPECT_EQ(p.options->plugin, std::optional<std::string>("k.so"));
    EXPECT_EQ(p.options->dialog, std::optional<std::string>("d.js"));
    EXPECT_FALSE(p.options->noDialog);
    EXPECT_EQ(p.options->saveWorkspace, std::optional<std::string>("out.json"));
    EXPECT_EQ(p.options->reportJson, std::optional<std::string>("-"));
    EXPECT_TRUE(p.options->trace);
    EXPECT_TRUE(p.options->quiet);
    EXPECT_EQ(parse({"--timeout", "0.5"}).options->timeout, std::optional<double>(0.5));
}

TEST(CommandLine, NoArgumentsGiveTheUsageAndStatusTwo) {
    Parsed p = parse({});
    EXPECT_EQ(p.status, nimbrel::kExitBadArguments);
    EXPECT_EQ(p.err.rfind("Usage: Nimbrel.exe [OPTIONS] [WORKSPACE.json]\n", 0), 0u) << p.err;
    EXPECT_EQ(p.out, "");
}

TEST(CommandLine, NothingButAnOptionMeansDefaults) {
    Parsed p = parse({"--quiet"});
    ASSERT_TRUE(p.options);
    EXPECT_FALSE(p.options->workspace);
    EXPECT_FALSE(p.options->plugin);
    EXPECT_FALSE(p.options->dialog);
    EXPECT_FALSE(p.options->noDialog);
    EXPECT_FALSE(p.options->reportJson);
    EXPECT_FALSE(p.options->trace);
}

struct BadArguments {
    std::vector<const char*> args;
    const char* error;
};

void PrintTo(const BadArguments& c, std::ostream* out) {
    for (const char* arg : c.args) *out << arg << (arg == c.args.back() ? "" : " ");
}

class BadCommandLine : public ::testing::TestWithParam<BadArguments> {};

TEST_P(BadCommandLine, EndsWithOneLineAndStatusTwo) {
    Parsed p = parse(GetParam().args);
    EXPECT_EQ(p.status, nimbrel::kExitBadArguments);
    EXPECT_EQ(p.err, std::string("Nimbrel.exe: error: ") + GetParam().error + "\n");
    EXPECT_EQ(p.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, BadCommandLine,
    ::testing::Values(
        BadArguments{{"--param", "MinP", "ws.json"},
                     "--param MinP: expected NAME=VALUE, with '=' between name and value"},
        BadArguments{{"--param", "=0.05"}, "--param =0.05: the parameter name before '=' is empty"},
        BadArguments{{"--bogus"}, "The following argument was not expected: --bogus (see --help)"},
        BadArguments{{"a.json", "b.json"}, "The following argument was not expected: b.json (see --help)"},
        BadArguments{{"--plugin"}, "--plugin: 1 required PATH missing (see --help)"},
        BadArguments{{"--dialog"}, "--dialog: 1 required PATH missing (see --help)"},
        BadArguments{{"--no-dialog", "--dialog", "d.js"}, "--dialog excludes --no-dialog (see --help)"},
        BadArguments{{"--param", "MinP=0.01", "--param", "MinP=0.05"},
                     "--param MinP=0.05: MinP is given twice (also --param MinP=0.01)"},
        BadArguments{{"--timeout", "0"}, "--timeout 0: give seconds above 0, at most 86400 (see --help)"},
        BadArguments{{"--timeout", "-1"}, "--timeout -1: give seconds above 0, at most 86400 (see --help)"},
        BadArguments{{"--timeout", "abc"}, "--timeout abc: give seconds above 0, at most 86400 (see --help)"},
        BadArguments{{"--timeout", "1e9"}, "--timeout 1e9: give seconds above 0, at most 86400 (see --help)"},
        BadArguments{{"--check", "p.so", "--param", "A=1"}, "--check excludes --param (see --help)"},
        BadArguments{{"--strictness", "3", "ws.json"}, "--strictness requires --check (see --help)"},
        BadArguments{{"--check", "p.so", "--strictness", "4"},
                     "--strictness: Value 4 not in range 1 to 3 (see --help)"},
        BadArguments{{"--check", "p.so", "--time-limit", "0"},
                     "--time-limit: give seconds above 0, at most 86400 (see --help)"},
        BadArguments{{"--only", "exports", "ws.json"}, "--only requires --check (see --help)"},
        BadArguments{{"--in-process"}, "--in-process requires --check (see --help)"},
        BadArguments{{"--list", "--check", "p.so"}, "--check excludes --list (see --help)"},
        BadArguments{{"--list", "ws.json"}, "--list excludes WORKSPACE.json (see --help)"},
        BadArguments{{"--check", "p.so", "--only", ","},
                     "--only: give the names of checks, comma-separated (Nimbrel.exe --list lists them)"}));

struct CheckArguments {
    std::vector<const char*> args;
    std::vector<std::string> only;
    bool inProcess;
    bool list;
};
// Named by its arguments; GoogleTest would print the object's bytes, padding and all.
void PrintTo(const CheckArguments& arguments, std::ostream* out) {
    for (const char* argument : arguments.args) *out << argument << ' ';
}

class CheckCommandLine : public ::testing::TestWithParam<CheckArguments> {};

TEST_P(CheckCommandLine, TakesTheChecksOptions) {
    const CheckArguments& c = GetParam();
    Parsed p = parse(c.args);
    ASSERT_TRUE(p.options && p.options->check) << p.err;
    EXPECT_EQ(p.options->check->only, c.only);
    EXPECT_EQ(p.options->check->inProcess, c.inProcess);
    EXPECT_EQ(p.options->check->list, c.list);
}

INSTANTIATE_TEST_SUITE_P(
    Options, CheckCommandLine,
    ::testing::Values(CheckArguments{{"--check", "p.so", "--only", "exports,init-no-maps"},
                                     {"exports", "init-no-maps"},
                                     false,
                                     false},
                      CheckArguments{{"--check", "p.so", "--only", "cycles,", "--in-process"}, {"cycles"}, true, false},
                      CheckArguments{{"--list"}, {}, false, true},
                      CheckArguments{{"--list", "--report-json", "-"}, {}, false, true}));

TEST(CommandLine, HelpAndVersionAnswerAndEnd) {
    Parsed help = parse({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: Nimbrel.exe [OPTIONS] [WORKSPACE.json]"), std::string::npos) << help.out;
    const std::string statuses = nimbrel::exitStatusHelp(nimbrel::kExitStatuses, nimbrel::kExitStatusNote);
    for (const char* option :
         {"--plugin PATH", "--dialog PATH", "--no-dialog", "--param NAME=VALUE", "--save-workspace FILE",
          "--report-json FILE", "--trace", "--quiet", "--version", "--check PLUGIN", statuses.c_str(),
          "  9   the plug-in crashed in one of its calls, or ended the process\n"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    Parsed version = parse({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "Nimbrel.exe 1.0, the stand-in host for Kelvane plug-ins\n");
}

// The manual's table of exit statuses is the one --help lists, row for row,
// and the note after it the same.
TEST(CommandLine, ManualListsTheExitStatuses) {
    std::ifstream file(KELVANE_SOURCE_DIR "/docs/using-the-stand-in.md");
    std::string line;
    while (std::getline(file, line) && line != "## Exit statuses") {
    }
    std::vector<std::string> rows;
    std::string note;
    while (std::getline(file, line) && line.rfind("## ", 0) != 0) {
        if (line.rfind("| ", 0) == 0 && line != "| Status | Meaning |") rows.push_back(line);
        if (!rows.empty() && !line.empty() && line[0] != '|') note += (note.empty() ? "" : "\n") + line;
    }
    std::vector<std::string> expected;
    for (const auto& row : nimbrel::kExitStatuses)
        expected.push_back("| " + std::to_string(row.status) + " | " + row.meaning + " |");
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(note, nimbrel::kExitStatusNote);
}

// The document on --check lists the check's statuses in one sentence.
TEST(CommandLine, CheckDocumentListsTheCheckExitStatuses) {
    std::ifstream file(KELVANE_SOURCE_DIR "/docs/checking-plugins.md");
    std::string readme, word;
    while (file >> word) readme += (readme.empty() ? "" : " ") + word;
    std::string sentence = "Exit status:";
    for (const auto& row : nimbrel::kCheckExitStatuses)
        sentence += std::string(row.status == 0 ? " " : ", ") + std::to_string(row.status) + " " + row.meaning;
    EXPECT_NE(readme.find(sentence + "."), std::string::npos) << sentence;
}

TEST(CommandLine, CheckIsAGroupOfTheOneCommandLine) {
    Parsed p = parse({"--check", "p.so", "--strictness", "3", "--time-limit", "5", "--report-json", "-"});
    ASSERT_TRUE(p.options && p.options->check) << p.err;
    EXPECT_EQ(p.options->check->plugin, "p.so");
    EXPECT_EQ(p.options->check->strictness, 3);
    EXPECT_EQ(p.options->check->timeLimit, 5.0);
    EXPECT_EQ(p.options->reportJson, std::optional<std::string>("-"));
    Parsed help = parse({"--check", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, parse({"--help"}).out);
    for (const char* text : {"--strictness 1..3", "--time-limit SECONDS", "Exit status of --check:\n  0   every check"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
}

TEST(CommandLine, NoTakesNoDialog) {
    Parsed p = parse({"--no-dialog", "ws.json"});
    ASSERT_TRUE(p.options) << p.err;
    EXPECT_TRUE(p.options->noDialog);
    EXPECT_FALSE(p.options->dialog);
}

#if defined(_WIN32)
const char* const kModule = "Kelvane.dll";
#else
const char* const kModule = "Kelvane.so";
#endif

TEST(CommandLine, DefaultPluginIsLookedForAsInstalledThenAsUnpackedThenAsBuilt) {
    namespace fs = std::filesystem;
    const fs::path exe = fs::path("opt") / "kelvane" / "bin" / "Nimbrel.exe";
    EXPECT_EQ(nimbrel::defaultPluginCandidates(exe.string()),
              (std::vector<std::string>{(fs::path("opt") / "kelvane" / "plugins" / "Kelvane" / kModule).string(),
                                        (fs::path("opt") / "kelvane" / "Kelvane" / kModule).string(),
                                        (fs::path("opt") / "kelvane" / "plugin" / kModule).string()}));
}

// The three layouts, made in a temporary folder: each finds its own plug-in.
TEST(CommandLine, DefaultPluginIsTheFirstThatExists) {
    namespace fs = std::filesystem;
    kelvane::testing::TemporaryFolder temporary("layout");
    const fs::path& root = temporary.path();
    const fs::path exe = root / "stand-in" / "Nimbrel.exe";
    const fs::path installed = root / "plugins" / "Kelvane" / kModule;
    const fs::path unpacked = root / "Kelvane" / kModule;
    const fs::path built = root / "plugin" / kModule;
    for (const fs::path& folder :
         {exe.parent_path(), installed.parent_path(), unpacked.parent_path(), built.parent_path()})
        fs::create_directories(folder);

    EXPECT_EQ(nimbrel::defaultPluginPath(exe.string()), "") << "none exists";
    std::ofstream(built) << "module";
    EXPECT_EQ(fs::path(nimbrel::defaultPluginPath(exe.string())), built.lexically_normal());
    std::ofstream(unpacked) << "module";
    EXPECT_EQ(fs::path(nimbrel::defaultPluginPath(exe.string())), unpacked.lexically_normal());
    std::ofstream(installed) << "module";
    EXPECT_EQ(fs::path(nimbrel::defaultPluginPath(exe.string())), installed.lexically_normal());
    fs::remove(installed);
    fs::create_directories(installed);  // a folder of that name is no module
    EXPECT_EQ(fs::path(nimbrel::defaultPluginPath(exe.string())), unpacked.lexically_normal());
}

}  // namespace
