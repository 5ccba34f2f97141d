#pragma once
// What the host function list says of each function's calls, as the stand-in
// reads it: one entry per listed function, in list order, made from the
// list's KELVANE_HOST_CONTRACT lines, so that a function added to the list
// brings its contract along. A function listed without a contract has
// unstated arguments and a value for a result; the rules of
// host/host_call_contract.h that hold for every function (the host's thread
// only, only while a call into the plug-in runs) hold for it all the same.

#include <cstddef>
#include <vector>

#include "host/host_call_contract.h"

namespace nimbrel {

// Every listed host function, by its name, in list order.
enum class HostFunctionId {
#define KELVANE_HOST_FUNCTION(result, name, params) name,
#include "host/host_function_list.inc"
};

struct HostCallContract {
    const char* name;
    // One per parameter; all Unstated when the list states no contract.
    std::vector<kelvane::contract::Argument> arguments;
    kelvane::contract::ResultKind result = kelvane::contract::ResultKind::Value;
    const char* note = "";  // the list's note, empty when it states no contract
    bool stated = false;    // whether the list states a contract
};

// The contract of each listed function, indexed by HostFunctionId.
const std::vector<HostCallContract>& hostCallContracts();
const HostCallContract& hostCallContract(HostFunctionId function);

// The bytes of a buffer argument (Filled or Read) the contract states.
std::size_t statedBytes(HostFunctionId function, std::size_t argument);

}  // namespace nimbrel
