// Runs the real Nimbrel.exe, with the real plug-in module, as a user would.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <nlohmann/json.hpp>

#include "standin/workspace_json.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace {

namespace fs = std::filesystem;

const std::string kExamples = KELVANE_SOURCE_DIR "/examples/";

struct Outcome {
    int status = -1;
    std::string out, err;
};

// The text of an output file, with Windows line ends made plain.
std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::string result = text.str();
    for (std::size_t at; (at = result.find("\r\n")) != std::string::npos;) result.erase(at, 1);
    return result;
}

class NimbrelExe : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("kelvane-standin-" + std::to_string(std::random_device{}()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path file(const std::string& name, const std::string& text) const {
        fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    Outcome run(const std::string& arguments) const {
        const fs::path out = folder_ / "stdout.txt", err = folder_ / "stderr.txt";
        std::string command = "\"" NIMBREL_EXE "\" " + arguments + " > \"" + out.string() + "\" 2> \"" +
                              err.string() + "\"";
#if defined(_WIN32)
        command = "\"" + command + "\"";
#endif
        int raw = std::system(command.c_str());
        Outcome result;
#if defined(_WIN32)
        result.status = raw;
#else
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        result.out = readFile(out);
        result.err = readFile(err);
        return result;
    }

    fs::path folder_;
};

std::string inQuotes(const fs::path& path) { return "\"" + path.string() + "\""; }

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

TEST_F(NimbrelExe, ReportAndSavedWorkspaceAreMachineReadable) {
    fs::path saved = folder_ / "saved.json";
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
}

struct Failure {
    const char* name;
    const char* workspace;  // text of the file, or null for none
    const char* arguments;  // after the workspace
    int status;
    const char* error;      // stderr after "Nimbrel.exe: error: "; % stands for the file
};

void PrintTo(const Failure& failure, std::ostream* out) { *out << failure.name; }

class NimbrelExeFailure : public NimbrelExe, public ::testing::WithParamInterface<Failure> {};

TEST_P(NimbrelExeFailure, SaysWhyInOneLine) {
    const Failure& f = GetParam();
    std::string arguments = f.arguments;
    std::string path;
    if (f.workspace != nullptr) {
        path = file("ws.json", f.workspace).string();
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
        Failure{"MissingFile", nullptr, "/nonexistent/ws.json", 1,
                "/nonexistent/ws.json: cannot open the file: No such file or directory"},
        Failure{"ParamWithoutEquals", "{}", "--param MinP", 2,
                "--param MinP: expected NAME=VALUE, with '=' between name and value"},
        Failure{"ParamOfTheWrongKind", R"({"parameters": {"DoSetMin": 1}})", "--param DoSetMin=yes", 2,
                "--param DoSetMin=yes: DoSetMin is an integer parameter; expected an integer from -2147483648 to "
                "2147483647"},
        Failure{"MissingPlugin", "{}", "--plugin /nonexistent/Kelvane.so", 3,
                "plug-in not found: /nonexistent/Kelvane.so"}),
    [](const ::testing::TestParamInfo<Failure>& info) { return info.param.name; });

}  // namespace
