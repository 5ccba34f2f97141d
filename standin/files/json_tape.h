#pragma once
// A JSON value laid out flat, as the strict reader (strict_json.h) reads it:
// one entry for each value and each key, in the order of the text, an object
// or an array followed by what it holds. Readers walk it through TapeValue,
// which answers what a value is, its text or number, its members and
// elements, and the line of the text it came on.
//
// TapeValue answers the questions nlohmann's values answer under the same
// names (is_object(), is_number(), ...), so that a reader's code serves both.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace nimbrel {

class TapeValue;

class JsonTape {
public:
    enum class Kind : std::uint8_t { Null, False, True, Integer, Unsigned, Float, String, Key, Object, Array };

    // Where the tape is read from: text[begin, end), with or without
    // comments; and how a value finds its line there, from its ordinal (the
    // reader that built the tape reads the text again up to it).
    struct Source {
        const std::string* text;
        std::size_t begin;
        std::size_t end;
        bool comments;
        std::size_t (*lineOf)(const Source& source, std::size_t ordinal);
    };
    explicit JsonTape(Source source) : source_(source) {}

    // The value read (the first entry).
    TapeValue root() const;

    // Building, as the strict reader does: each value and key in the order
    // of the text (the first is the 0th), even those the tape drops again.
    // Each returns the new entry.
    std::size_t add(Kind kind) { return push(kind); }
    std::size_t addInteger(std::int64_t value) {
        const std::size_t entry = push(Kind::Integer);
        entries_[entry].integer = value;
        return entry;
    }
    std::size_t addUnsigned(std::uint64_t value) {
        const std::size_t entry = push(Kind::Unsigned);
        entries_[entry].whole = value;
        return entry;
    }
    std::size_t addFloat(double value) {
        const std::size_t entry = push(Kind::Float);
        entries_[entry].real = value;
        return entry;
    }
    // A string or a key.
    std::size_t addText(Kind kind, std::string_view text) {
        const std::size_t entry = push(kind);
        entries_[entry].count = static_cast<std::uint32_t>(text.size());
        entries_[entry].text = textSize_;
        if (text.size() > textCapacity_ - textSize_) growText(text.size());
        if (!text.empty()) std::memcpy(texts_.get() + textSize_, text.data(), text.size());
        textSize_ += text.size();
        return entry;
    }
    // An object or array opened at entry ends here, holding count members or elements.
    void close(std::size_t entry, std::uint32_t count) {
        entries_[entry].count = count;
        entries_[entry].next = static_cast<std::uint32_t>(entries_.size());
    }
    // Marks the array at entry as one whose elements went elsewhere as they came.
    void handOut(std::size_t entry) { entries_[entry].handedOut = true; }
    // Drops every entry from entry on, and the texts they held from text on.
    void cut(std::size_t entry, std::size_t text) {
        entries_.resize(entry);
        textSize_ = text;
    }

    // Whether the object opened at entry, still open, has key.
    bool hasKey(std::size_t entry, std::string_view key) const {
        bool has = false;
        eachKey(entry, [&](std::string_view earlier) { has = has || earlier == key; });
        return has;
    }
    // Each key of the object opened at entry, still open.
    template <typename Each>
    void eachKey(std::size_t entry, const Each& each) const {
        for (std::size_t key = entry + 1; key < entries_.size(); key = entries_[key + 1].next)
            each(std::string_view(texts_.get() + entries_[key].text, entries_[key].count));
    }

    std::size_t textSize() const { return textSize_; }

private:
    friend class TapeValue;

    struct Entry {
        Kind kind = Kind::Null;
        bool handedOut = false;   // an array whose elements went elsewhere as they came
        std::uint32_t count = 0;  // a text's bytes; an object's members, an array's elements
        std::uint32_t next = 0;   // the entry after this value and all it holds
        std::size_t ordinal = 0;  // the how-manieth value or key of the text it is
        union {
            std::int64_t integer = 0;
            std::uint64_t whole;
            double real;
            std::size_t text;  // where a string's or key's text starts in texts_
        };
    };

    std::size_t push(Kind kind) {
        const std::size_t index = entries_.size();
        Entry& entry = entries_.emplace_back();
        entry.kind = kind;
        entry.next = static_cast<std::uint32_t>(index + 1);
        entry.ordinal = ordinals_++;
        return index;
    }

    // Room for at least more bytes of text.
    void growText(std::size_t more);

    Source source_;
    std::vector<Entry> entries_;
    std::size_t ordinals_ = 0;  // values and keys so far
    // The texts of strings and keys one after another (a buffer of its own:
    // appending is most of what a tape does).
    std::unique_ptr<char[]> texts_;
    std::size_t textSize_ = 0;
    std::size_t textCapacity_ = 0;
};

