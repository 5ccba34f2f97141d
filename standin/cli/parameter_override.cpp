#include "standin/cli/parameter_override.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <system_error>

#include "standin/cli/terminal_text.h"
#include "standin/files/workspace_json.h"

namespace nimbrel {
namespace {

// A leading '+' is allowed; nothing else may stand around the number.
std::string_view withoutPlus(const std::string& text) {
    std::string_view view(text);
    if (view.size() > 1 && view[0] == '+' && view[1] != '-') view.remove_prefix(1);
    return view;
}

// The number a text spells, as a workspace file's JSON would hold it: an
// integer when written with digits alone, else a float read through a
// double; none for any other text.
std::optional<nlohmann::ordered_json> numberOfText(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789+-.eE") != std::string::npos) return std::nullopt;
    const std::string_view view = withoutPlus(text);
    int64_t integer = 0;
    auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), integer);
    if (error == std::errc() && end == view.data() + view.size()) return nlohmann::ordered_json(integer);
    // strtod rounds as a JSON reader does, a tiny number to 0 among them.
    const std::string digits(view);
    char* last = nullptr;
    const double real = std::strtod(digits.c_str(), &last);
    if (last != digits.c_str() + digits.size() || !std::isfinite(real)) return std::nullopt;
    return nlohmann::ordered_json(real);
}

// How many columns of a refused text an error shows.
constexpr std::size_t kShownValueColumns = 40;

std::string describe(const std::string& name, const std::string& value) {
    return "--param " + name + "=" + value + ": ";
}

// A text the host's getter can hand over whole; the value shown short.
Parameter textParameter(const std::string& name, const std::string& value) {
    if (const auto refusal = textParameterRefusal(value))
        throw ParameterError("--param " + name + "=" + clipColumns(value, kShownValueColumns, kAsciiMarks) + ": " +
                             *refusal);
    return Parameter::ofText(value);
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
    const std::optional<nlohmann::ordered_json> number = numberOfText(value);
    if (!kind) {
        try {
            if (number && number->is_number_integer())
                if (const auto integer = wholeInt32(*number, value)) return Parameter::ofInteger(*integer);
        } catch (const NumberRangeError&) {
            // beyond 32 bits: a float, as below
        }
        try {
            if (number) return Parameter::ofFloat(nearestFloat(number->get<double>(), value));
        } catch (const NumberRangeError&) {
            // beyond single precision: a text
        }
        return textParameter(name, value);
    }
    switch (*kind) {
        case Parameter::Kind::Integer: {
            const std::string intro = describe(name, value) + name + " is an integer parameter; ";
            try {
                if (number)
                    if (const auto integer = wholeInt32(*number, value)) return Parameter::ofInteger(*integer);
            } catch (const NumberRangeError& error) {
                throw ParameterError(intro + error.what());
            }
            throw ParameterError(intro + "expected an integer from -2147483648 to 2147483647");
        }
        case Parameter::Kind::Float: {
            const std::string intro = describe(name, value) + name + " is a float parameter; ";
            try {
                if (number) return Parameter::ofFloat(nearestFloat(number->get<double>(), value));
            } catch (const NumberRangeError& error) {
                throw ParameterError(intro + error.what());
            }
            if (auto special = floatOfSpecialText(value)) return Parameter::ofFloat(*special);
            throw ParameterError(intro + "expected a number in single-precision range, or NaN, Infinity or -Infinity");
        }
        case Parameter::Kind::Text:
            break;
    }
    return textParameter(name, value);
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
