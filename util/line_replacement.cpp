#include "util/line_replacement.h"

#include <cctype>
#include <cstddef>
#include <fstream>
#include <string_view>
#include <vector>

#include "host/host_forwarders.h"

namespace kelvane {
namespace {

// The normalised form of text: blanks (0x20) taken out and letters folded to
// upper case, as asked; one pass, written into result.
void normalise(std::string_view text, bool removeBlanks, bool foldCase, std::string& result) {
    result.clear();
    for (char c : text) {
        if (removeBlanks && c == ' ') continue;
        result.push_back(foldCase ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c);
    }
}

// The whole file, read in text mode. False when it cannot be opened or a read
// fails before the end.
bool readWholeFile(const char* path, std::string& content) {
    if (path == nullptr) return false;
    std::ifstream in(path);
    if (!in.is_open()) return false;
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) content.append(chunk, static_cast<size_t>(in.gcount()));
    return !in.bad();
}

// Writes text and closes the stream; false when a write failed (a full disk).
bool writeAndClose(std::ofstream& out, const std::string& text) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

// The lines of content: the text up to each line feed, without it. A final
// line break gives a last, empty line, and empty content one empty line.
std::vector<std::string_view> splitLines(std::string_view content) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t end; (end = content.find('\n', start)) != std::string_view::npos; start = end + 1)
        lines.push_back(content.substr(start, end - start));
    lines.push_back(content.substr(start));
    return lines;
}

}  // namespace

void replaceLinesInFile(const char* path, int32_t keyCount, std::string* keys, bool removeBlanks, bool caseSensitive,
                        const std::ostringstream* replacementTexts) {
    const std::size_t keyTotal = keyCount > 0 && keys != nullptr ? static_cast<std::size_t>(keyCount) : 0;
    const bool foldCase = !caseSensitive;

    std::string content;
    const bool readable = readWholeFile(path, content);
    if (!readable) nbLogText("File could not be opened for reading");

    std::string normalised;
    for (std::size_t k = 0; k < keyTotal; ++k) {
        normalise(keys[k], removeBlanks, foldCase, normalised);
        keys[k].swap(normalised);
    }
    // Nothing was read: the file keeps its content, and none is created.
    if (!readable) return;

    // Without replacement texts no line can be replaced.
    std::vector<std::string> replacements;
    if (replacementTexts != nullptr)
        for (std::size_t k = 0; k < keyTotal; ++k) replacements.push_back(replacementTexts[k].str());

    const std::vector<std::string_view> lines = splitLines(content);
    std::string rewritten;
    rewritten.reserve(content.size());
    int32_t replaced = 0;
    std::string working;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (removeBlanks || foldCase) {
            normalise(line, removeBlanks, foldCase, working);
            line = working;
        }
        std::size_t k = 0;
        while (k < replacements.size() && line.find(keys[k]) == std::string_view::npos) ++k;
        if (k < replacements.size()) {
            ++replaced;
            rewritten += replacements[k];
        } else {
            rewritten += lines[i];
        }
        if (i + 1 < lines.size()) rewritten += '\n';
    }

    std::ofstream out(path);
    if (!out.is_open()) {
        nbLogText("File could not be opened for writing");
        return;
    }
    if (!writeAndClose(out, rewritten)) {
        // The file was emptied when it was opened: give it back what it held.
        std::ofstream restore(path);
        nbLogText(restore.is_open() && writeAndClose(restore, content)
                      ? "File could not be written, its former content was put back"
                      : "File could not be written, its former content could not be put back");
        return;
    }
    nbLogText((std::to_string(replaced) + " lines were replaced in " + path).c_str());
}

}  // namespace kelvane
