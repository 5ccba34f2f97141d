#include "standin/dialog_script.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <set>
#include <sstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "standin/input_file.h"
#include "standin/json_messages.h"
#include "standin/strict_json.h"
#include "standin/workspace_json.h"

namespace nimbrel {
namespace {

using json = nlohmann::ordered_json;

// ---------------------------------------------------------------------------
// The declaration around the value: comments, var NAME =, the value, ";".

class Declaration {
public:
    Declaration(const std::string& text, std::string source) : text_(text), source_(std::move(source)) {}

    [[noreturn]] void fail(std::size_t offset, const std::string& what) const {
        throw DialogScriptError(source_ + ": " + lineAndColumn(text_, offset) + ": " + what);
    }

    // Blanks every comment (keeping line breaks, so that positions hold) and
    // refuses what the format leaves out.
    std::string withoutComments() const {
        std::string plain = text_;
        std::size_t i = 0;
        if (plain.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            plain.replace(0, 3, "   ");
            i = 3;
        }
        while (i < plain.size()) {
            const char c = plain[i];
            if (c == '"') {
                i = afterString(plain, i);
            } else if (c == '\'' || c == '`') {
                fail(i, "texts are written in double quotes in a dialog script");
            } else if (c == '/' && i + 1 < plain.size() && plain[i + 1] == '/') {
                while (i < plain.size() && plain[i] != '\n') plain[i++] = ' ';
            } else if (c == '/' && i + 1 < plain.size() && plain[i + 1] == '*') {
                const std::size_t start = i;
                const std::size_t end = plain.find("*/", i + 2);
                if (end == std::string::npos) fail(start, "the comment that starts here never ends (no */)");
                for (; i < end + 2; ++i)
                    if (plain[i] != '\n') plain[i] = ' ';
            } else {
                ++i;
            }
        }
        return plain;
    }

    // The offsets of the JSON value within the text: [begin, end).
    std::pair<std::size_t, std::size_t> value(const std::string& plain) {
        std::size_t i = skipBlanks(plain, 0);
        if (i == plain.size()) fail(i, "the script declares nothing; expected var NAME = { ... };");
        const std::size_t keywordAt = i;
        const std::string keyword = word(plain, i);
        if (keyword != "var" && keyword != "let" && keyword != "const")
            fail(keywordAt, "expected var, let or const, the start of the one declaration; got " +
                                (keyword.empty() ? quotedExcerpt(plain.substr(i, 1)) : quotedExcerpt(keyword)));
        i = skipBlanks(plain, keywordAt + keyword.size());
        const std::size_t nameAt = i;
        variable_ = word(plain, i);
        if (variable_.empty() || std::isdigit(static_cast<unsigned char>(variable_[0])))
            fail(nameAt, "expected the name of the declared variable after " + keyword);
        i = skipBlanks(plain, nameAt + variable_.size());
        if (i == plain.size() || plain[i] != '=') fail(i, "expected '=' after " + keyword + " " + variable_);
        const std::size_t begin = skipBlanks(plain, i + 1);
        std::size_t end = plain.size();
        while (end > begin && isBlank(plain[end - 1])) --end;
        if (end > begin && plain[end - 1] == ';') --end;
        if (end == begin) fail(begin, "expected a value after '='");
        return {begin, end};
    }

    const std::string& variable() const { return variable_; }

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    static std::size_t skipBlanks(const std::string& text, std::size_t i) {
        while (i < text.size() && isBlank(text[i])) ++i;
        return i;
    }

    static bool isWordCharacter(char c) {
        return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '$';
    }

    static std::string word(const std::string& text, std::size_t i) {
        std::size_t end = i;
        while (end < text.size() && isWordCharacter(text[end])) ++end;
        return text.substr(i, end - i);
    }

