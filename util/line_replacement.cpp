#include "util/line_replacement.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

#include "host/host_forwarders.h"

namespace kelvane {
namespace {

constexpr std::size_t kNotFound = std::string_view::npos;
// The rewrite goes out through a buffer this large.
constexpr std::size_t kWriteBufferBytes = 1 << 20;

// The working copy's view of the text: blanks (0x20) taken out and letters
// folded to upper case through the runtime's toupper, as asked. The fold is
// read once into a table, so that every byte is folded as toupper folds it
// now.
class Normalisation {
public:
    Normalisation(bool removeBlanks, bool foldCase) : removeBlanks_(removeBlanks), foldCase_(foldCase) {
        for (int c = 0; c < 256; ++c) fold_[c] = static_cast<char>(foldCase ? std::toupper(c) : c);
    }
    bool active() const { return removeBlanks_ || foldCase_; }
    bool skips(char c) const { return removeBlanks_ && c == ' '; }
    char fold(char c) const { return fold_[static_cast<unsigned char>(c)]; }

    std::string apply(std::string_view text) const {
        std::string result;
        for (char c : text)
            if (!skips(c)) result.push_back(fold(c));
        return result;
    }

private:
    bool removeBlanks_;
    bool foldCase_;
    std::array<char, 256> fold_{};
};

// Finds a normalised key in the lines of the content as their working copies
// would show it, without making those copies: a match may not cross a line
// break, skips blanks when they are removed and compares folded bytes.
class KeyFinder {
public:
    KeyFinder(std::string_view content, const std::string& key, const Normalisation& normalisation)
        : content_(content), key_(key), normalisation_(normalisation) {
        // No line holds a line break, so a key with one matches nowhere.
        never_ = key.find('\n') != std::string::npos;
        if (key.empty() || never_ || !normalisation.active()) return;
        for (int c = 0; c < 256; ++c) {
            const char byte = static_cast<char>(c);
            if (byte != '\n' && !normalisation.skips(byte) && normalisation.fold(byte) == key[0])
                firstBytes_.push_back({byte, 0, false});
        }
    }

    // The first position at or after from (a line's start) where the key
    // occurs within one line, or kNotFound. An empty key occurs at the start
    // of every line.
    std::size_t find(std::size_t from) {
        if (never_) return kNotFound;
        if (key_.empty()) return from;
        if (!normalisation_.active()) return content_.find(key_, from);
        for (std::size_t at = from; (at = nextFirstByte(at)) != kNotFound; ++at)
            if (matchesAt(at)) return at;
        return kNotFound;
    }

private:
    // The next byte at or after from that folds into the key's first; each
    // candidate byte's next place is kept, so no stretch is searched twice.
    std::size_t nextFirstByte(std::size_t from) {
        std::size_t nearest = kNotFound;
        for (FirstByte& candidate : firstBytes_) {
            if (!candidate.searched || (candidate.next != kNotFound && candidate.next < from)) {
                const void* hit = std::memchr(content_.data() + from, candidate.byte, content_.size() - from);
                candidate.next = hit == nullptr
                                     ? kNotFound
                                     : static_cast<std::size_t>(static_cast<const char*>(hit) - content_.data());
                candidate.searched = true;
            }
            if (candidate.next < nearest) nearest = candidate.next;
        }
        return nearest;
    }

    bool matchesAt(std::size_t at) const {
        std::size_t matched = 1;
        for (std::size_t i = at + 1; matched < key_.size(); ++i) {
            if (i == content_.size() || content_[i] == '\n') return false;
            if (normalisation_.skips(content_[i])) continue;
            if (normalisation_.fold(content_[i]) != key_[matched]) return false;
            ++matched;
        }
        return true;
    }

    std::string_view content_;
    const std::string& key_;
    const Normalisation& normalisation_;
    bool never_ = false;
    // The bytes that fold into the key's first, each with its next place.
    struct FirstByte {
        char byte;
        std::size_t next;
        bool searched;
    };
    std::vector<FirstByte> firstBytes_;
};

// The whole file, read in text mode. False when it cannot be opened or a read
// fails before the end.
bool readWholeFile(const char* path, std::string& content) {
    if (path == nullptr) return false;
    std::ifstream in(path);
    if (!in.is_open()) return false;
    // One read of the size the file has now (text mode may deliver fewer
    // bytes), then whatever more it has grown to.
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > 0 && size < content.max_size()) {
        content.resize(static_cast<std::size_t>(size));
        in.read(&content[0], static_cast<std::streamsize>(size));
        content.resize(static_cast<std::size_t>(in.gcount()));
    }
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) content.append(chunk, static_cast<size_t>(in.gcount()));
    return !in.bad();
}

