// The help page and the dialog script, opened in headless Chromium: the page
// renders, its internal links land, it names every option, every log line and
// every message box, it needs nothing from outside and reads at a narrow
// width; the dialog script runs in a real script engine and declares there
// what the stand-in host reads. The screenshots are kept under the build
// folder (artifacts/help-page.png, artifacts/help-page-narrow.png).
//
// Without Chromium the tests are skipped, unless CI or
// KELVANE_REQUIRE_CHROMIUM is set: then its absence is a failure.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include "standin/files/dialog_script.h"
#include "tests/support/read_file.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

const fs::path kModuleFolder = fs::path(KELVANE_MODULE_PATH).parent_path();
const fs::path kPage = kModuleFolder / "HelpFolder" / "index.html";
const fs::path kDialog = kModuleFolder / "Kelvane.js";
const fs::path kArtifacts = KELVANE_ARTIFACTS_DIR;

using kelvane::testing::readFile;

bool flagSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' && std::string(value) != "0" && std::string(value) != "false";
}

std::optional<fs::path> findChromium() {
    if (const char* chosen = std::getenv("KELVANE_CHROMIUM"); chosen != nullptr && *chosen != '\0')
        return fs::path(chosen);
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        for (const char* name : {"chromium", "chromium-browser"}) {
            std::error_code ignored;
            fs::path candidate = fs::path(folder) / name;
            if (fs::is_regular_file(candidate, ignored)) return candidate;
        }
    return std::nullopt;
}

std::string fileUrl(const fs::path& path) {
    std::string url = "file://";
    for (char c : fs::absolute(path).lexically_normal().string()) {
        if (c == ' ' || c == '%' || c == '#' || c == '?' || c == '"') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            url += escaped;
        } else {
            url += c;
        }
    }
    return url;
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The few entities a DOM dump writes, back to their characters.
std::string unescaped(std::string text) {
    const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"},  {"&gt;", ">"},   {"&quot;", "\""},
                                                            {"&#39;", "'"}, {"&nbsp;", " "}, {"&amp;", "&"}};
    for (const auto& [entity, character] : entities)
        for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
            text.replace(at, std::strlen(entity), character);
    return text;
}

// The text with each piece from open to the next close (or to the end) put
// out of it. Found without a regex: libstdc++'s recurses once a character and
// runs out of stack on a long style block under the address sanitizer.
std::string withoutPieces(std::string text, const std::string& open, const std::string& close,
                          const std::string& with) {
    for (std::size_t at = 0; (at = text.find(open, at)) != std::string::npos; at += with.size()) {
        const std::size_t closing = text.find(close, at + open.size());
        const std::size_t end = closing == std::string::npos ? text.size() : closing + close.size();
        text.replace(at, end - at, with);
    }
    return text;
}

// The text a reader sees: no tags, entities decoded, every run of blanks one blank.
std::string visibleText(const std::string& dom) {
    std::string text = withoutPieces(dom, "<style", "</style>", " ");
    text = withoutPieces(text, "<", ">", "");
    text = unescaped(text);
    text = std::regex_replace(text, std::regex("\\s+"), " ");
    return text;
}

// The text between <pre id="result"> and </pre> of a dumped page.
std::string resultOf(const std::string& dom) {
    const std::string open = "<pre id=\"result\">";
    const std::size_t start = dom.find(open);
    if (start == std::string::npos) return "";
    const std::size_t end = dom.find("</pre>", start + open.size());
    if (end == std::string::npos) return "";
    return unescaped(dom.substr(start + open.size(), end - start - open.size()));
}

struct Png {
    bool valid = false;
    uint32_t width = 0, height = 0;
    std::uintmax_t bytes = 0;
};

Png pngOf(const fs::path& path) {
    Png png;
    const std::string data = readFile(path);
    png.bytes = data.size();
    if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || data.compare(12, 4, "IHDR") != 0)
        return png;
    auto bigEndian = [&data](std::size_t at) {
        uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(data[at + i]);
        return value;
    };
    png.valid = true;
    png.width = bigEndian(16);
    png.height = bigEndian(20);
    return png;
}

