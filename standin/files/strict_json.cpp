#include "standin/files/strict_json.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "standin/files/input_file.h"
#include "standin/files/json_messages.h"

namespace nimbrel {
namespace {

using json = nlohmann::ordered_json;
using Kind = JsonTape::Kind;
// The parser: the JSON library's plain one, whatever tree a value may become.
using SaxJson = nlohmann::json;
constexpr auto kJsonText = nlohmann::detail::input_format_t::json;

// A character iterator that keeps, in a place of its owner's, how far the
// parser has read, to within kEvery characters (a power of two): exactly, to
// find where a value is, and roughly, for the progress of a read, at the cost
// of a test a character rather than a store.
template <std::size_t kEvery>
class TrackingIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    TrackingIterator(const char* at, const char** furthest) : at_(at), furthest_(furthest) {}
    reference operator*() const { return *at_; }
    TrackingIterator& operator++() {
        ++at_;
        if ((reinterpret_cast<std::uintptr_t>(at_) & (kEvery - 1)) == 0) *furthest_ = at_;
        return *this;
    }
    TrackingIterator operator++(int) {
        TrackingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const TrackingIterator& other) const { return at_ == other.at_; }
    bool operator!=(const TrackingIterator& other) const { return at_ != other.at_; }

private:
    const char* at_;
    const char** furthest_;
};

// Where a value is: exactly. How far a read has come: within 4 KiB.
using ExactIterator = TrackingIterator<1>;
using RoughIterator = TrackingIterator<4096>;

// Lays the value out on the tape as the parser reads it. Each key is first
// checked against its object's keys: while the object is small, by a bit for
// each (and, when its bit is set, against the keys on the tape), by a set
// once it is not. The elements of an array the element reader takes go to it
// as each ends, and leave the tape.
class TapeBuilder {
public:
    // The parser reads text[first, last) and keeps in read roughly how far it
    // has come.
    TapeBuilder(JsonTape& tape, const char* first, const char* last, const char* const& read,
                const StrictJsonOptions& options)
        : tape_(tape),
          first_(first),
          read_(read),
          total_(static_cast<std::size_t>(last - first)),
          options_(options),
          nextTell_(options.progress ? kTellEvery : std::size_t(-1)) {}

    const std::optional<StrictJsonError>& error() const { return error_; }
    bool tooDeep() const { return tooDeep_; }

    bool null() {
        return scalar([&] { return tape_.add(Kind::Null); });
    }
    bool boolean(bool value) {
        return scalar([&] { return tape_.add(value ? Kind::True : Kind::False); });
    }
    bool number_integer(SaxJson::number_integer_t value) {
        return scalar([&] { return tape_.addInteger(value); });
    }
    bool number_unsigned(SaxJson::number_unsigned_t value) {
        return scalar([&] { return tape_.addUnsigned(value); });
    }
    bool number_float(SaxJson::number_float_t value, const std::string&) {
        return scalar([&] { return tape_.addFloat(value); });
    }
    bool string(std::string& value) {
        return scalar([&] { return tape_.addText(Kind::String, value); });
    }
    bool binary(SaxJson::binary_t&) { return false; }  // JSON text has none

