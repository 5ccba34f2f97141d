#pragma once
// What the strict readers of workspace files and dialog scripts share once
// strict_json.h has read a text: a message names the source and the JSON
// path of what it is about ("ws.json: maps[2].name: ...", "top level" for the
// whole value), and of a number its line when it is known, says "expected X,
// got Y" in the reader's own words for kinds of value, and refuses a key an
// object does not know by its path. A reader reads a tree
// (nlohmann::ordered_json) or a tape (TapeValue) alike.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "standin/files/json_messages.h"
#include "standin/files/json_tape.h"

namespace nimbrel {

// Where a value is in its document: the chain of members and elements that
// leads to it, spelt out ("maps[2].name", "" for the top level) only when a
// message needs it. A path refers to its parent (but for the top level) and
// its key, which must outlive it.
class JsonPath {
public:
    JsonPath() = default;  // the top level
    // A place in a reader's own words ("parameter \"MinP\" (parameters[3])").
    JsonPath(const std::string& text) : step_(Step::Text), key_(text) {}
    JsonPath(const char* text) : step_(Step::Text), key_(text) {}

    JsonPath member(std::string_view key) const { return {parent(), Step::Member, key, 0}; }  // maps.name
    JsonPath quoted(std::string_view key) const { return {parent(), Step::Quoted, key, 0}; }  // parameters["odd name"]
    JsonPath element(std::size_t index) const { return {parent(), Step::Element, {}, index}; }  // maps[2]

    std::string text() const;

private:
    enum class Step { Top, Text, Member, Quoted, Element };
    JsonPath(const JsonPath* parent, Step step, std::string_view key, std::size_t index)
        : parent_(parent), step_(step), key_(key), index_(index) {}
    // What a step below this one refers to: nothing below the top level, so
    // that JsonPath().member("maps") stands on its own.
    const JsonPath* parent() const { return step_ == Step::Top ? nullptr : this; }

    const JsonPath* parent_ = nullptr;
    Step step_ = Step::Top;
    std::string_view key_;
    std::size_t index_ = 0;
};

inline std::string JsonPath::text() const {
    const std::string above = parent_ != nullptr ? parent_->text() : std::string();
    switch (step_) {
        case Step::Text:
            return std::string(key_);
        case Step::Member:
            return above.empty() ? std::string(key_) : above + "." + std::string(key_);
        case Step::Quoted:
            return above + "[" + quotedExcerpt(std::string(key_)) + "]";
        case Step::Element:
            return above + "[" + std::to_string(index_) + "]";
        case Step::Top:
            break;
    }
    return above;
}

// What messages need of a value read from a tree or a tape.
inline const nlohmann::ordered_json& messageValue(const nlohmann::ordered_json& value) {
    return value;
}
inline nlohmann::ordered_json messageValue(const TapeValue& value) {
    return value.scalar();
}
inline std::optional<std::size_t> lineOf(const nlohmann::ordered_json&) {
    return std::nullopt;
}
inline std::optional<std::size_t> lineOf(const TapeValue& value) {
    return value.line();
}
inline std::string stringOf(const nlohmann::ordered_json& value) {
    return value.get<std::string>();
}
inline std::string stringOf(const TapeValue& value) {
    return std::string(value.text());
}

// Error: the exception a reader throws, made from the whole message.
template <typename Error>
class JsonReader {
public:
    JsonReader(std::string source, const JsonKindWords& words) : source_(std::move(source)), words_(words) {}

    [[noreturn]] void fail(const JsonPath& path, const std::string& what) const {
        throw Error(source_ + ": " + placeText(path) + ": " + what);
    }

    // An error about a number, or a text refused for what it holds, names its
    // line too, when it is known.
    [[noreturn]] void failAtLine(const JsonPath& path, std::optional<std::size_t> line, const std::string& what) const {
        fail(placeText(path) + (line ? " (line " + std::to_string(*line) + ")" : ""), what);
    }

    template <typename Value>
    [[noreturn]] void expected(const JsonPath& path, const std::string& what, const Value& got) const {
        const std::string message = "expected " + what + ", got " + describeJson(messageValue(got), words_);
        if (got.is_number()) failAtLine(path, lineOf(got), message);
        fail(path, message);
    }

    [[noreturn]] void unknownField(const JsonPath& path, const std::vector<const char*>& keys) const {
        fail(path, "unknown field; expected one of " + keyList(keys));
    }

    // An object with no key but keys.
    void object(const nlohmann::ordered_json& value, const JsonPath& path, const std::vector<const char*>& keys) const {
        if (!value.is_object()) expected(path, "an object", value);
        if (const auto key = unknownKey(value, keys)) unknownField(path.member(*key), keys);
    }

    template <typename Value>
    std::string text(const Value& value, const JsonPath& path) const {
        if (!value.is_string()) expected(path, words_.text, value);
        return stringOf(value);
    }

private:
    static std::string placeText(const JsonPath& path) {
        std::string text = path.text();
        return text.empty() ? "top level" : text;
    }

    std::string source_;
    const JsonKindWords& words_;
};

}  // namespace nimbrel
