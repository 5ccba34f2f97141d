#include "standin/parameter_override.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

#include "standin/workspace_json.h"

namespace nimbrel {
namespace {

// A leading '+' is allowed; nothing else may stand around the number.
std::string_view withoutPlus(const std::string& text) {
    std::string_view view(text);
    if (view.size() > 1 && view[0] == '+' && view[1] != '-') view.remove_prefix(1);
    return view;
}

std::optional<int32_t> wholeInt32(const std::string& text) {
    std::string_view view = withoutPlus(text);
    int32_t value = 0;
    auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (error != std::errc() || end != view.data() + view.size()) return std::nullopt;
    return value;
}

std::optional<float> wholeFiniteFloat(const std::string& text) {
    std::string_view view = withoutPlus(text);
    float value = 0.0f;
    auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value, std::chars_format::general);
    if (error != std::errc() || end != view.data() + view.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string describe(const std::string& name, const std::string& value) {
    return "--param " + name + "=" + value + ": ";
}

}  // namespace

ParameterAssignment splitAssignment(const std::string& argument) {
    auto equals = argument.find('=');
    if (equals == std::string::npos)
        throw ParameterError("--param " + argument + ": expected NAME=VALUE, with '=' between name and value");
    if (equals == 0) throw ParameterError("--param " + argument + ": the parameter name before '=' is empty");
    return {argument.substr(0, equals), argument.substr(equals + 1)};
}

Parameter parameterFromText(const std::string& name, const std::string& value, std::optional<Parameter::Kind> kind) {
    if (!kind) {
        if (auto integer = wholeInt32(value)) return Parameter::ofInteger(*integer);
        if (auto real = wholeFiniteFloat(value)) return Parameter::ofFloat(*real);
        return Parameter::ofText(value);
    }
    switch (*kind) {
        case Parameter::Kind::Integer:
            if (auto integer = wholeInt32(value)) return Parameter::ofInteger(*integer);
            throw ParameterError(describe(name, value) + name +
                                 " is an integer parameter; expected an integer from -2147483648 to 2147483647");
        case Parameter::Kind::Float:
            if (auto real = wholeFiniteFloat(value)) return Parameter::ofFloat(*real);
            if (auto special = floatOfSpecialText(value)) return Parameter::ofFloat(*special);
            throw ParameterError(describe(name, value) + name +
                                 " is a float parameter; expected a number in single-precision range, or NaN, "
                                 "Infinity or -Infinity");
        case Parameter::Kind::Text:
            break;
    }
    return Parameter::ofText(value);
}

void applyAssignment(Workspace& workspace, const std::string& argument, const DeclaredParameters* declared) {
    const ParameterAssignment assignment = splitAssignment(argument);
    std::optional<Parameter::Kind> kind;
    if (declared != nullptr) {
        const auto found = declared->find(assignment.name);
        if (found == declared->end())
            throw ParameterError(describe(assignment.name, assignment.value) +
                                 undeclaredParameter(assignment.name, *declared));
        kind = found->second;
    } else if (const auto found = workspace.parameters.find(assignment.name); found != workspace.parameters.end()) {
        kind = found->second.kind;
    }
    workspace.parameters[assignment.name] = parameterFromText(assignment.name, assignment.value, kind);
}

}  // namespace nimbrel
