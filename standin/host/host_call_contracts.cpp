#include "standin/host/host_call_contracts.h"

#include "host/host_contract.h"
#include "host/host_signature_macros.h"
#include "host/nrvmp_record.h"

namespace nimbrel {
namespace {

using namespace kelvane;
using namespace kelvane::contract;

std::vector<HostCallContract> listedContracts() {
    std::vector<HostCallContract> contracts = {
#define KELVANE_HOST_FUNCTION(result, name, params) \
    {#name, std::vector<Argument>(KELVANE_ARITY params, Unstated), ResultValue, "", false},
#include "host/host_function_list.inc"
    };
#define KELVANE_HOST_FUNCTION(result, name, params)
#define KELVANE_HOST_CONTRACT(name, arguments, resultKind, note)  \
    contracts[static_cast<std::size_t>(HostFunctionId::name)] = { \
        #name, std::vector<Argument>{KELVANE_UNPAREN arguments}, resultKind, note, true};
#include "host/host_function_list.inc"
    return contracts;
}

}  // namespace

const std::vector<HostCallContract>& hostCallContracts() {
    static const std::vector<HostCallContract> contracts = listedContracts();
    return contracts;
}

const HostCallContract& hostCallContract(HostFunctionId function) {
    return hostCallContracts()[static_cast<std::size_t>(function)];
}

std::size_t statedBytes(HostFunctionId function, std::size_t argument) {
    const HostCallContract& contract = hostCallContract(function);
    return argument < contract.arguments.size() ? contract.arguments[argument].bytes : 0;
}

}  // namespace nimbrel