    // The offset after the text in double quotes that starts at i.
    std::size_t afterString(const std::string& text, std::size_t i) const {
        const std::size_t start = i++;
        while (i < text.size()) {
            if (text[i] == '\\') {
                i += 2;
            } else if (text[i] == '"') {
                return i + 1;
            } else if (text[i] == '\n') {
                fail(start, "the text that starts here does not end on its line");
            } else {
                ++i;
            }
        }
        fail(start, "the text that starts here never ends (no closing \")");
    }

    const std::string& text_;
    std::string source_;
    std::string variable_;
};

// ---------------------------------------------------------------------------
// The value: JSON, read strictly.

json parseValue(const std::string& whole, std::size_t begin, std::size_t end, const std::string& source) {
    try {
        return parseStrictJson(whole, begin, end);
    } catch (const StrictJsonError& error) {
        std::string what = error.what();
        switch (error.kind) {
            case StrictJsonError::Kind::DuplicateKey:
                throw DialogScriptError(source + ": the key " + quotedExcerpt(what) + " appears twice in one object");
            case StrictJsonError::Kind::Syntax: {
                // "line 1, column 11: syntax error ...": the place counted again in the whole script.
                if (const auto colon = what.find(": "); colon != std::string::npos) what = what.substr(colon + 2);
                const std::size_t offset = begin + (error.byte > 0 ? error.byte - 1 : 0);
                if (what.find("expected end of input") != std::string::npos)
                    what = "more follows the value; a dialog script is one declaration, ended by at most one ';'";
                throw DialogScriptError(source + ": " + lineAndColumn(whole, offset) + ": " + what);
            }
            case StrictJsonError::Kind::Other:
                break;
        }
        throw DialogScriptError(source + ": " + what);
    }
}

bool isParameterName(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

class Reader {
public:
    explicit Reader(std::string source) : source_(std::move(source)) {}

    DialogScript script(const json& value, std::string variable) const {
        DialogScript script;
        script.variable = std::move(variable);
        object(value, "top level", {"title", "parameters"});
        if (const json* title = findMember(value, "title")) script.title = text(*title, "title");
        const json* list = findMember(value, "parameters");
        if (list == nullptr) fail("top level", "the list \"parameters\" is missing");
        if (!list->is_array()) expected("parameters", "a list", *list);
        for (std::size_t i = 0; i < list->size(); ++i) script.parameters.push_back(parameter((*list)[i], i));
        checkNamesAndSwitches(script);
        return script;
    }

private:
    [[noreturn]] void fail(const std::string& where, const std::string& what) const {
        throw DialogScriptError(source_ + ": " + where + ": " + what);
    }

    [[noreturn]] void expected(const std::string& where, const std::string& what, const json& got) const {
        fail(where, "expected " + what + ", got " + describeJson(got, kScriptKindWords));
    }

    void object(const json& value, const std::string& where, std::initializer_list<const char*> keys) const {
        if (!value.is_object()) expected(where, "an object", value);
        if (const auto key = unknownKey(value, keys))
            fail(where, "unknown key " + quotedExcerpt(*key) + "; expected one of " + keyList(keys));
    }

    std::string text(const json& value, const std::string& where) const {
        if (!value.is_string()) expected(where, "a text", value);
        return value.get<std::string>();
    }

    // "parameters[3]", or "parameter \"MinP\"" once the name is known.
    static std::string place(std::size_t index, const std::string& name, const char* key) {
        std::string where = name.empty()
                                ? "parameters[" + std::to_string(index) + "]"
                                : "parameter " + quotedExcerpt(name) + " (parameters[" + std::to_string(index) + "])";
        return key != nullptr ? where + ", " + key : where;
    }

    DialogParameter parameter(const json& value, std::size_t index) const {
        DialogParameter p;
        object(value, place(index, "", nullptr), {"name", "type", "label", "default", "choices", "enabledBy"});
        const json* name = findMember(value, "name");
        if (name == nullptr) fail(place(index, "", nullptr), "\"name\" is missing");
        p.name = text(*name, place(index, "", "name"));
        if (!isParameterName(p.name))
            fail(place(index, "", "name"),
                 "expected a name of letters, digits and _ that does not start with a digit, got " +
                     quotedExcerpt(p.name));
        auto where = [&](const char* key) { return place(index, p.name, key); };
        for (const char* required : {"type", "label", "default"})
            if (findMember(value, required) == nullptr)
                fail(where(nullptr), "\"" + std::string(required) + "\" is missing");

        const std::string type = text(value["type"], where("type"));
        if (type == "switch")
            p.type = DialogType::Switch;
        else if (type == "int")
            p.type = DialogType::Int;
        else if (type == "float")
            p.type = DialogType::Float;
        else if (type == "string")
            p.type = DialogType::String;
        else
            fail(where("type"), "expected \"switch\", \"int\", \"float\" or \"string\", got " + quotedExcerpt(type));

        p.label = text(value["label"], where("label"));
        if (p.label.empty()) fail(where("label"), "the label is empty; the user needs one");

        if (const json* choices = findMember(value, "choices")) {
            if (p.type != DialogType::Int)
                fail(where("choices"), "only an int parameter can have choices (this one is a " + type + ")");
            if (!choices->is_array() || choices->empty()) expected(where("choices"), "a list of labels", *choices);
            for (const json& choice : *choices) {
                std::string label = text(choice, where("choices"));
                if (label.empty()) fail(where("choices"), "a choice's label is empty");
                p.choices.push_back(std::move(label));
            }
        }
        p.defaultValue = defaultValue(value["default"], p, where("default"));
        if (const json* enabledBy = findMember(value, "enabledBy")) p.enabledBy = text(*enabledBy, where("enabledBy"));
        return p;
    }

    Parameter defaultValue(const json& value, const DialogParameter& p, const std::string& where) const {
        switch (p.type) {
            case DialogType::Switch:
                if (value.is_boolean()) return Parameter::ofInteger(value.get<bool>() ? 1 : 0);
                if (value.is_number_integer() && (value.get<int64_t>() == 0 || value.get<int64_t>() == 1))
                    return Parameter::ofInteger(static_cast<int32_t>(value.get<int64_t>()));
                expected(where, "0 or 1 for a switch", value);
            case DialogType::Int: {
                if (!value.is_number_integer()) expected(where, "a whole number", value);
                const bool fits = value.is_number_unsigned()
                                      ? value.get<uint64_t>() <= static_cast<uint64_t>(INT32_MAX)
                                      : value.get<int64_t>() >= INT32_MIN && value.get<int64_t>() <= INT32_MAX;
                if (!fits) expected(where, "a whole number from -2147483648 to 2147483647", value);
                const auto number = static_cast<int32_t>(value.get<int64_t>());
                if (!p.choices.empty() && (number < 0 || static_cast<std::size_t>(number) >= p.choices.size()))
                    fail(where, "expected one of the choices' values, 0 to " + std::to_string(p.choices.size() - 1) +
                                    ", got " + value.dump());
                return Parameter::ofInteger(number);
            }
            case DialogType::Float: {
                if (!value.is_number()) expected(where, "a number", value);
                const double number = value.get<double>();
                if (!std::isfinite(number) || std::fabs(number) > static_cast<double>(FLT_MAX))
                    expected(where, "a number within single-precision range", value);
                return Parameter::ofFloat(static_cast<float>(number));
            }
            case DialogType::String: {
                std::string text = this->text(value, where);
                if (text.size() > kLongestDialogText)
                    fail(where, "the text has " + std::to_string(text.size()) + " bytes; a string parameter holds " +
                                    std::to_string(kLongestDialogText) + " at most");
                if (text.find('\0') != std::string::npos) fail(where, "the text holds a zero character");
                return Parameter::ofText(std::move(text));
            }
        }
        fail(where, "unknown type");
    }

    void checkNamesAndSwitches(const DialogScript& script) const {
        std::set<std::string> names;
        for (std::size_t i = 0; i < script.parameters.size(); ++i)
            if (!names.insert(script.parameters[i].name).second)
                fail(place(i, script.parameters[i].name, "name"), "the name is declared twice");
        for (std::size_t i = 0; i < script.parameters.size(); ++i) {
            const DialogParameter& p = script.parameters[i];
            if (p.enabledBy.empty()) continue;
            const DialogParameter* by = script.find(p.enabledBy);
            const std::string where = place(i, p.name, "enabledBy");
            if (by == nullptr) fail(where, quotedExcerpt(p.enabledBy) + " is not a parameter of this script");
            if (by->type != DialogType::Switch)
                fail(where, quotedExcerpt(p.enabledBy) + " is of type " + dialogTypeName(by->type) + ", not a switch");
            // Following the chain must end, or no parameter on it could ever be enabled.
            const DialogParameter* step = &p;
            for (std::size_t hops = 0; step != nullptr && !step->enabledBy.empty(); ++hops) {
                if (hops > script.parameters.size()) fail(where, "the chain of enabledBy switches loops");
                step = script.find(step->enabledBy);
            }
        }
    }

    std::string source_;
};

}  // namespace

const char* dialogTypeName(DialogType type) {
    switch (type) {
        case DialogType::Switch:
            return "switch";
        case DialogType::Int:
            return "int";
        case DialogType::Float:
            return "float";
        case DialogType::String:
            return "string";
    }
    return "unknown";
}

const DialogParameter* DialogScript::find(const std::string& name) const {
    for (const DialogParameter& p : parameters)
        if (p.name == name) return &p;
    return nullptr;
}

DeclaredParameters DialogScript::declared() const {
    DeclaredParameters names;
    for (const DialogParameter& p : parameters) names[p.name] = p.defaultValue.kind;
    return names;
}

DialogScript parseDialogScript(const std::string& text, const std::string& source) {
    try {
        requireUtf8(text, source);
        Declaration declaration(text, source);
        const std::string plain = declaration.withoutComments();
        const auto [begin, end] = declaration.value(plain);
        return Reader(source).script(parseValue(plain, begin, end, source), declaration.variable());
    } catch (const DialogScriptError&) {
        throw;
    } catch (const InputError& error) {
        throw DialogScriptError(error.what());
    } catch (const std::exception& error) {
        throw DialogScriptError(source + ": " + error.what());
    }
}

DialogScript readDialogScript(const std::string& path) {
    std::string text;
    try {
        text = readInput(path, kLargestDialogScript, "a dialog script");
    } catch (const InputError& error) {
        throw DialogScriptError(error.what());
    }
    return parseDialogScript(text, inputName(path));
}

std::string dialogScriptBeside(const std::string& pluginPath, const std::string& guiScript) {
    if (guiScript.empty()) return "";
    namespace fs = std::filesystem;
    return (fs::path(pluginPath).parent_path() / fs::path(guiScript)).lexically_normal().string();
}

std::vector<std::string> applyDialogDefaults(const DialogScript& script, Workspace& workspace) {
    std::vector<std::string> applied;
    for (const DialogParameter& p : script.parameters)
        if (workspace.parameters.emplace(p.name, p.defaultValue).second) applied.push_back(p.name);
    return applied;
}

std::string parameterValueText(const Parameter& parameter) {
    switch (parameter.kind) {
        case Parameter::Kind::Integer:
            return std::to_string(parameter.integer);
        case Parameter::Kind::Float: {
            // A float shows a point even when whole, so that it reads as a float.
            std::string text = shortestFloatText(parameter.real);
            return text.find_first_of(".en") == std::string::npos ? text + ".0" : text;
        }
        case Parameter::Kind::Text:
            return quotedExcerpt(parameter.text);
    }
    return "";
}

}  // namespace nimbrel
