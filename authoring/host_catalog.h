#pragma once
// The host function list as data: every function's name, C types and, where
// the list states one, its contract. Read from host/host_function_list.inc
// through its own macros, so the files written from it follow the list.

#include <optional>
#include <string>
#include <vector>

#include "host/host_call_contract.h"

namespace kelvane::authoring {

struct HostContract {
    std::vector<contract::Argument> arguments;  // one per parameter
    contract::ResultKind result = contract::ResultKind::Value;
    std::string note;
};

struct HostFunction {
    std::string name;
    std::string result;                   // a C type: "bool", "const char*"
    std::vector<std::string> parameters;  // C types, in order
    std::optional<HostContract> contract;

    // "bool nbLogText(const char*)"; "(void)" for no parameters.
    std::string signature() const;
};

// Every host function, in the list's order. Throws std::logic_error when a
// contract does not follow the function it names or does not give one word
// per parameter.
std::vector<HostFunction> hostFunctions();

// The contract's words in plain English: "a text the host reads during the
// call".
std::string argumentWords(const contract::Argument& argument);
std::string resultWords(contract::ResultKind result);

}  // namespace kelvane::authoring
