#include "standin/files/dialog_script.h"

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <set>

#include <nlohmann/json.hpp>

#include "standin/files/input_file.h"
#include "standin/files/json_messages.h"
#include "standin/files/json_reader.h"
#include "standin/base/native_path.h"
#include "standin/files/strict_json.h"
#include "standin/files/workspace_json.h"

namespace nimbrel {
namespace {

using json = nlohmann::ordered_json;

// ---------------------------------------------------------------------------
// The declaration around the value: var NAME = VALUE; with comments anywhere.
// The value's own comments are the JSON reader's to skip.

class Declaration {
public:
    Declaration(const std::string& text, std::string source) : text_(text), source_(std::move(source)) {}

    [[noreturn]] void fail(std::size_t offset, const std::string& what) const {
        throw DialogScriptError(source_ + ": " + lineAndColumn(text_, offset) + ": " + what);
    }

    // The declared value, read strictly; its variable's name in variable().
    json value() {
        std::size_t i = skipBlanks(text_.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0);
        if (i == text_.size()) fail(i, "the script declares nothing; expected var NAME = { ... };");
        const std::size_t keywordAt = i;
        const std::string keyword = word(i);
        if (keyword != "var" && keyword != "let" && keyword != "const")
            fail(keywordAt, "expected var, let or const, the start of the one declaration; got " +
                                quotedExcerpt(keyword.empty() ? text_.substr(i, 1) : keyword));
        const std::size_t nameAt = skipBlanks(keywordAt + keyword.size());
        variable_ = word(nameAt);
        if (variable_.empty() || std::isdigit(static_cast<unsigned char>(variable_[0])))
            fail(nameAt, "expected the name of the declared variable after " + keyword);
        i = skipBlanks(nameAt + variable_.size());
        if (i == text_.size() || text_[i] != '=') fail(i, "expected '=' after " + keyword + " " + variable_);
        const std::size_t begin = skipBlanks(i + 1);
        if (begin == text_.size() || text_[begin] == ';') fail(begin, "expected a value after '='");
        try {
            return parseStrictJson(text_, begin, std::string::npos, {}, true);
        } catch (const StrictJsonError& error) {
            if (error.kind != StrictJsonError::Kind::Syntax) throw;
            const std::size_t at = begin + (error.byte > 0 ? error.byte - 1 : 0);
            const std::string what = error.what();
            if (what.find("expected end of input") == std::string::npos) {
                if (at < text_.size() && (text_[at] == '\'' || text_[at] == '`'))
                    fail(at, "texts are written in double quotes in a dialog script");
                fail(at, what.substr(what.find(": ") + 2));
            }
            // The value is whole: what follows may be one ';' and comments.
            if (at >= text_.size() || text_[at] != ';' || skipBlanks(at + 1) != text_.size())
                fail(at, "more follows the value; a dialog script is one declaration, ended by at most one ';'");
            return parseStrictJson(text_, begin, at, {}, true);
        }
    }

    const std::string& variable() const { return variable_; }

private:
    // The offset after the blanks and comments from i on.
    std::size_t skipBlanks(std::size_t i) const {
        while (i < text_.size()) {
            if (text_[i] == ' ' || text_[i] == '\t' || text_[i] == '\r' || text_[i] == '\n') {
                ++i;
            } else if (text_.compare(i, 2, "//") == 0) {
                i = std::min(text_.find('\n', i), text_.size());
            } else if (text_.compare(i, 2, "/*") == 0) {
                const std::size_t end = text_.find("*/", i + 2);
                if (end == std::string::npos) fail(i, "the comment that starts here never ends (no */)");
                i = end + 2;
            } else {
                break;
            }
        }
        return i;
    }

    std::string word(std::size_t i) const {
        std::size_t end = i;
        while (end < text_.size() &&
               (std::isalnum(static_cast<unsigned char>(text_[end])) != 0 || text_[end] == '_' || text_[end] == '$'))
            ++end;
        return text_.substr(i, end - i);
    }

    const std::string& text_;
    std::string source_;
    std::string variable_;
};

bool isParameterName(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    for (char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

class Reader : public JsonReader<DialogScriptError> {
public:
    explicit Reader(std::string source) : JsonReader(std::move(source), kScriptKindWords) {}

    DialogScript script(const json& value, std::string variable) const {
        DialogScript script;
        script.variable = std::move(variable);
        object(value, "", {"title", "parameters"});
        if (const json* title = findMember(value, "title")) script.title = text(*title, "title");
        const json* list = findMember(value, "parameters");
        if (list == nullptr) fail("top level", "the list \"parameters\" is missing");
        if (!list->is_array()) expected("parameters", "a list", *list);
        for (std::size_t i = 0; i < list->size(); ++i) script.parameters.push_back(parameter((*list)[i], i));
        checkNamesAndSwitches(script);
        return script;
    }

private:
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
                if (const auto refusal = textParameterRefusal(text)) fail(where, *refusal);
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
        const json value = declaration.value();
        return Reader(source).script(value, declaration.variable());
    } catch (const DialogScriptError&) {
        throw;
    } catch (const StrictJsonError& error) {
        if (error.kind == StrictJsonError::Kind::DuplicateKey)
            throw DialogScriptError(source + ": the key " + quotedExcerpt(error.what()) +
                                    " appears twice in one object");
        throw DialogScriptError(source + ": " + error.what());
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
    return utf8Path((nativePath(pluginPath).parent_path() / nativePath(guiScript)).lexically_normal());
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