class TapeValue {
public:
    using Kind = JsonTape::Kind;

    TapeValue(const JsonTape& tape, std::size_t index) : tape_(&tape), index_(index) {}

    Kind kind() const { return entry().kind; }
    bool is_null() const { return kind() == Kind::Null; }
    bool is_boolean() const { return kind() == Kind::False || kind() == Kind::True; }
    bool is_number() const { return kind() == Kind::Integer || kind() == Kind::Unsigned || kind() == Kind::Float; }
    bool is_number_integer() const { return kind() == Kind::Integer || kind() == Kind::Unsigned; }
    bool is_number_unsigned() const { return kind() == Kind::Unsigned; }
    bool is_number_float() const { return kind() == Kind::Float; }
    bool is_string() const { return kind() == Kind::String; }
    bool is_object() const { return kind() == Kind::Object; }
    bool is_array() const { return kind() == Kind::Array; }

    bool boolean() const { return kind() == Kind::True; }
    // A string's text.
    std::string_view text() const { return std::string_view(tape_->texts_.get() + entry().text, entry().count); }
    // A number as T (std::int64_t, std::uint64_t or double), converted as the
    // JSON library's get<T>() converts it.
    template <typename T>
    T get() const {
        switch (kind()) {
            case Kind::Integer:
                return static_cast<T>(entry().integer);
            case Kind::Unsigned:
                return static_cast<T>(entry().whole);
            case Kind::Float:
                return static_cast<T>(entry().real);
            default:
                return T{};
        }
    }
    // A number, true, false or null as the JSON library holds it; an object or
    // an array as an empty one (enough to say what it is).
    nlohmann::ordered_json scalar() const;
    // The whole value as the JSON library holds it.
    nlohmann::ordered_json toJson() const;
    // An object's members or an array's elements (those handed out included);
    // 0 for null, 1 for any other value.
    std::size_t size() const {
        if (is_object() || is_array()) return entry().count;
        return is_null() ? 0 : 1;
    }
    // An array whose elements went to an element reader as they came.
    bool handedOut() const { return entry().handedOut; }
    // The line (from 1) of the text the value is on (for messages: it reads
    // the text again up to the value).
    std::size_t line() const;

    // An object's members in their order: key and value.
    class Members;
    Members members() const;
    // An array's elements that the tape holds, in their order.
    class Elements;
    Elements elements() const;

private:
    const JsonTape::Entry& entry() const { return tape_->entries_[index_]; }
    std::size_t next() const { return entry().next; }

    const JsonTape* tape_;
    std::size_t index_;
};

class TapeValue::Members {
public:
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::pair<std::string_view, TapeValue>;
        using difference_type = std::ptrdiff_t;
        using pointer = const value_type*;
        using reference = value_type;

        iterator(const JsonTape& tape, std::size_t key) : tape_(&tape), key_(key) {}
        value_type operator*() const { return {TapeValue(*tape_, key_).text(), TapeValue(*tape_, key_ + 1)}; }
        iterator& operator++() {
            key_ = tape_->entries_[key_ + 1].next;
            return *this;
        }
        bool operator==(const iterator& other) const { return key_ == other.key_; }
        bool operator!=(const iterator& other) const { return key_ != other.key_; }

    private:
        const JsonTape* tape_;
        std::size_t key_;
    };

    Members(const JsonTape& tape, std::size_t first, std::size_t end) : begin_(tape, first), end_(tape, end) {}
    iterator begin() const { return begin_; }
    iterator end() const { return end_; }

private:
    iterator begin_, end_;
};

class TapeValue::Elements {
public:
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = TapeValue;
        using difference_type = std::ptrdiff_t;
        using pointer = const TapeValue*;
        using reference = TapeValue;

        iterator(const JsonTape& tape, std::size_t at) : tape_(&tape), at_(at) {}
        TapeValue operator*() const { return {*tape_, at_}; }
        iterator& operator++() {
            at_ = tape_->entries_[at_].next;
            return *this;
        }
        bool operator==(const iterator& other) const { return at_ == other.at_; }
        bool operator!=(const iterator& other) const { return at_ != other.at_; }

    private:
        const JsonTape* tape_;
        std::size_t at_;
    };

    Elements(const JsonTape& tape, std::size_t first, std::size_t end) : begin_(tape, first), end_(tape, end) {}
    iterator begin() const { return begin_; }
    iterator end() const { return end_; }

private:
    iterator begin_, end_;
};

}  // namespace nimbrel
