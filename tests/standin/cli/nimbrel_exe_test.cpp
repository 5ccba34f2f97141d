// Runs the real Nimbrel.exe, with the real plug-in module, as a user would.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "standin/cli/exit_status.h"
#include "standin/cli/terminal_text.h"
#include "standin/files/workspace_json.h"
#include "tests/support/nimbrel_exe.h"
#include "tests/support/read_file.h"
#include "tests/support/temporary_folder.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

const std::string kExamples = KELVANE_SOURCE_DIR "/examples/";

using Outcome = kelvane::testing::ExeOutcome;
using kelvane::testing::inQuotes;

class NimbrelExe : public ::testing::Test {
protected:
    // The human report as a UTF-8 terminal of any width shows it.
    NimbrelExe() {
        setLocale("C.UTF-8");
        setColumns("");
    }

    static void setLocale(const char* locale) {
#if !defined(_WIN32)
        setenv("LC_ALL", locale, 1);
#else
        (void)locale;
#endif
    }

    // COLUMNS for the runs to come; "" for none.
    static void setColumns(const std::string& columns) {
#if !defined(_WIN32)
        setenv("COLUMNS", columns.c_str(), 1);
#else
        _putenv(("COLUMNS=" + columns).c_str());
#endif
    }

    fs::path file(const std::string& name, const std::string& text) const {
        fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Runs Nimbrel.exe; its standard output goes to stdoutTo when given.
    Outcome run(const std::string& arguments, const std::string& stdoutTo = "") const {
        return kelvane::testing::runExe(NIMBREL_EXE, arguments, folder_, stdoutTo);
    }

    // Runs Nimbrel.exe from the folder, so that it takes and names files there as the user does.
    Outcome runInFolder(const std::string& arguments) const {
        const fs::path previous = fs::current_path();
        fs::current_path(folder_);
        Outcome outcome = run(arguments);
        fs::current_path(previous);
        return outcome;
    }

#if !defined(_WIN32)
    // Runs Nimbrel.exe from the folder under the shell's limit ("ulimit -f 2").
    Outcome runLimited(const std::string& limit, const std::string& arguments) const {
        return kelvane::testing::runExe(
            "/bin/sh",
            "-c 'cd " + inQuotes(folder_) + " && " + limit + " && exec \"" NIMBREL_EXE "\" " + arguments + "'",
            folder_);
    }
#endif

    kelvane::testing::TemporaryFolder temporary_{"standin"};
    const fs::path& folder_ = temporary_.path();
};

TEST_F(NimbrelExe, RunsTheMainJobPrintingDescriptorsLogAndTable) {
    Outcome r = run("--plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(kExamples + "default.json"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const char* expected :
         {"  getPluginName         Kelvane\n",
          "  getPluginDescription  Can change certain properties for all VMP files currently loaded.\n",
          "  getAuthor             <i>TK</i>\n", "  getHelpFile           HelpFolder/index.html\n",
          "  getPluginVersion      1.0\n", "  getGUIScript          Kelvane.js\n",
          "  log │ Kelvane>  Running Kelvane Plugin...\n", "  initPlugin    true\n",
          "Maps of the current VMR (a change shows as before → after)\n"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n--- in ---\n" << r.out;
}

TEST_F(NimbrelExe, FindsThePluginBesideItsOwnFolderByDefault) {
    Outcome r = run(inQuotes(kExamples + "default.json"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Kelvane>  Running Kelvane Plugin..."), std::string::npos);
}

// The hostile example: the header names what the host does wrong, and the run
// shows the plug-in holding.
TEST_F(NimbrelExe, HostileExampleSaysWhatTheHostDoesWrongAndTheRunHolds) {
    Outcome r = run("--plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(kExamples + "hostile-host.json"));
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* expected :
         {"  hostile     no record for map 3\n",
          "              text parameters fill all 512 bytes with no terminator\n",
          "  log │ Kelvane>  Map 1: cannot turn P nan into a t value with 18 degrees of freedom, threshold kept\n",
          "  log │ Kelvane>  Map 3 could not be read, left unchanged\n", "  log │ Kelvane>  Finished!\n",
          "  execute       true\n"})
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n--- in ---\n" << r.out;
    EXPECT_EQ(run("--plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(kExamples + "default.json")).out.find("hostile"),
              std::string::npos);
}

// The names in the folder, in order.
std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(NimbrelExe, ReportAndSavedWorkspaceAreMachineReadable) {
    fs::path saved = file("saved.json", "the file it replaces");
    Outcome r = run("--quiet --report-json - --save-workspace " + inQuotes(saved) + " --param MinP=0.05 --plugin \"" +
                    KELVANE_MODULE_PATH + "\" " + inQuotes(kExamples + "default.json"));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto report = nlohmann::ordered_json::parse(r.out);
    EXPECT_EQ(report["descriptors"]["getPluginName"], "Kelvane");
    EXPECT_EQ(report["initPlugin"], true);
    EXPECT_EQ(report["log"][1], "Kelvane>  Running Kelvane Plugin...");
    EXPECT_EQ(report["events"][1]["kind"], "log");
    EXPECT_EQ(report["mapsBefore"].size(), 4u);
    EXPECT_EQ(report["mapsAfter"].size(), 4u);

    // The saved workspace holds the run's maps and the overridden parameter.
    nimbrel::Workspace after = nimbrel::readWorkspaceFile(saved.string());
    nimbrel::Workspace before = nimbrel::readWorkspaceFile(kExamples + "default.json");
    EXPECT_EQ(after.parameters["MinP"].real, 0.05f);
    ASSERT_EQ(after.maps.size(), before.maps.size());
    for (std::size_t i = 0; i < after.maps.size(); ++i)
        EXPECT_EQ(nimbrel::mapToJson(after.maps[i]).dump(), report["mapsAfter"][i].dump()) << i;
    // The file was replaced through a new one beside it, which is gone.
    EXPECT_EQ(namesIn(folder_), (std::vector<std::string>{"saved.json", "stderr.txt", "stdout.txt"}));
}

// A device cannot be replaced: it is written as it stands.
TEST_F(NimbrelExe, ANullDeviceTakesAnOutput) {
#if defined(_WIN32)
    const char* const device = "NUL";
#else
    const char* const device = "/dev/null";
#endif
    Outcome r = run(std::string("--quiet --report-json ") + device + " " + inQuotes(kExamples + "default.json"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(namesIn(folder_), (std::vector<std::string>{"stderr.txt", "stdout.txt"}));
}

#if !defined(_WIN32)
// Where the locale does not take UTF-8 the report draws in plain ASCII.
TEST_F(NimbrelExe, PlainAsciiWhereTheLocaleIsNotUtf8) {
    setLocale("C");
    Outcome r = run(inQuotes(kExamples + "default.json"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  log | Kelvane>  Running Kelvane Plugin...\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  1  Faces > Houses (run 1)               1   18   2.1 -> 3.9216156"), std::string::npos)
        << r.out;
    EXPECT_EQ(std::count_if(r.out.begin(), r.out.end(), [](char c) { return (c & 0x80) != 0; }), 0);
}
#endif

// COLUMNS narrows the maps table to fit.
TEST_F(NimbrelExe, TheMapsTableFitsColumns) {
    setColumns("80");
    Outcome r = run(inQuotes(kExamples + "default.json"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n  ! left out to fit, unchanged: clusterSize, useClusterSize, showPosNeg,\n"),
              std::string::npos)
        << r.out;
}

// "-" is standard input for the workspace and standard output for the outputs.
TEST_F(NimbrelExe, DashIsStandardInputAndOutput) {
    Outcome r = run("--save-workspace - - < " + inQuotes(kExamples + "default.json"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nimbrel::parseWorkspace(r.out, "saved").maps.size(), 4u);
    EXPECT_NE(r.err.find("  workspace   standard input\n"), std::string::npos) << r.err;
}

TEST_F(NimbrelExe, InitPluginFalseHasAStatusOfItsOwn) {
    Outcome r = run("--quiet --report-json - --plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(file("ws.json", "{}")));
    EXPECT_EQ(r.status, nimbrel::kExitInitPluginFalse) << r.err;
    EXPECT_EQ(nlohmann::ordered_json::parse(r.out)["messages"][0], "No current document available.");
    // Quiet still shows the message box and why the run failed.
    EXPECT_EQ(r.err,
              "  ┌─ MESSAGE BOX ────────\n  │ No current document available.\n  └──────────────────────\n"
              "Nimbrel.exe: error: initPlugin returned false, so execute was not called\n");
}

#if !defined(_WIN32)
// Output that cannot be written whole gives status 4 and the system's reason.
TEST_F(NimbrelExe, OutputThatCannotBeWrittenGivesStatusFour) {
    const std::string workspace = inQuotes(kExamples + "default.json");
    Outcome report = run("--quiet --report-json /dev/full " + workspace);
    EXPECT_EQ(report.status, nimbrel::kExitCannotWrite);
    EXPECT_EQ(report.err, "Nimbrel.exe: error: /dev/full: cannot write the report: No space left on device\n");
    Outcome out = run("--report-json - " + workspace, "/dev/full");
    EXPECT_EQ(out.status, nimbrel::kExitCannotWrite);
    EXPECT_NE(out.err.find("Nimbrel.exe: error: standard output: cannot write: No space left on device\n"),
              std::string::npos)
        << out.err;
}

// A write that fails leaves the old file as it was and nothing beside it; a
// file-size limit is such a failure, not a crash.
TEST_F(NimbrelExe, AFailedWriteKeepsTheOldFile) {
    for (const char* option : {"--report-json", "--save-workspace"}) {
        const fs::path output = file("out.json", "the old file");
        Outcome r = runLimited("ulimit -f 2",
                               "--quiet " + std::string(option) + " out.json " + inQuotes(kExamples + "default.json"));
        EXPECT_EQ(r.status, nimbrel::kExitCannotWrite) << option;
        EXPECT_EQ(r.err, std::string("Nimbrel.exe: error: out.json: cannot write ") +
                             (option[2] == 'r' ? "the report" : "the workspace") + ": File too large\n");
        EXPECT_EQ(kelvane::testing::readFile(output), "the old file");
        EXPECT_EQ(namesIn(folder_), (std::vector<std::string>{"out.json", "stderr.txt", "stdout.txt"}));
    }
}

// A reader that stops reading ends the output quietly.
TEST_F(NimbrelExe, AClosedPipeIsNoError) {
    std::string maps;
    for (int i = 0; i < 5000; ++i) maps += std::string(i == 0 ? "" : ",") + R"({"mapType": 1, "degreesOfFreedom": 20})";
    file("ws.json", R"({"documents": [{"type": 3, "name": "a.vmr"}], "maps": [)" + maps + "]}");
    Outcome r = runLimited("true", "ws.json | head -1");
    EXPECT_EQ(r.out, "Nimbrel.exe stand-in host\n");
    EXPECT_EQ(r.err, "");
}

// Memory that runs out ends the run with one line and a status of its own.
TEST_F(NimbrelExe, OutOfMemorySaysWhatItWasDoing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's shadow memory does not fit under ulimit -v";
#endif
    // 20,000 maps of 64 KiB of name storage each: 1.3 GB.
    std::string maps;
    for (int i = 0; i < 20000; ++i) maps += i == 0 ? "{}" : ",{}";
    file("ws.json", R"({"mapNameCapacity": 65536, "maps": [)" + maps + "]}");
    Outcome r = runLimited("ulimit -v 400000", "--quiet ws.json");
    EXPECT_EQ(r.status, nimbrel::kExitOutOfMemory);
    EXPECT_EQ(r.err, "Nimbrel.exe: error: out of memory reading the workspace ws.json (20,000 maps)\n");
}
#endif

// ---------------------------------------------------------------------------
// Outputs: never written over what the run reads or a file the user may not
// write; a link leads to the file it names; nothing left beside.

// What a folder holds, by name: a file's bytes, a link's target, "(folder)".
std::map<std::string, std::string> contentsOf(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder))
        contents[entry.path().filename().string()] = entry.is_symlink()
                                                         ? "-> " + fs::read_symlink(entry.path()).string()
                                                     : entry.is_directory() ? "(folder)"
                                                                            : kelvane::testing::readFile(entry.path());
    return contents;
}

struct OutputCase {
    const char* name;
    // Makes what the case needs beside ws.json; false when the system cannot.
    bool (*setup)(const fs::path& folder);
    const char* arguments;  // after "--quiet ws.json", run from the folder
    int status;
    const char* error;    // the whole of standard error
    const char* written;  // the file the run writes, or null for none
    const char* holds;    // what that file then holds
};

void PrintTo(const OutputCase& c, std::ostream* out) {
    *out << c.name;
}

bool nothingMore(const fs::path&) {
    return true;
}

bool oldReport(const fs::path& folder) {
    std::ofstream(folder / "rep.json") << "old";
    return true;
}

bool readOnlyReport(const fs::path& folder) {
    oldReport(folder);
    fs::permissions(folder / "rep.json", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    return true;
}

bool aFolder(const fs::path& folder) {
    return fs::create_directory(folder / "sub");
}

// A link that names the workspace, or a file not there yet.
bool linkToTheWorkspace(const fs::path& folder) {
    std::error_code error;
    fs::create_symlink("ws.json", folder / "link.json", error);
    return !error;
}

bool danglingLink(const fs::path& folder) {
    std::error_code error;
    fs::create_symlink("new.json", folder / "link.json", error);
    return !error;
}

bool hardLinkToTheWorkspace(const fs::path& folder) {
    std::error_code error;
    fs::create_hard_link(folder / "ws.json", folder / "hard.json", error);
    return !error;
}

bool ownDialogScript(const fs::path& folder) {
    fs::copy_file(fs::path(KELVANE_MODULE_PATH).parent_path() / "Kelvane.js", folder / "own.js");
    return true;
}

#if !defined(_WIN32)
const std::string kLongName = std::string(250, 'r') + ".json";
const std::string kLongNameReport = "--report-json " + kLongName;

bool oldReportOfALongName(const fs::path& folder) {
    std::ofstream(folder / kLongName) << "old";
    return true;
}
#endif

class NimbrelExeOutput : public NimbrelExe, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(NimbrelExeOutput, NeverOverAnInputNorAReadOnlyFileAndNothingLeftBeside) {
    const OutputCase& c = GetParam();
    fs::copy_file(kExamples + "default.json", folder_ / "ws.json");
    if (!c.setup(folder_)) GTEST_SKIP() << "the system cannot make what the case needs";
    std::map<std::string, std::string> expected = contentsOf(folder_);
    Outcome r = runInFolder(std::string("--quiet ws.json ") + c.arguments);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.error);
    std::map<std::string, std::string> found = contentsOf(folder_);
    std::error_code ignored;  // a read-only file goes with its folder on every system
    fs::permissions(folder_ / "rep.json", fs::perms::owner_write, fs::perm_options::add, ignored);
    if (c.written != nullptr) {
        EXPECT_NE(found[c.written].find(c.holds), std::string::npos) << found[c.written];
        expected[c.written] = found[c.written];
    }
    expected["stdout.txt"] = found["stdout.txt"];
    expected["stderr.txt"] = found["stderr.txt"];
    EXPECT_EQ(found, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, NimbrelExeOutput,
    ::testing::Values(
        OutputCase{"ReportOverTheWorkspace", nothingMore, "--report-json ws.json", 2,
                   "Nimbrel.exe: error: --report-json ws.json names the workspace the run reads: give the report a "
                   "file of its own (see --help)\n",
                   nullptr, nullptr},
        OutputCase{"ReportOverTheWorkspaceThroughALink", linkToTheWorkspace, "--report-json link.json", 2,
                   "Nimbrel.exe: error: --report-json link.json names the workspace the run reads: give the report "
                   "a file of its own (see --help)\n",
                   nullptr, nullptr},
        OutputCase{"ReportOverTheWorkspaceThroughAHardLink", hardLinkToTheWorkspace, "--report-json hard.json", 2,
                   "Nimbrel.exe: error: --report-json hard.json names the workspace the run reads: give the report "
                   "a file of its own (see --help)\n",
                   nullptr, nullptr},
        OutputCase{"ReportOverTheDialogScript", ownDialogScript, "--dialog own.js --report-json own.js", 2,
                   "Nimbrel.exe: error: --report-json own.js names the dialog script the run reads: give the report "
                   "a file of its own (see --help)\n",
                   nullptr, nullptr},
        OutputCase{"WorkspaceSavedInPlace", nothingMore, "--save-workspace ws.json --param MinP=0.05", 0, "", "ws.json",
                   "\"MinP\": 0.05"},
        OutputCase{"ReportReplacesTheOldOne", oldReport, "--report-json rep.json", 0, "", "rep.json",
                   "\"formatVersion\": 1"},
        OutputCase{"ReadOnlyReport", readOnlyReport, "--report-json rep.json", 4,
                   "Nimbrel.exe: error: rep.json: cannot write the report: the file is read-only\n", nullptr, nullptr},
        OutputCase{"ReportOnAFolder", aFolder, "--report-json sub", 4,
                   "Nimbrel.exe: error: sub: cannot write the report: it is a folder\n", nullptr, nullptr},
        OutputCase{"ReportInAFolderThatIsNotThere", nothingMore, "--report-json none/rep.json", 4,
                   "Nimbrel.exe: error: none/rep.json: cannot write the report: the folder none does not exist\n",
                   nullptr, nullptr},
        OutputCase{"DanglingLinkLeadsToItsFile", danglingLink, "--report-json link.json", 0, "", "new.json",
                   "\"formatVersion\": 1"},
        OutputCase{"DanglingLinkAndTheFileItNames", danglingLink, "--report-json link.json --save-workspace new.json",
                   2,
                   "Nimbrel.exe: error: --save-workspace and --report-json both name link.json: give each a file of "
                   "its own (see --help)\n",
                   nullptr, nullptr}
#if !defined(_WIN32)
        ,
        // Too long for its temporary's usual name beside it: a shorter one.
        OutputCase{"NameTooLongForTheTemporarysName", oldReportOfALongName, kLongNameReport.c_str(), 0, "",
                   kLongName.c_str(), "\"formatVersion\": 1"}
#endif
        ),
    [](const ::testing::TestParamInfo<OutputCase>& info) { return info.param.name; });

#if !defined(_WIN32)
// A folder the user may not write is named as the problem (the superuser,
// whom the system lets write anywhere, runs the case as nobody).
TEST_F(NimbrelExe, AFolderThatMayNotBeWrittenIsNamed) {
    fs::copy_file(kExamples + "default.json", folder_ / "ws.json");
    fs::create_directory(folder_ / "kept");
    std::ofstream(folder_ / "kept" / "rep.json") << "old";
    fs::permissions(folder_ / "kept" / "rep.json", fs::perms::all, fs::perm_options::add);
    fs::permissions(folder_ / "kept", fs::perms::owner_write, fs::perm_options::remove);
    const std::string arguments = "--quiet ws.json --report-json kept/rep.json";
    Outcome r;
    if (geteuid() == 0) {
        const fs::path previous = fs::current_path();
        fs::current_path(folder_);
        r = kelvane::testing::runExe(
            "/usr/bin/setpriv", "--reuid=65534 --regid=65534 --clear-groups \"" NIMBREL_EXE "\" " + arguments, folder_);
        fs::current_path(previous);
    } else {
        r = runInFolder(arguments);
    }
    fs::permissions(folder_ / "kept", fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err,
              "Nimbrel.exe: error: kept/rep.json: cannot write the report: the folder kept is not writable "
              "(Permission denied)\n");
    EXPECT_EQ(contentsOf(folder_ / "kept"), (std::map<std::string, std::string>{{"rep.json", "old"}}));
}
#endif

// ---------------------------------------------------------------------------
// The dialog script: its defaults fill what the workspace and --param leave.

// One current VMR with one t-map of 20 degrees of freedom, and no parameters.
const char* const kBareWorkspace = R"({
  "documents": [{"type": 3, "name": "a.vmr"}],
  "currentDocument": 0,
  "maps": [{"name": "t", "mapType": 1, "thresholdMin": 2.0, "thresholdMax": 8.0, "degreesOfFreedom": 20,
            "showPosNeg": 3, "transparency": 1.0, "overlay": 1}]
})";

const char* const kSeventeen[] = {
    "DoSetMin",       "Min",         "DoSetMinP",        "MinP",       "DoSetMax",         "Max",
    "DoClusterSize",  "ClusterSize", "DoUseClusterSize", "UseCluster", "DoShowPosNegBoth", "PNB",
    "DoTransparancy", "Trans",       "DoOverlayMaps",    "Overlay",    "UseExactT"};

std::string moduleFolder() {
    return fs::path(KELVANE_MODULE_PATH).parent_path().string();
}

TEST_F(NimbrelExe, DialogDefaultsBesideThePluginFillAnEmptyDialog) {
    const fs::path ws = file("ws.json", kBareWorkspace);
    Outcome r = run("--quiet --report-json - --plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(ws));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto report = nlohmann::ordered_json::parse(r.out);
    // The script beside the module (as the host spells the folder: under Wine, with a drive letter).
    const fs::path script = report["dialog"]["script"].get<std::string>();
    EXPECT_EQ(script.filename(), "Kelvane.js");
    EXPECT_EQ(script.parent_path().filename(), fs::path(moduleFolder()).filename());
    std::vector<std::string> used = report["dialog"]["defaultsUsed"];
    EXPECT_EQ(used, std::vector<std::string>(std::begin(kSeventeen), std::end(kSeventeen)));
    // The dialog as it opens: the lower threshold from p = 0.001 for the t-map.
    const auto& log = report["log"];
    EXPECT_NE(std::find(log.begin(), log.end(), "Kelvane>  Set Min P to 0.0010"), log.end()) << log.dump(1);
    EXPECT_EQ(report["execute"], true);
    EXPECT_GT(report["mapsAfter"][0]["thresholdMin"].get<double>(), 3.8);
    EXPECT_LT(report["mapsAfter"][0]["thresholdMin"].get<double>(), 3.9);
}

TEST_F(NimbrelExe, DialogBlockNamesTheScriptAndTheDefaultsUsed) {
    const fs::path ws = file("ws.json", kBareWorkspace);
    Outcome r = run("--param DoSetMax=1 --param PNB=7 --plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(ws));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto block = r.out.find("\nDialog script\n  script      ");
    ASSERT_NE(block, std::string::npos) << r.out;
    // The script's path, then what took a default (DoSetMax did not: --param set it).
    EXPECT_NE(
        r.out.find("Kelvane.js, 17 parameters\n  defaults    DoSetMin=1  Min=3.0  DoSetMinP=1  MinP=0.001  Max=8.0",
                   block),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Kelvane>  Set Max to 8.00"), std::string::npos) << r.out;
    // A value outside an int's choices is the plug-in's to handle: a warning, and the run goes on.
    EXPECT_NE(r.out.find("\n  warning     PNB=7 is none of its choices, 0 to 2; the run goes on with it\n", block),
              std::string::npos)
        << r.out;
}

TEST_F(NimbrelExe, ParamTakesTheTypeTheScriptDeclares) {
    const fs::path ws = file("ws.json", kBareWorkspace), saved = folder_ / "saved.json";
    Outcome r = run("--quiet --param Max=9 --param ClusterSize=7 --save-workspace " + inQuotes(saved) +
                    " --report-json - --plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(ws));
    ASSERT_EQ(r.status, 0) << r.err;
    nimbrel::Workspace after = nimbrel::readWorkspaceFile(saved.string());
    EXPECT_EQ(after.parameters["Max"].kind, nimbrel::Parameter::Kind::Float);
    EXPECT_EQ(after.parameters["ClusterSize"].kind, nimbrel::Parameter::Kind::Integer);
    EXPECT_EQ(after.parameters.size(), 17u);
    // What --param set took no default.
    std::vector<std::string> used = nlohmann::ordered_json::parse(r.out)["dialog"]["defaultsUsed"];
    EXPECT_EQ(used.size(), 15u);
    EXPECT_EQ(std::count(used.begin(), used.end(), "Max"), 0);

    Outcome wrong = run("--param DoSetMin=yes --plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(ws));
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.err,
              "Nimbrel.exe: error: --param DoSetMin=yes: DoSetMin is an integer parameter; expected an "
              "integer from -2147483648 to 2147483647\n");
}

TEST_F(NimbrelExe, DialogOptionAndNoDialogChooseTheDefaults) {
    const fs::path ws = file("ws.json", kBareWorkspace);
    const fs::path own = file("own.js", R"(var D = {"parameters": [
        {"name": "DoSetMax", "type": "switch", "label": "Max?", "default": 1},
        {"name": "Max", "type": "float", "label": "Max", "default": 6.5}]};)");
    Outcome r = run("--quiet --report-json - --dialog " + inQuotes(own) + " --plugin \"" KELVANE_MODULE_PATH "\" " +
                    inQuotes(ws));
    ASSERT_EQ(r.status, 0) << r.err;
    auto report = nlohmann::ordered_json::parse(r.out);
    EXPECT_EQ(report["dialog"]["script"], own.string());
    EXPECT_EQ(report["dialog"]["defaultsUsed"], nlohmann::ordered_json::array({"DoSetMax", "Max"}));
    EXPECT_EQ(report["mapsAfter"][0]["thresholdMax"], 6.5);
    EXPECT_EQ(report["mapsAfter"][0]["thresholdMin"], 2.0);

    Outcome none = run("--no-dialog --report-json - --plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(ws));
    ASSERT_EQ(none.status, nimbrel::kExitExecuteFalse) << none.err;
    report = nlohmann::ordered_json::parse(none.out);
    EXPECT_TRUE(report["dialog"]["script"].is_null());
    EXPECT_EQ(report["execute"], false);
    const auto& log = report["log"];
    EXPECT_NE(std::find(log.begin(), log.end(), "Kelvane>  No options selected"), log.end()) << log.dump(1);
    EXPECT_NE(none.err.find("\nDialog script\n  none read (--no-dialog)\n"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find("\n              taken as given: no dialog script declares their names and types\n"),
              std::string::npos)
        << none.err;
}

// Every warning goes to every output: the human report, standard error with
// --quiet, the JSON report's warnings.
struct Warned {
    const char* name;
    const char* arguments;  // before the bare workspace
    const char* human;      // the report's lines that give the warnings
    const char* quiet;      // standard error with --quiet
    const char* json;       // the JSON report's warnings
};

void PrintTo(const Warned& w, std::ostream* out) {
    *out << w.name;
}

class NimbrelExeWarning : public NimbrelExe, public ::testing::WithParamInterface<Warned> {};

TEST_P(NimbrelExeWarning, GoesToEveryOutput) {
    const Warned& w = GetParam();
    const std::string arguments =
        std::string(w.arguments) + " --plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(file("ws.json", kBareWorkspace));
    Outcome human = run(arguments);
    EXPECT_NE(human.out.find(w.human), std::string::npos) << human.out;
    Outcome quiet = run("--quiet --report-json - " + arguments);
    EXPECT_EQ(quiet.err, w.quiet);
    EXPECT_EQ(nlohmann::ordered_json::parse(quiet.out)["warnings"].dump(), w.json);
}

INSTANTIATE_TEST_SUITE_P(
    Warnings, NimbrelExeWarning,
    ::testing::Values(
        Warned{"ValueOutsideItsChoices", "--param PNB=7",
               "\n  warning     PNB=7 is none of its choices, 0 to 2; the run goes on with it\n",
               "Nimbrel.exe: warning: PNB=7 is none of its choices, 0 to 2; the run goes on with it\n",
               R"([{"kind":"outsideChoices","parameters":["PNB"],"text":"PNB=7 is none of its choices, 0 to 2; )"
               R"(the run goes on with it"}])"},
        // Without a script a misspelt name is taken as given, and never read.
        Warned{"MisspeltWithoutADialogScript", "--no-dialog --param minp=0.05 --param DoSetMin=1",
               "\n  redraws       1\n  warning       minp was given (--param minp=0.05) but the plug-in never read it\n"
               "  warning       the plug-in read 16 parameters that nobody gave (the workspace, --param or the "
               "dialog script's defaults), so the host answered 0 or an empty text: ClusterSize, DoClusterSize, "
               "DoOverlayMaps, DoSetMax, DoSetMinP, DoShowPosNegBoth, DoTransparancy, DoUseClusterSize, Max, Min, "
               "MinP, Overlay, PNB, Trans, UseCluster, UseExactT\n",
               "Nimbrel.exe: warning: minp was given (--param minp=0.05) but the plug-in never read it\n"
               "Nimbrel.exe: warning: the plug-in read 16 parameters that nobody gave (the workspace, --param or the "
               "dialog script's defaults), so the host answered 0 or an empty text: ClusterSize, DoClusterSize, "
               "DoOverlayMaps, DoSetMax, DoSetMinP, DoShowPosNegBoth, DoTransparancy, DoUseClusterSize, Max, Min, "
               "MinP, Overlay, PNB, Trans, UseCluster, UseExactT\n",
               R"([{"kind":"givenNotRead","parameters":["minp"],"text":"minp was given (--param minp=0.05) but )"
               R"(the plug-in never read it"},{"kind":"readNotGiven","parameters":["ClusterSize","DoClusterSize",)"
               R"("DoOverlayMaps","DoSetMax","DoSetMinP","DoShowPosNegBoth","DoTransparancy","DoUseClusterSize",)"
               R"("Max","Min","MinP","Overlay","PNB","Trans","UseCluster","UseExactT"],"text":"the plug-in read )"
               R"(16 parameters that nobody gave (the workspace, --param or the dialog script's defaults), so the )"
               R"(host answered 0 or an empty text: ClusterSize, DoClusterSize, DoOverlayMaps, DoSetMax, DoSetMinP, )"
               R"(DoShowPosNegBoth, DoTransparancy, DoUseClusterSize, Max, Min, MinP, Overlay, PNB, Trans, )"
               R"(UseCluster, UseExactT"}])"}),
    [](const ::testing::TestParamInfo<Warned>& info) { return info.param.name; });

// Every line of the human report fits the terminal's width, the header's
// included; a wide terminal shows long names whole.
TEST_F(NimbrelExe, TheReportFitsTheTerminalsWidth) {
    const std::string name = "sub-01 Faces > Houses GLM contrast, smoothed 6 mm, run ";
    const fs::path ws = file("ws.json", R"({
  "description": "A workspace whose description runs on well past the eighty columns of a small terminal window",
  "documents": [{"type": 3, "name": "sub-01_ses-02_acq-mprage_run-1_T1w_ACPC_TAL_IIHC.vmr"}],
  "maps": [{"name": ")" + name + R"(1", "mapType": 1, "degreesOfFreedom": 20},
           {"name": ")" + name + R"(2", "mapType": 1, "degreesOfFreedom": 20}]})");
    for (const std::size_t width : {80, 300}) {
        setColumns(std::to_string(width));
        Outcome r = run("--plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(ws));
        EXPECT_EQ(r.status, 0) << r.err;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) EXPECT_LE(nimbrel::columns(line), width) << line;
        const bool whole = r.out.find(name + "1") != std::string::npos && r.out.find(name + "2") != std::string::npos;
        EXPECT_EQ(whole, width == 300) << r.out;
    }
}

// A plug-in module alone in a folder of its own, with what else is named.
fs::path lonePlugin(const fs::path& folder, const char* dialogText) {
    fs::create_directories(folder);
    const fs::path module = folder / fs::path(KELVANE_MODULE_PATH).filename();
    fs::copy_file(KELVANE_MODULE_PATH, module);
    if (dialogText != nullptr) std::ofstream(folder / "Kelvane.js", std::ios::binary) << dialogText;
    return module;
}

TEST_F(NimbrelExe, NoScriptBesideThePluginIsNoErrorAndTraceSaysSo) {
    const fs::path module = lonePlugin(folder_ / "lone", nullptr);
    const fs::path ws = file("ws.json", kBareWorkspace);
    Outcome r = run("--trace --plugin " + inQuotes(module) + " " + inQuotes(ws));
    ASSERT_EQ(r.status, nimbrel::kExitExecuteFalse) << r.err;
    const std::string expected =
        "  trace \xE2\x94\x82 dialog script: " + (module.parent_path() / "Kelvane.js").lexically_normal().string() +
        " does not exist; parameters the workspace does not set have no defaults\n";
    EXPECT_NE(r.err.find(expected), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Kelvane>  No options selected"), std::string::npos);

    Outcome quiet = run("--plugin " + inQuotes(module) + " " + inQuotes(ws));
    EXPECT_EQ(quiet.status, nimbrel::kExitExecuteFalse);
    EXPECT_EQ(quiet.err, "");
}

TEST_F(NimbrelExe, ABadScriptIsRefusedWhereverItComesFrom) {
    const fs::path ws = file("ws.json", kBareWorkspace);
    const fs::path module = lonePlugin(folder_ / "bad", R"(var D = {"parameters": [
        {"name": "DoSetMin", "type": "switch", "label": "Set", "default": 2}]};)");
    const std::string beside = (module.parent_path() / "Kelvane.js").lexically_normal().string();
    Outcome r = run("--plugin " + inQuotes(module) + " " + inQuotes(ws));
    EXPECT_EQ(r.status, 6);
    EXPECT_EQ(r.err, "Nimbrel.exe: error: " + beside +
                         ": parameter \"DoSetMin\" (parameters[0]), default: expected 0 or 1 for a switch, got a "
                         "whole number (2)\n");
    EXPECT_EQ(r.out, "");

    Outcome missing = run("--dialog /nonexistent/d.js --plugin \"" KELVANE_MODULE_PATH "\" " + inQuotes(ws));
    EXPECT_EQ(missing.status, 6);
    EXPECT_EQ(missing.err, "Nimbrel.exe: error: /nonexistent/d.js: cannot open the file: No such file or directory\n");
}

struct Failure {
    const char* name;
    const char* workspace;  // text of the file, or null for none
    const char* arguments;  // after the workspace; % stands for the workspace file
    int status;
    const char* error;  // stderr after "Nimbrel.exe: error: "; % stands for the file
};

// A text one byte longer than the host's getter hands over (512 bytes, its terminator among them).
const std::string kTooLongOverlay = "--param Overlay=" + std::string(512, 'x');
const std::string kTooLongOverlayInTheWorkspace =
    "{\n  \"parameters\": {\n    \"Overlay\": \"" + std::string(512, 'x') + "\"\n  }\n}";

void PrintTo(const Failure& failure, std::ostream* out) {
    *out << failure.name;
}

class NimbrelExeFailure : public NimbrelExe, public ::testing::WithParamInterface<Failure> {};

TEST_P(NimbrelExeFailure, SaysWhyInOneLine) {
    const Failure& f = GetParam();
    std::string arguments = f.arguments;
    std::string path;
    if (f.workspace != nullptr) {
        path = file("ws.json", f.workspace).string();
        if (auto at = arguments.find('%'); at != std::string::npos) arguments.replace(at, 1, inQuotes(path));
        arguments = inQuotes(path) + " " + arguments;
    }
    Outcome r = run(arguments);
    std::string error = std::string("Nimbrel.exe: error: ") + f.error + "\n";
    if (auto at = error.find('%'); at != std::string::npos) error.replace(at, 1, path);
    EXPECT_EQ(r.status, f.status);
    EXPECT_EQ(r.err, error);
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, NimbrelExeFailure,
    ::testing::Values(
        Failure{"BadField", R"({"maps": [{"mapType": "one"}]})", "", 1,
                R"(%: maps[0].mapType: expected an integer, got a string ("one"))"},
        Failure{"Malformed", "{\"maps\": [", "", 1,
                "%: invalid JSON at line 1, column 11: syntax error while parsing value - unexpected end of input; "
                "expected '[', '{', or a literal"},
        Failure{"NotUtf8", "{\"description\": \"caf\xE9\"}", "", 1,
                "%: not UTF-8 at byte 21 (line 1, column 21); save it as UTF-8 text"},
        Failure{"NumberOverflow", R"({"maps": [{"thresholdMin": 1e400}]})", "", 1,
                "%: maps[0].thresholdMin (line 1): the number 1e400 is too large to hold (beyond about 1.8e308)"},
        Failure{"MissingFile", nullptr, "/nonexistent/ws.json", 1,
                "/nonexistent/ws.json: cannot open the file: No such file or directory"},
        Failure{"ParamWithoutEquals", "{}", "--param MinP", 2,
                "--param MinP: expected NAME=VALUE, with '=' between name and value"},
        Failure{"ParamOfTheWrongKind", R"({"parameters": {"DoSetMin": 1}})", "--param DoSetMin=yes", 2,
                "--param DoSetMin=yes: DoSetMin is an integer parameter; expected an integer from -2147483648 to "
                "2147483647"},
        Failure{"UndeclaredParam", "{}", "--param minp=0.01", 2,
                "--param minp=0.01: the dialog script declares no such parameter; did you mean MinP?"},
        Failure{
            "WorkspaceParamOfTheWrongType", R"({"parameters": {"MinP": "banana"}})", "", 1,
            R"(%: parameters.MinP: expected a number (or "NaN", "Infinity", "-Infinity"), got a string ("banana"))"},
        Failure{"ParamTextLongerThanTheHostHandsOver", "{}", kTooLongOverlay.c_str(), 2,
                "--param Overlay=xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...: the text has 512 bytes; a string parameter "
                "holds 511 at most"},
        Failure{"WorkspaceTextLongerThanTheHostHandsOver", kTooLongOverlayInTheWorkspace.c_str(), "", 1,
                "%: parameters.Overlay (line 3): the text has 512 bytes; a string parameter holds 511 at most"},
        Failure{"OneFileForTwoOutputs", "{}", "--report-json out.json --save-workspace ./out.json", 2,
                "--save-workspace and --report-json both name out.json: give each a file of its own (see --help)"},
        Failure{"MissingPlugin", "{}", "--plugin /nonexistent/Kelvane.so", 3,
                "plug-in not found: /nonexistent/Kelvane.so"},
        Failure{"NotAPlugin", R"({"description": "a workspace file, which is no plug-in module at all"})", "--plugin %",
                3, "% is a text file, not a module"}),
    [](const ::testing::TestParamInfo<Failure>& info) { return info.param.name; });

}  // namespace
