#pragma once
// What the strict readers of workspace files and dialog scripts share once
// strict_json.h has parsed a text: a message names the source and the JSON
// path of what it is about ("ws.json: maps[2].name: ...", "top level" for the
// whole value), says "expected X, got Y" in the reader's own words for kinds
// of value, and refuses a key an object does not know by its path.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "standin/files/json_messages.h"
#include "standin/files/strict_json.h"

namespace nimbrel {

// "maps" and "name" -> "maps.name"; "" and "maps" -> "maps".
inline std::string jsonMember(const std::string& path, const std::string& key) {
    return path.empty() ? key : path + "." + key;
}

// "maps" and 2 -> "maps[2]".
inline std::string jsonElement(const std::string& path, std::size_t index) {
    return path + "[" + std::to_string(index) + "]";
}

// Error: the exception a reader throws, made from the whole message.
template <typename Error>
class JsonReader {
public:
    // text: the JSON text read, where an error about a number finds its line;
    // none, and such errors name no line.
    JsonReader(std::string source, const JsonKindWords& words, const std::string* text = nullptr)
        : source_(std::move(source)), words_(words), text_(text) {}

    [[noreturn]] void fail(const std::string& path, const std::string& what) const {
        throw Error(source_ + ": " + (path.empty() ? std::string("top level") : path) + ": " + what);
    }

    // An error about a number names its line too, when the text is known.
    [[noreturn]] void failNumber(const std::string& path, const std::string& what) const { failAtLine(path, what); }

    // An error that names the value's line too, when the text is known.
    [[noreturn]] void failAtLine(const std::string& path, const std::string& what) const {
        const std::optional<std::size_t> line = text_ != nullptr ? lineOfValue(*text_, path) : std::nullopt;
        fail((path.empty() ? std::string("top level") : path) + (line ? " (line " + std::to_string(*line) + ")" : ""),
             what);
    }

    [[noreturn]] void expected(const std::string& path, const std::string& what,
                               const nlohmann::ordered_json& got) const {
        const std::string message = "expected " + what + ", got " + describeJson(got, words_);
        if (got.is_number()) failNumber(path, message);
        fail(path, message);
    }

    // An object with no key but keys.
    void object(const nlohmann::ordered_json& value, const std::string& path,
                const std::vector<const char*>& keys) const {
        if (!value.is_object()) expected(path, "an object", value);
        if (const auto key = unknownKey(value, keys))
            fail(jsonMember(path, *key), "unknown field; expected one of " + keyList(keys));
    }

    std::string text(const nlohmann::ordered_json& value, const std::string& path) const {
        if (!value.is_string()) expected(path, words_.text, value);
        return value.get<std::string>();
    }

private:
    std::string source_;
    const JsonKindWords& words_;
    const std::string* text_;
};

}  // namespace nimbrel