    bool start_object(std::size_t) { return open(Kind::Object); }
    bool start_array(std::size_t) { return open(Kind::Array); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(std::string& key) {
        Frame& frame = frames_.back();
        bool seen = false;
        if (frame.manyKeys) {
            seen = !frame.manyKeys->insert(key).second;
        } else {
            // A key whose bit is not yet set among the object's is new.
            const std::uint64_t bit = keyBit(key);
            seen = (frame.keyBits & bit) != 0 && tape_.hasKey(frame.entry, key);
            frame.keyBits |= bit;
            if (!seen && frame.count + 1 >= kLargeObject) {
                frame.manyKeys = std::make_unique<std::unordered_set<std::string>>();
                tape_.eachKey(frame.entry, [&](std::string_view earlier) { frame.manyKeys->emplace(earlier); });
                frame.manyKeys->insert(key);
            }
        }
        frame.key = tape_.addText(Kind::Key, key);
        ++frame.count;
        if (seen) {
            error_.emplace(StrictJsonError::Kind::DuplicateKey, key, path(), 0);
            return false;
        }
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& failure) {
        std::string what = failure.what();
        const std::string marker = "parse error at ";
        if (const auto at = what.find(marker); at != std::string::npos && failure.id / 100 == 1) {
            error_.emplace(StrictJsonError::Kind::Syntax, what.substr(at + marker.size()), path(), position);
        } else {
            error_.emplace(StrictJsonError::Kind::Other, jsonLibraryError(failure), path(), position);
        }
        return false;
    }

private:
    static constexpr std::size_t kLargeObject = 32;
    static constexpr std::size_t kTellEvery = std::size_t{1} << 20;

    struct Frame {
        std::size_t entry = 0;  // the object's or array's own
        bool object = false;
        std::size_t text = 0;       // the tape's text when it opened
        std::uint32_t count = 0;    // members or elements so far
        std::size_t key = 0;        // an object's latest key
        bool handsOut = false;      // an array whose elements go to the element reader
        std::uint64_t keyBits = 0;  // the bits of its keys
        std::unique_ptr<std::unordered_set<std::string>> manyKeys;
    };

    // One of 64 bits for a key, from its length and its first, middle and
    // last bytes: different bits, different keys.
    static std::uint64_t keyBit(std::string_view key) {
        if (key.empty()) return 1;
        const auto byte = [&](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(key[i])); };
        const std::uint64_t signature =
            key.size() << 24 | byte(0) << 16 | byte(key.size() / 2) << 8 | byte(key.size() - 1);
        return std::uint64_t{1} << ((signature * 0x9E3779B97F4A7C15u) >> 58);
    }

    // Tells the progress, when it is asked for, every mebibyte.
    void tell() {
        const auto read = static_cast<std::size_t>(read_ - first_);
        if (read >= nextTell_) {
            options_.progress(read, total_);
            nextTell_ = (read / kTellEvery + 1) * kTellEvery;
        }
    }

    std::string keyText(const Frame& frame) const {
        return frame.count > 0 ? std::string(TapeValue(tape_, frame.key).text()) : std::string();
    }

    // Where the parser is: "maps[2].name".
    std::string path() const {
        std::string where;
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            const Frame& frame = frames_[i];
            const bool inner = i + 1 < frames_.size();  // an array's open element came last
            if (frame.object)
                where += (where.empty() ? "" : ".") + keyText(frame);
            else
                where += "[" + std::to_string(inner ? frame.count - 1 : frame.count) + "]";
        }
        return where;
    }

    // An element of an array is counted as it starts.
    void counted() {
        if (!frames_.empty() && !frames_.back().object) ++frames_.back().count;
    }

    // A value that is whole: an element the element reader takes goes to it.
    void placed(std::size_t entry, std::size_t text) {
        if (frames_.empty() || !frames_.back().handsOut) return;
        const Frame& array = frames_.back();
        const std::string_view key = TapeValue(tape_, frames_.front().key).text();
        options_.elements->element(key, TapeValue(tape_, entry), array.count - 1);
        tape_.cut(entry, text);
    }

    template <typename Add>
    bool scalar(Add add) {
        const std::size_t text = tape_.textSize();
        tell();
        counted();
        placed(add(), text);
        return true;
    }

    bool open(Kind kind) {
        if (frames_.size() >= kDeepestJsonNesting) {
            tooDeep_ = true;
            return false;
        }
        counted();
        const std::size_t text = tape_.textSize();
        Frame frame;
        frame.entry = tape_.add(kind);
        frame.object = kind == Kind::Object;
        frame.text = text;
        if (kind == Kind::Array && frames_.size() == 1 && frames_[0].object && options_.elements != nullptr &&
            options_.elements->takesElements(TapeValue(tape_, frames_[0].key).text())) {
            frame.handsOut = true;
            tape_.handOut(frame.entry);
        }
        frames_.push_back(std::move(frame));
        return true;
    }

    bool close() {
        const Frame& frame = frames_.back();
        const std::size_t entry = frame.entry, text = frame.text;
        tape_.close(entry, frame.count);
        frames_.pop_back();
        tell();
        placed(entry, text);
        return true;
    }

    JsonTape& tape_;
    const char* first_;
    const char* const& read_;
    std::size_t total_;
    const StrictJsonOptions& options_;
    std::size_t nextTell_;
    std::vector<Frame> frames_;
    std::optional<StrictJsonError> error_;
    bool tooDeep_ = false;
};

