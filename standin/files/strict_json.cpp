#include "standin/files/strict_json.h"

#include <algorithm>
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

// Builds the value as the parser reads it. Keys are appended to their object
// directly (the ordered map's own insertion looks for the key first, which
// would make a large object quadratic); each key is first checked against its
// object's keys: by a scan while the object is small, by a set once it is not.
class StrictBuilder {
public:
    json& result() { return root_; }
    const std::optional<StrictJsonError>& error() const { return error_; }
    bool tooDeep() const { return tooDeep_; }

    bool null() { return add(nullptr); }
    bool boolean(bool value) { return add(value); }
    bool number_integer(json::number_integer_t value) { return add(value); }
    bool number_unsigned(json::number_unsigned_t value) { return add(value); }
    bool number_float(json::number_float_t value, const std::string&) { return add(value); }
    bool string(std::string& value) { return add(std::move(value)); }
    bool binary(json::binary_t& value) { return add(std::move(value)); }

    bool start_object(std::size_t) { return open(json::object()); }
    bool start_array(std::size_t) { return open(json::array()); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(std::string& key) {
        Frame& frame = frames_.back();
        const auto& members = frame.value->get_ref<const json::object_t&>();
        bool seen = false;
        if (frame.keys) {
            seen = !frame.keys->insert(key).second;
        } else {
            for (const auto& member : members) seen = seen || member.first == key;
            if (!seen && members.size() + 1 >= kLargeObject) {
                frame.keys = std::make_unique<std::unordered_set<std::string>>();
                for (const auto& member : members) frame.keys->insert(member.first);
                frame.keys->insert(key);
            }
        }
        frame.key = std::move(key);
        if (seen) {
            error_.emplace(StrictJsonError::Kind::DuplicateKey, frame.key, path(), 0);
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

    struct Frame {
        json* value;
        std::string key;        // an object's latest key
        std::size_t index = 0;  // an array's next index
        std::unique_ptr<std::unordered_set<std::string>> keys;
    };

    // Where the parser is: "maps[2].name".
    std::string path() const {
        std::string where;
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            const Frame& frame = frames_[i];
            const bool inner = i + 1 < frames_.size();  // an array's open element came last
            if (frame.value->is_object())
                where += (where.empty() ? "" : ".") + frame.key;
            else
                where += "[" + std::to_string(inner ? frame.index - 1 : frame.index) + "]";
        }
        return where;
    }

    // Puts a value in its place: the root, the end of the open array, or the
    // open object under its key.
    template <typename Value>
    json* place(Value&& value) {
        if (frames_.empty()) {
            root_ = json(std::forward<Value>(value));
            return &root_;
        }
        Frame& frame = frames_.back();
        if (frame.value->is_array()) {
            auto& elements = frame.value->get_ref<json::array_t&>();
            elements.emplace_back(std::forward<Value>(value));
            ++frame.index;
            return &elements.back();
        }
        auto& members = static_cast<json::object_t::Container&>(frame.value->get_ref<json::object_t&>());
        members.emplace_back(frame.key, json(std::forward<Value>(value)));
        return &members.back().second;
    }

    template <typename Value>
    bool add(Value&& value) {
        place(std::forward<Value>(value));
        return true;
    }

    bool open(json container) {
        if (frames_.size() >= kDeepestJsonNesting) {
            tooDeep_ = true;
            return false;
        }
        frames_.push_back({place(std::move(container)), {}, 0, nullptr});
        return true;
    }

    bool close() {
        frames_.pop_back();
        return true;
    }

    json root_;
    std::vector<Frame> frames_;
    std::optional<StrictJsonError> error_;
    bool tooDeep_ = false;
};

// A character iterator that tells the progress every mebibyte it passes.
class CountingIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    CountingIterator(const char* at, const char* begin, const char* end, const ReadProgress* progress)
        : at_(at), begin_(begin), end_(end), progress_(progress) {}
    reference operator*() const { return *at_; }
    CountingIterator& operator++() {
        ++at_;
        const auto read = static_cast<std::size_t>(at_ - begin_);
        if ((read & kStep) == 0) (*progress_)(read, static_cast<std::size_t>(end_ - begin_));
        return *this;
    }
    CountingIterator operator++(int) {
        CountingIterator before = *this;
        ++*this;
        return before;
    }
    bool operator==(const CountingIterator& other) const { return at_ == other.at_; }
    bool operator!=(const CountingIterator& other) const { return at_ != other.at_; }

private:
    static constexpr std::size_t kStep = (std::size_t{1} << 20) - 1;
    const char* at_;
    const char* begin_;
    const char* end_;
    const ReadProgress* progress_;
};

// Follows the parser to the value at one path, and notes how far the text
// had been read when it came.
class PathFinder {
public:
    PathFinder(const std::string& target, const char* const& read) : target_(target), read_(read) {}
    const char* found() const { return found_; }

