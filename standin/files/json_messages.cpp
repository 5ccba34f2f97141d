#include "standin/files/json_messages.h"

namespace nimbrel {

using json = nlohmann::ordered_json;

std::string quotedExcerpt(const std::string& text) {
    constexpr std::size_t kLimit = 40;
    const bool cut = text.size() > kLimit;
    std::string quoted = json(cut ? text.substr(0, kLimit) : text).dump(-1, ' ', false, json::error_handler_t::replace);
    return cut ? quoted.insert(quoted.size() - 1, "...") : quoted;
}

std::string describeJson(const json& value, const JsonKindWords& words) {
    switch (value.type()) {
        case json::value_t::null:
            return "null";
        case json::value_t::boolean:
            return value.get<bool>() ? "true" : "false";
        case json::value_t::string:
            return std::string(words.text) + " (" + quotedExcerpt(value.get<std::string>()) + ")";
        case json::value_t::number_integer:
        case json::value_t::number_unsigned:
            return std::string(words.wholeNumber) + " (" + value.dump() + ")";
        case json::value_t::number_float:
            return "a number (" + value.dump() + ")";
        case json::value_t::object:
            return "an object";
        case json::value_t::array:
            return words.list;
        default:
            return "a value of another kind";
    }
}

const json* findMember(const json& object, const char* key) {
    auto found = object.find(key);
    return found != object.end() ? &*found : nullptr;
}

std::optional<std::string> unknownKey(const json& object, const std::vector<const char*>& keys) {
    for (const auto& item : object.items()) {
        bool known = false;
        for (const char* key : keys) known = known || item.key() == key;
        if (!known) return item.key();
    }
    return std::nullopt;
}

std::string jsonLibraryError(const json::exception& error) {
    std::string what = error.what();
    constexpr int kNumberOverflow = 406;
    if (error.id == kNumberOverflow) {
        const auto open = what.find('\''), close = what.rfind('\'');
        if (open != std::string::npos && close > open)
            return "the number " + what.substr(open + 1, close - open - 1) +
                   " is too large to hold (beyond about 1.8e308)";
    }
    const auto tag = what.find("] ");  // "[json.exception.out_of_range.406] ..."
    return tag != std::string::npos ? what.substr(tag + 2) : what;
}

std::string keyList(const std::vector<const char*>& keys) {
    std::string list;
    for (const char* key : keys) list += (list.empty() ? "" : ", ") + std::string(key);
    return list;
}

}  // namespace nimbrel
