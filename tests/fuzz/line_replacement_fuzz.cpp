// replaceLinesInFile over any file content and any keys, on a real file, with
// this program as the host it logs to. What the rewrite must be is stated line
// by line, from the rules rather than from the routine's steps: a line in
// which no key occurs comes back byte for byte, a line in which keys occur
// becomes the replacement text of the first of them, and every line break
// stays where it was, with nothing added. The keys come back normalised.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "host/host_function_table.h"
#include "standin/host/host_session.h"
#include "standin/host/workspace.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/read_file.h"
#include "util/line_replacement.h"

namespace kelvane::fuzz {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTarget = "line_replacement";
constexpr std::size_t kMostKeys = 4;

// How keys are compared with lines.
struct Matching {
    bool removeBlanks;   // blanks (0x20) count for nothing, in lines and keys
    bool caseSensitive;  // otherwise a to z equal A to Z
};

bool sameByte(char a, char b, const Matching& m) {
    if (a == b || m.caseSensitive) return a == b;
    const auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    return letter(a) && letter(b) && (a ^ b) == 0x20;
}

std::string withoutBlanks(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
    return text;
}

// Whether the key occurs anywhere in the line under the matching rules. An
// empty key occurs in every line, an empty one included.
bool occursIn(std::string key, std::string line, const Matching& m) {
    if (m.removeBlanks) {
        key = withoutBlanks(key);
        line = withoutBlanks(line);
    }
    if (key.empty()) return true;
    return std::search(line.begin(), line.end(), key.begin(), key.end(),
                       [&](char a, char b) { return sameByte(a, b, m); }) != line.end();
}

// The text up to each line feed, without it; a final line feed leaves an empty
// last line.
std::vector<std::string> linesOf(const std::string& content) {
    std::vector<std::string> lines(1);
    for (char c : content) {
        if (c == '\n')
            lines.emplace_back();
        else
            lines.back() += c;
    }
    return lines;
}

const fs::path& filePath() {
    static const fs::path path = [] {
        std::random_device random;
        return fs::temp_directory_path() / ("kelvane-fuzz-lines-" + std::to_string(random()) + ".txt");
    }();
    return path;
}

using kelvane::testing::readFile;

}  // namespace
}  // namespace kelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kelvane;
    using namespace kelvane::fuzz;
    static const bool bound = bindHostFunctions();
    KELVANE_FUZZ_CHECK(kTarget, bound, "this program is the host");

    FuzzInput in(data, size);
    const uint8_t flags = in.byte();
    const Matching matching{(flags & 1) != 0, (flags & 2) != 0};
    std::vector<std::string> keys(in.byte() % (kMostKeys + 1));
    std::vector<std::string> replacements(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        keys[k] = in.text(24);
        replacements[k] = in.text(24);
    }
    const std::string content = in.rest(1 << 16);
    const std::vector<std::string> givenKeys = keys;

    const fs::path& path = filePath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    std::vector<std::ostringstream> streams(replacements.size());
    for (std::size_t k = 0; k < replacements.size(); ++k) streams[k] << replacements[k];

    nimbrel::Workspace workspace;
    std::vector<std::string> log;
    {
        nimbrel::HostSession session(workspace);
        replaceLinesInFile(path.string().c_str(), static_cast<int32_t>(keys.size()), keys.data(), matching.removeBlanks,
                           matching.caseSensitive, streams.data());
        log = session.logLines();
    }
    const std::string written = readFile(path);
    std::error_code ignored;
    fs::remove(path, ignored);

    for (std::size_t k = 0; k < keys.size(); ++k) {
        const std::string given = matching.removeBlanks ? withoutBlanks(givenKeys[k]) : givenKeys[k];
        KELVANE_FUZZ_CHECK(kTarget,
                           std::equal(keys[k].begin(), keys[k].end(), given.begin(), given.end(),
                                      [&](char a, char b) { return sameByte(a, b, matching); }),
                           "a key comes back as given, but for its blanks when they are removed");
        KELVANE_FUZZ_CHECK(kTarget,
                           matching.caseSensitive ? keys[k] == given
                                                  : std::none_of(keys[k].begin(), keys[k].end(),
                                                                 [](char c) { return c >= 'a' && c <= 'z'; }),
                           "a key comes back in upper case when case does not count, unchanged otherwise");
    }

    // Walk the rewrite along the lines of the file.
    const std::vector<std::string> lines = linesOf(content);
    std::size_t at = 0;
    int replaced = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto firstKey = std::find_if(givenKeys.begin(), givenKeys.end(),
                                           [&](const std::string& key) { return occursIn(key, lines[i], matching); });
        const bool matched = firstKey != givenKeys.end();
        const std::string& became =
            matched ? replacements[static_cast<std::size_t>(firstKey - givenKeys.begin())] : lines[i];
        replaced += matched;
        KELVANE_FUZZ_CHECK(kTarget, written.compare(std::min(at, written.size()), became.size(), became) == 0,
                           matched ? "a line with a key becomes the replacement text of the first key in it"
                                   : "a line without any key comes back byte for byte");
        at += became.size();
        if (i + 1 < lines.size()) {
            KELVANE_FUZZ_CHECK(kTarget, at < written.size() && written[at] == '\n', "every line break is kept");
            ++at;
        }
    }
    KELVANE_FUZZ_CHECK(kTarget, at == written.size(), "nothing follows the last line");
    KELVANE_FUZZ_CHECK(
        kTarget, log == std::vector<std::string>{std::to_string(replaced) + " lines were replaced in " + path.string()},
        "the count of replaced lines is the count of lines with a key");
    return 0;
}
