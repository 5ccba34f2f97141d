#pragma once
// What the stand-in host's strict JSON readers (workspace files, dialog
// scripts) say about what they read: a text quoted short, the kind of a value,
// a key that is not among the known ones.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace nimbrel {

// How messages call the kinds of value: a workspace file in JSON's own words,
// a dialog script in its authors' ("a text", "a whole number", "a list").
struct JsonKindWords {
    const char* text;
    const char* wholeNumber;
    const char* list;
};
inline constexpr JsonKindWords kJsonKindWords{"a string", "an integer", "an array"};
inline constexpr JsonKindWords kScriptKindWords{"a text", "a whole number", "a list"};

// A text quoted as in JSON, so that it stays on one line; cut at 40 bytes with
// "..." before the closing quote.
std::string quotedExcerpt(const std::string& text);

// What a value is, for "got ..." in messages: "a text (\"x\")", "a whole number (3)".
std::string describeJson(const nlohmann::ordered_json& value, const JsonKindWords& words);

// The member key of object, or null.
const nlohmann::ordered_json* findMember(const nlohmann::ordered_json& object, const char* key);

// The first key of object that is not among keys, if any.
std::optional<std::string> unknownKey(const nlohmann::ordered_json& object, const std::vector<const char*>& keys);

// A JSON library error other than a syntax error in our words: "the number
// 1e400 is too large to hold (beyond about 1.8e308)".
std::string jsonLibraryError(const nlohmann::ordered_json::exception& error);

// "a, b, c".
std::string keyList(const std::vector<const char*>& keys);

}  // namespace nimbrel