// Follows the parser to the ordinal-th value or key, and notes how far the
// text had been read when it came.
class OrdinalFinder {
public:
    OrdinalFinder(std::size_t ordinal, const char* const& read) : ordinal_(ordinal), read_(read) {}
    const char* found() const { return found_; }

    bool null() { return count(); }
    bool boolean(bool) { return count(); }
    bool number_integer(SaxJson::number_integer_t) { return count(); }
    bool number_unsigned(SaxJson::number_unsigned_t) { return count(); }
    bool number_float(SaxJson::number_float_t, const std::string&) { return count(); }
    bool string(std::string&) { return count(); }
    bool binary(SaxJson::binary_t&) { return false; }
    bool key(std::string&) { return count(); }
    bool start_object(std::size_t) { return count(); }
    bool start_array(std::size_t) { return count(); }
    bool end_object() { return true; }
    bool end_array() { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    bool count() {
        if (seen_++ < ordinal_) return true;
        found_ = read_;
        return false;
    }

    std::size_t ordinal_;
    const char* const& read_;
    std::size_t seen_ = 0;
    const char* found_ = nullptr;
};

// The offset of the bracket that opens the array or object at nesting depth
// limit + 1 in text[begin, end), skipping strings and, with comments, comments.
std::size_t openingBeyond(const std::string& text, std::size_t begin, std::size_t end, std::size_t limit,
                          bool comments) {
    std::size_t depth = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        if (c == '"') {
            for (++i; i < end && text[i] != '"'; ++i)
                if (text[i] == '\\') ++i;
        } else if (comments && c == '/' && i + 1 < end && (text[i + 1] == '/' || text[i + 1] == '*')) {
            const bool line = text[i + 1] == '/';
            const std::size_t close = text.find(line ? "\n" : "*/", i + 2);
            i = close == std::string::npos || close >= end ? end : close + (line ? 0 : 1);
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return i;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return begin;
}

// The line (from 1) of the text that its ordinal-th value or key (counted
// from 0 in the order of the text) is on.
std::size_t lineOfValue(const JsonTape::Source& source, std::size_t ordinal) {
    const std::string& text = *source.text;
    const char* first = text.data() + source.begin;
    const char* read = first;
    OrdinalFinder finder(ordinal, read);
    SaxJson::sax_parse(ExactIterator(first, &read), ExactIterator(text.data() + source.end, &read), &finder, kJsonText,
                       true, source.comments);
    // The parser may have looked one character past the value.
    const char* at = finder.found() != nullptr ? finder.found() : read;
    const char* last = at > text.data() ? at - 1 : text.data();
    return 1 + static_cast<std::size_t>(std::count(text.data(), last, '\n'));
}

}  // namespace

JsonTape readStrictJson(const std::string& text, std::size_t begin, std::size_t end, const StrictJsonOptions& options) {
    end = std::min(end, text.size());
    begin = std::min(begin, end);
    JsonTape tape({&text, begin, end, options.comments, lineOfValue});
    const char* first = text.data() + begin;
    const char* last = text.data() + end;
    const char* read = first;
    TapeBuilder builder(tape, first, last, read, options);
    const bool parsed = SaxJson::sax_parse(RoughIterator(first, &read), RoughIterator(last, &read), &builder, kJsonText,
                                           true, options.comments);
    if (!parsed) {
        if (builder.tooDeep()) {
            const std::size_t at = openingBeyond(text, begin, end, kDeepestJsonNesting, options.comments);
            throw StrictJsonError(StrictJsonError::Kind::TooDeep,
                                  lineAndColumn(text, at) + ": arrays and objects nest more than " +
                                      std::to_string(kDeepestJsonNesting) + " deep",
                                  "", at + 1);
        }
        if (builder.error()) {
            StrictJsonError error = *builder.error();
            if (error.kind == StrictJsonError::Kind::Other && error.byte > 0)
                error.line = "line " + std::to_string(1 + std::count(text.data(), first + (error.byte - 1), '\n'));
            throw error;
        }
        throw StrictJsonError(StrictJsonError::Kind::Other, "the value could not be read", "", 0);
    }
    return tape;
}

json parseStrictJson(const std::string& text, std::size_t begin, std::size_t end, const ReadProgress& progress,
                     bool comments) {
    StrictJsonOptions options;
    options.comments = comments;
    options.progress = progress;
    return readStrictJson(text, begin, end, options).root().toJson();
}

}  // namespace nimbrel