// The rewrite in text mode: the content with every matched line replaced,
// streamed out piece by piece. Counts the replaced lines into replaced.
void writeRewrite(std::ofstream& out, std::string_view content, std::vector<KeyFinder>& finders,
                  const std::vector<std::string>& replacements, int32_t& replaced) {
    std::vector<std::size_t> nextMatch;
    for (KeyFinder& finder : finders) nextMatch.push_back(finder.find(0));
    std::size_t unchangedFrom = 0;  // start of the bytes not yet written
    std::size_t line = 0;           // start of the first line not yet decided
    for (;;) {
        // The first line from here on that a key occurs in, and the first key in
        // array order that occurs in it.
        std::size_t nearest = kNotFound;
        for (std::size_t k = 0; k < finders.size(); ++k) {
            if (nextMatch[k] != kNotFound && nextMatch[k] < line) nextMatch[k] = finders[k].find(line);
            if (nextMatch[k] < nearest) nearest = nextMatch[k];
        }
        if (nearest == kNotFound) break;
        const std::size_t lineEnd = std::min(content.find('\n', nearest), content.size());
        const std::size_t before = nearest == line ? kNotFound : content.rfind('\n', nearest - 1);
        const std::size_t lineStart = before == kNotFound || before < line ? line : before + 1;
        std::size_t k = 0;
        while (nextMatch[k] > lineEnd) ++k;
        out.write(content.data() + unchangedFrom, static_cast<std::streamsize>(lineStart - unchangedFrom));
        out.write(replacements[k].data(), static_cast<std::streamsize>(replacements[k].size()));
        ++replaced;
        unchangedFrom = lineEnd;  // the line break, if any, stays
        if (lineEnd == content.size()) break;
        line = lineEnd + 1;
    }
    out.write(content.data() + unchangedFrom, static_cast<std::streamsize>(content.size() - unchangedFrom));
}

// Writes the rewrite and closes the stream; false when a write failed (a full
// disk).
bool rewrite(const char* path, std::string_view content, std::vector<KeyFinder>& finders,
             const std::vector<std::string>& replacements, int32_t& replaced, bool& opened) {
    std::vector<char> buffer(kWriteBufferBytes);
    std::ofstream out;
    out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    out.open(path);
    opened = out.is_open();
    if (!opened) return false;
    writeRewrite(out, content, finders, replacements, replaced);
    out.close();
    return !out.fail();
}

bool writeAndClose(const char* path, const std::string& text) {
    std::ofstream out(path);
    if (!out.is_open()) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

}  // namespace

void replaceLinesInFile(const char* path, int32_t keyCount, std::string* keys, bool removeBlanks, bool caseSensitive,
                        const std::ostringstream* replacementTexts) {
    const std::size_t keyTotal = keyCount > 0 && keys != nullptr ? static_cast<std::size_t>(keyCount) : 0;
    const Normalisation normalisation(removeBlanks, !caseSensitive);

    std::string content;
    const bool readable = readWholeFile(path, content);
    if (!readable) nbLogText("File could not be opened for reading");

    for (std::size_t k = 0; k < keyTotal; ++k) keys[k] = normalisation.apply(keys[k]);
    // Nothing was read: the file keeps its content, and none is created.
    if (!readable) return;

    // Without replacement texts no line can be replaced.
    std::vector<std::string> replacements;
    std::vector<KeyFinder> finders;
    if (replacementTexts != nullptr) {
        for (std::size_t k = 0; k < keyTotal; ++k) {
            replacements.push_back(replacementTexts[k].str());
            finders.emplace_back(content, keys[k], normalisation);
        }
    }

    int32_t replaced = 0;
    bool opened = false;
    if (!rewrite(path, content, finders, replacements, replaced, opened)) {
        if (!opened) {
            nbLogText("File could not be opened for writing");
            return;
        }
        // The file was emptied when it was opened: give it back what it held.
        nbLogText(writeAndClose(path, content) ? "File could not be written, its former content was put back"
                                               : "File could not be written, its former content could not be put back");
        return;
    }
    nbLogText((std::to_string(replaced) + " lines were replaced in " + path).c_str());
}

}  // namespace kelvane
