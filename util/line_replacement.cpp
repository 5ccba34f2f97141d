#include "util/line_replacement.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <fstream>
#include <vector>

#include "host/host_forwarders.h"

namespace kelvane {
namespace {

void removeBlanksFrom(std::string& text) { text.erase(std::remove(text.begin(), text.end(), ' '), text.end()); }

void foldToUpperCase(std::string& text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Reads every line (text up to a line feed, without it), in text mode. The end
// of the file is tested before each read, so a final line break gives a last,
// empty line and an empty file gives one empty line. False when the file
// cannot be opened or a read fails before the end.
bool readLines(const char* path, std::vector<std::string>& lines) {
    if (path == nullptr) return false;
    std::ifstream in(path);
    if (!in.is_open()) return false;
    std::string line;
    while (!in.eof()) {
        std::getline(in, line);
        if (in.bad() || (in.fail() && !in.eof())) return false;
        lines.push_back(line);
    }
    return true;
}

}  // namespace

void replaceLinesInFile(const char* path, int32_t keyCount, std::string* keys, bool removeBlanks,
                        bool caseSensitive, const std::ostringstream* replacementTexts) {
    const std::size_t keyTotal = keyCount > 0 && keys != nullptr ? static_cast<std::size_t>(keyCount) : 0;
    // Without replacement texts no line can be replaced.
    const std::size_t matchable = replacementTexts != nullptr ? keyTotal : 0;

    std::vector<std::string> lines;
    const bool readable = readLines(path, lines);
    if (!readable) {
        lines.clear();
        nbLogText("File could not be opened for reading");
    }

    for (std::size_t k = 0; k < keyTotal; ++k) {
        if (removeBlanks) removeBlanksFrom(keys[k]);
        if (!caseSensitive) foldToUpperCase(keys[k]);
    }
    // Nothing was read: the file keeps its content, and none is created.
    if (!readable) return;

    std::ofstream out(path);
    if (!out.is_open()) {
        nbLogText("File could not be opened for writing");
        return;
    }
    int32_t replaced = 0;
    std::string working;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        working = lines[i];
        if (removeBlanks) removeBlanksFrom(working);
        if (!caseSensitive) foldToUpperCase(working);
        std::size_t k = 0;
        while (k < matchable && working.find(keys[k]) == std::string::npos) ++k;
        if (k < matchable) {
            ++replaced;
            out << replacementTexts[k].str();
        } else {
            out << lines[i];
        }
        if (i + 1 < lines.size()) out << '\n';
    }
    out.close();
    nbLogText((std::to_string(replaced) + " lines were replaced in " + path).c_str());
}

}  // namespace kelvane
