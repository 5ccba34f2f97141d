// replaceLinesInFile over any file content and any keys, on a real file, with
// this program as the host it logs to. The keys come back normalised, every
// line that contains a normalised key is replaced by its first such key's text
// and counted, every other line comes back byte for byte, and so does the whole
// file when no key matches.

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
#include "standin/host_session.h"
#include "standin/workspace.h"
#include "tests/fuzz/fuzz_input.h"
#include "util/line_replacement.h"

namespace kelvane::fuzz {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTarget = "line_replacement";
constexpr std::size_t kMostKeys = 4;

std::string normalised(std::string text, bool removeBlanks, bool caseSensitive) {
    std::string out;
    for (char c : text) {
        if (removeBlanks && c == ' ') continue;
        if (!caseSensitive && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        out += c;
    }
    return out;
}

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

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace
}  // namespace kelvane::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    using namespace kelvane;
    using namespace kelvane::fuzz;
    static const bool bound = bindHostFunctions();
    KELVANE_FUZZ_CHECK(kTarget, bound, "this program is the host");

    FuzzInput in(data, size);
    const uint8_t flags = in.byte();
    const bool removeBlanks = flags & 1;
    const bool caseSensitive = flags & 2;
    std::vector<std::string> keys(in.byte() % (kMostKeys + 1));
    std::vector<std::string> replacements(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        keys[k] = in.text(24);
        replacements[k] = in.text(24);
    }
    const std::string content = in.rest(1 << 16);

    // What the file and the log should come to.
    std::vector<std::string> normalKeys;
    for (const std::string& key : keys) normalKeys.push_back(normalised(key, removeBlanks, caseSensitive));
    std::string expected;
    int replaced = 0;
    const std::vector<std::string> lines = linesOf(content);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string working = normalised(lines[i], removeBlanks, caseSensitive);
        std::size_t k = 0;
        while (k < normalKeys.size() && working.find(normalKeys[k]) == std::string::npos) ++k;
        if (k < normalKeys.size()) {
            ++replaced;
            expected += replacements[k];
        } else {
            expected += lines[i];
        }
        if (i + 1 < lines.size()) expected += '\n';
    }

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
        replaceLinesInFile(path.string().c_str(), static_cast<int32_t>(keys.size()), keys.data(), removeBlanks,
                           caseSensitive, streams.data());
        log = session.logLines();
    }

    const std::string written = readBytes(path);
    std::error_code ignored;
    fs::remove(path, ignored);
    KELVANE_FUZZ_CHECK(kTarget, keys == normalKeys, "the keys come back normalised");
    if (replaced == 0) KELVANE_FUZZ_CHECK(kTarget, written == content, "no key matches: the file comes back whole");
    KELVANE_FUZZ_CHECK(kTarget, written == expected, "matched lines replaced, the others kept");
    KELVANE_FUZZ_CHECK(
        kTarget, log == std::vector<std::string>{std::to_string(replaced) + " lines were replaced in " + path.string()},
        "the count of replaced lines is the count of lines with a key");
    return 0;
}