class HelpPage : public ::testing::Test {
protected:
    void SetUp() override {
        chromium_ = findChromium();
        if (!chromium_) {
            if (flagSet("CI") || flagSet("KELVANE_REQUIRE_CHROMIUM"))
                FAIL() << "chromium is not installed, and this run requires it (scripts/install-deps.sh chromium)";
            GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh chromium)";
        }
        fs::create_directories(kArtifacts);
        ASSERT_TRUE(fs::exists(kPage)) << kPage;
    }
    // Runs Chromium on a page with a fresh profile; its standard output goes to
    // the file returned.
    fs::path chromium(const std::string& url, const std::vector<std::string>& options) {
        const std::string run = std::to_string(++runs_);
        const fs::path out = folder_ / ("out-" + run + ".txt"), err = folder_ / ("err-" + run + ".txt");
        std::string command = "timeout 120 " + shellQuoted(chromium_->string()) +
                              " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                              " --disable-background-networking --disable-component-update --disable-sync"
                              " --hide-scrollbars --user-data-dir=" +
                              shellQuoted((folder_ / ("profile-" + run)).string());
        for (const std::string& option : options) command += " " + shellQuoted(option);
        command += " " + shellQuoted(url) + " >" + shellQuoted(out.string()) + " 2>" + shellQuoted(err.string());
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "chromium failed on " << url << ":\n"
                                                                   << readFile(err);
        return out;
    }

    std::string dom(const std::string& url, std::vector<std::string> options = {}) {
        options.push_back("--dump-dom");
        return readFile(chromium(url, options));
    }

    Png screenshot(const std::string& url, const fs::path& file, int width, int height) {
        std::error_code ignored;
        fs::remove(file, ignored);
        chromium(url, {"--screenshot=" + file.string(),
                       "--window-size=" + std::to_string(width) + "," + std::to_string(height)});
        return pngOf(file);
    }

    fs::path writePage(const std::string& name, const std::string& html) const {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << html;
        return path;
    }

    std::optional<fs::path> chromium_;
    kelvane::testing::TemporaryFolder temporary_{"help"};
    const fs::path& folder_ = temporary_.path();
    int runs_ = 0;
};

TEST_F(HelpPage, RendersIntoANonTrivialScreenshotKeptUnderTheBuildFolder) {
    const Png help = screenshot(fileUrl(kPage), kArtifacts / "help-page.png", 1000, 3000);
    ASSERT_TRUE(help.valid) << "no PNG at " << (kArtifacts / "help-page.png");
    EXPECT_EQ(help.width, 1000u);
    EXPECT_EQ(help.height, 3000u);

    // An empty page of the same size compresses to a few kilobytes; text,
    // tables and rules take many times more.
    const Png blank = screenshot(fileUrl(writePage("blank.html", "<!DOCTYPE html><title>blank</title>")),
                                 folder_ / "blank.png", 1000, 3000);
    ASSERT_TRUE(blank.valid);
    EXPECT_GT(help.bytes, 10 * blank.bytes) << "help " << help.bytes << " bytes, blank " << blank.bytes;

    const Png narrow = screenshot(fileUrl(kPage), kArtifacts / "help-page-narrow.png", 375, 3000);
    ASSERT_TRUE(narrow.valid);
    EXPECT_EQ(narrow.width, 375u);
    EXPECT_GT(narrow.bytes, 10 * blank.bytes / 3);
}

