#include "authoring/host_catalog.h"

#include <stdexcept>

#include "host/host_contract.h"
#include "host/host_signature_macros.h"
#include "host/nrvmp_record.h"

namespace kelvane::authoring {

// The list's contracts are written in these words and sizes.
using namespace contract;

namespace {

// "(int32_t*, float)" as the preprocessor spells a parameter list: its types.
std::vector<std::string> typesOf(const std::string& list) {
    std::vector<std::string> types;
    const std::string inside = list.substr(1, list.size() - 2);
    for (std::size_t begin = 0; begin < inside.size();) {
        std::size_t comma = inside.find(',', begin);
        if (comma == std::string::npos) comma = inside.size();
        types.push_back(inside.substr(begin, comma - begin));
        begin = inside.find_first_not_of(' ', comma + 1);
    }
    return types;
}

void addContract(std::vector<HostFunction>& functions, const char* name, HostContract contract) {
    if (functions.empty() || functions.back().name != name)
        throw std::logic_error(std::string("the contract of ") + name + " does not follow its function");
    if (contract.arguments.size() != functions.back().parameters.size())
        throw std::logic_error(std::string("the contract of ") + name + " does not give one word per parameter");
    functions.back().contract = std::move(contract);
}

std::string dialogTypesServed(Getter getter) {
    switch (getter) {
        case Getter::Integer:
            return "switch or int";
        case Getter::Float:
            return "float";
        case Getter::Text:
            return "string";
        case Getter::None:
            break;
    }
    return "any type";
}

}  // namespace

std::string HostFunction::signature() const {
    std::string text = result + " " + name + "(";
    for (std::size_t i = 0; i < parameters.size(); ++i) text += (i == 0 ? "" : ", ") + parameters[i];
    return text + (parameters.empty() ? "void)" : ")");
}

std::vector<HostFunction> hostFunctions() {
    std::vector<HostFunction> functions;
#define KELVANE_HOST_FUNCTION(result, name, params) functions.push_back({#name, #result, typesOf(#params), {}});
#define KELVANE_HOST_CONTRACT(name, arguments, result, note) \
    addContract(functions, #name, HostContract{{KELVANE_UNPAREN arguments}, result, note});
#include "host/host_function_list.inc"
    return functions;
}

std::string argumentWords(const Argument& argument) {
    switch (argument.kind) {
        case ArgumentKind::Value:
            return "a value";
        case ArgumentKind::Text:
            return "a text the host reads during the call";
        case ArgumentKind::ParameterName:
            return "the name of a dialog parameter declared as " + dialogTypesServed(argument.getter);
        case ArgumentKind::Filled:
            return "the caller's buffer of " + std::to_string(argument.bytes) +
                   " bytes, which the host fills during the call";
        case ArgumentKind::Read:
            return "the caller's buffer of " + std::to_string(argument.bytes) +
                   " bytes, which the host reads during the call";
        case ArgumentKind::Unstated:
            break;
    }
    return "unstated";
}

std::string resultWords(ResultKind result) {
    switch (result) {
        case ResultKind::Value:
            break;
        case ResultKind::HostPointer:
            return "a pointer of the host's: null or not, never read through";
        case ResultKind::TextUntilNextHostCall:
            return "a text of the host's, good only until the caller's next call into the host: copy it at once";
    }
    return "a value";
}

}  // namespace kelvane::authoring