    bool null() { return scalar(); }
    bool boolean(bool) { return scalar(); }
    bool number_integer(json::number_integer_t) { return scalar(); }
    bool number_unsigned(json::number_unsigned_t) { return scalar(); }
    bool number_float(json::number_float_t, const std::string&) { return scalar(); }
    bool string(std::string&) { return scalar(); }
    bool binary(json::binary_t&) { return scalar(); }
    bool start_object(std::size_t) { return open(true); }
    bool start_array(std::size_t) { return open(false); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(std::string& key) {
        frames_.back().key = key;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    struct Frame {
        bool object;
        std::string key;
        std::size_t index = 0;
    };

    // Whether the value now starting is the one looked for.
    bool here() {
        std::string path;
        for (const Frame& frame : frames_)
            path += frame.object ? (path.empty() ? "" : ".") + frame.key : "[" + std::to_string(frame.index) + "]";
        if (path != target_) return false;
        found_ = read_;
        return true;
    }
    void next() {
        if (!frames_.empty() && !frames_.back().object) ++frames_.back().index;
    }
    bool scalar() {
        if (here()) return false;
        next();
        return true;
    }
    bool open(bool object) {
        if (here()) return false;
        frames_.push_back({object, {}, 0});
        return frames_.size() <= kDeepestJsonNesting;
    }
    bool close() {
        frames_.pop_back();
        next();
        return true;
    }

    const std::string& target_;
    const char* const& read_;
    const char* found_ = nullptr;
    std::vector<Frame> frames_;
};

// A character iterator that keeps where it is in a place of its owner's.
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
        *furthest_ = ++at_;
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

}  // namespace

json parseStrictJson(const std::string& text, std::size_t begin, std::size_t end, const ReadProgress& progress,
                     bool comments) {
    if (end > text.size()) end = text.size();
    StrictBuilder builder;
    const char* first = text.data() + begin;
    const char* last = text.data() + end;
    constexpr auto kJson = nlohmann::detail::input_format_t::json;
    const bool parsed =
        progress ? json::sax_parse(CountingIterator(first, first, last, &progress),
                                   CountingIterator(last, first, last, &progress), &builder, kJson, true, comments)
                 : json::sax_parse(first, last, &builder, kJson, true, comments);
    if (!parsed) {
        if (builder.tooDeep()) {
            const std::size_t at = openingBeyond(text, begin, end, kDeepestJsonNesting, comments);
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
    return std::move(builder.result());
}

std::optional<std::size_t> lineOfValue(const std::string& text, const std::string& path) {
    const char* read = text.data();
    PathFinder finder(path, read);
    const char* end = text.data() + text.size();
    json::sax_parse(TrackingIterator(text.data(), &read), TrackingIterator(end, &read), &finder,
                    nlohmann::detail::input_format_t::json, true, false);
    if (finder.found() == nullptr) return std::nullopt;
    // The reader may have looked one character past the value.
    const char* last = finder.found() > text.data() ? finder.found() - 1 : text.data();
    return 1 + static_cast<std::size_t>(std::count(text.data(), last, '\n'));
}

}  // namespace nimbrel