TEST_F(HelpPage, EveryInternalLinkLandsAndNothingComesFromOutside) {
    const std::string page = dom(fileUrl(kPage));
    ASSERT_NE(page.find("</html>"), std::string::npos) << page.substr(0, 500);

    std::multiset<std::string> ids;
    const std::regex idPattern("\\sid=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), idPattern); it != std::sregex_iterator(); ++it)
        ids.insert((*it)[1].str());
    for (const std::string& id : ids) EXPECT_EQ(ids.count(id), 1u) << "id \"" << id << "\" is not unique";

    int links = 0;
    const std::regex hrefPattern("\\shref=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), hrefPattern); it != std::sregex_iterator(); ++it) {
        const std::string target = (*it)[1].str();
        ++links;
        ASSERT_FALSE(target.empty());
        EXPECT_EQ(target[0], '#') << "a link leaves the page: " << target;
        EXPECT_EQ(ids.count(target.substr(1)), 1u) << "no anchor for the link " << target;
    }
    EXPECT_GE(links, 8) << "the contents alone link every section";

    for (const char* outside :
         {"<script", "<link", "<img", "<iframe", "<object", "<embed", " src=", "url(", "@import", "://"})
        EXPECT_EQ(page.find(outside), std::string::npos) << "the page holds " << outside;
}

TEST_F(HelpPage, NamesEveryOptionOfTheDialog) {
    const std::string page = dom(fileUrl(kPage));
    const nimbrel::DialogScript dialog = nimbrel::readDialogScript(kDialog.string());
    ASSERT_EQ(dialog.parameters.size(), 17u);
    for (const nimbrel::DialogParameter& p : dialog.parameters)
        EXPECT_NE(page.find("<code>" + p.name + "</code>"), std::string::npos) << p.name << " is not on the page";
    const std::string text = visibleText(page);
    for (const std::string& choice : dialog.find("PNB")->choices)
        EXPECT_NE(text.find(choice), std::string::npos) << choice;
}

// Every line the plug-in can write to the log, and every message box, with
// what the run puts into it written as %: each fixed piece must stand on the
// page, in order and close together.
const char* const kMessages[] = {
    "Kelvane>  Running Kelvane Plugin...",
    "Kelvane>  -----",
    "Kelvane>  No options selected",
    "Kelvane>  Set Min to %",
    "Kelvane>  Set Min P to %",
    "Kelvane>  Use the exact t for Min P",
    "Kelvane>  Set Max to %",
    "Kelvane>  Set Cluster Size to %",
    "Kelvane>  DO use the cluster size threshold",
    "Kelvane>  DO NOT use the cluster size threshold",
    "Kelvane>  Show Positive",
    "Kelvane>  Show Negative",
    "Kelvane>  Show Both (pos and neg)",
    "Kelvane>  Transparancy Factor %",
    "Kelvane>  Overlay the following maps: %",
    "Kelvane>  No Map numbers detected",
    "Kelvane>  % - % is not a correctly specified range",
    "Kelvane>  Map % is not a T-map, setting of P threshold not supported",
    "Kelvane>  Map %: cannot turn P % into a t value with % degrees of freedom, threshold kept",
    "Kelvane>  Map % could not be read, left unchanged",
    "Kelvane>  Map %: t % gives p % for the P asked, %; the exact t is %",
    "Kelvane>  Map %: exact t % for P % with % degrees of freedom",
    "Kelvane>  Setting parameters for map %",
    "Kelvane>  Finished!",
    "Kelvane>  Failed: %",
    "Can not execute this plugin - Nimbrel version 2.2 or higher required.",
    "No current document available.",
    "The currently active document is not a VMR document.",
    "No VMPs are currently loaded.",
};

// The pieces of a message between its % places, blanks collapsed.
std::vector<std::string> piecesOf(const std::string& message) {
    std::vector<std::string> pieces;
    std::istringstream parts(message);
    for (std::string piece; std::getline(parts, piece, '%');) {
        piece = std::regex_replace(piece, std::regex("\\s+"), " ");
        piece = std::regex_replace(piece, std::regex("^ | $"), "");
        if (!piece.empty()) pieces.push_back(piece);
    }
    return pieces;
}

// Whether the pieces stand in the text in order, each at most gap characters
// after the one before.
bool containsInOrder(const std::string& text, const std::vector<std::string>& pieces, std::size_t gap) {
    for (std::size_t start = text.find(pieces[0]); start != std::string::npos;
         start = text.find(pieces[0], start + 1)) {
        std::size_t end = start + pieces[0].size();
        bool all = true;
        for (std::size_t i = 1; i < pieces.size() && all; ++i) {
            const std::size_t next = text.find(pieces[i], end);
            all = next != std::string::npos && next - end <= gap;
            if (all) end = next + pieces[i].size();
        }
        if (all) return true;
    }
    return false;
}

TEST_F(HelpPage, ExplainsEveryLogLineAndMessageBox) {
    const std::string text = visibleText(dom(fileUrl(kPage)));
    for (const char* message : kMessages)
        EXPECT_TRUE(containsInOrder(text, piecesOf(message), 12)) << "not on the page: " << message;
}

// At each width: no sideways scrolling, no path in a code block broken across
// lines, and from a 360-pixel phone up the plot's text at least 12 pixels high.
TEST_F(HelpPage, ReadsAtANarrowWidthWithoutSidewaysScrolling) {
    for (int width : {320, 360, 375, 1000}) {
        SCOPED_TRACE("width " + std::to_string(width));
        const fs::path measure = writePage("measure.html", R"(<!DOCTYPE html><html><body style="margin:0">
<iframe id="help" src=")" + fileUrl(kPage) + R"(" style="border:0;width:)" +
                                                               std::to_string(width) +
                                                               R"(px;height:900px"></iframe>
<pre id="result">not measured</pre>
<script>
window.addEventListener("load", function () {
  var page = document.getElementById("help").contentDocument;
  var root = page.documentElement;
  var smallest = 1e9;
  page.querySelectorAll("svg text").forEach(function (text) {
    smallest = Math.min(smallest, parseFloat(getComputedStyle(text).fontSize) * text.getScreenCTM().a);
  });
  var broken = [];
  page.querySelectorAll("code").forEach(function (code) {
    var walker = page.createTreeWalker(code, NodeFilter.SHOW_TEXT);
    for (var node = walker.nextNode(); node; node = walker.nextNode()) {
      var path = /[^\s]*\/[^\s]*/g, found;
      while ((found = path.exec(node.data)) !== null) {
        var range = page.createRange();
        range.setStart(node, found.index);
        range.setEnd(node, found.index + found[0].length);
        var tops = {};
        Array.prototype.forEach.call(range.getClientRects(), function (r) { tops[Math.round(r.top)] = true; });
        if (Object.keys(tops).length > 1) broken.push(found[0]);
      }
    }
  });
  document.getElementById("result").textContent = JSON.stringify({scrollWidth: root.scrollWidth,
      clientWidth: root.clientWidth, smallestPlotText: smallest, brokenPaths: broken});
});
</script></body></html>)");
        const std::string result = resultOf(dom(fileUrl(measure), {"--allow-file-access-from-files"}));
        ASSERT_FALSE(result.empty());
        const json sizes = json::parse(result, nullptr, false);
        ASSERT_TRUE(sizes.is_object()) << result;
        EXPECT_GT(sizes["clientWidth"].get<int>(), 0);
        EXPECT_LE(sizes["scrollWidth"].get<int>(), sizes["clientWidth"].get<int>()) << result;
        EXPECT_EQ(sizes["brokenPaths"], json::array()) << result;
        if (width >= 360) {
            EXPECT_GE(sizes["smallestPlotText"].get<double>(), 12.0) << result;
        }
    }
}

// A real script engine runs the dialog script and finds there exactly what
// the stand-in host's reader finds.
TEST_F(HelpPage, DialogScriptRunsInAScriptEngineAsTheReaderReadsIt) {
    const nimbrel::DialogScript read = nimbrel::readDialogScript(kDialog.string());
    const fs::path runner = writePage("dialog.html", R"(<!DOCTYPE html><html><body><pre id="result">not run</pre>
<script src=")" + fileUrl(kDialog) + R"("></script>
<script>document.getElementById("result").textContent = JSON.stringify()" +
                                                         read.variable + R"();</script></body></html>)");
    const std::string result = resultOf(dom(fileUrl(runner)));
    const json run = json::parse(result, nullptr, false);
    ASSERT_TRUE(run.is_object()) << result;
    EXPECT_EQ(run["title"], read.title);
    ASSERT_EQ(run["parameters"].size(), read.parameters.size());
    for (std::size_t i = 0; i < read.parameters.size(); ++i) {
        const nimbrel::DialogParameter& p = read.parameters[i];
        const json& q = run["parameters"][i];
        SCOPED_TRACE(p.name);
        EXPECT_EQ(q["name"], p.name);
        EXPECT_EQ(q["type"], nimbrel::dialogTypeName(p.type));
        EXPECT_EQ(q["label"], p.label);
        EXPECT_EQ(q.value("enabledBy", std::string()), p.enabledBy);
        EXPECT_EQ(q.value("choices", std::vector<std::string>()), p.choices);
        switch (p.defaultValue.kind) {
            case nimbrel::Parameter::Kind::Integer:
                // A switch may be written true or false.
                EXPECT_EQ(q["default"].is_boolean() ? q["default"].get<bool>() : q["default"].get<double>(),
                          p.defaultValue.integer);
                break;
            case nimbrel::Parameter::Kind::Float:
                EXPECT_EQ(static_cast<float>(q["default"].get<double>()), p.defaultValue.real);
                break;
            case nimbrel::Parameter::Kind::Text:
                EXPECT_EQ(q["default"], p.defaultValue.text);
                break;
        }
    }
}

}  // namespace
