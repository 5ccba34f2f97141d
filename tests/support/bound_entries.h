#pragma once
// The host function table as the last binding left it, entry by entry in the
// order of the host function list.

#include <string>
#include <utility>
#include <vector>

#include "host/host_function_table.h"

namespace kelvane::testing {

using BoundEntries = std::vector<std::pair<std::string, void (*)()>>;

inline BoundEntries boundEntries() {
    const HostFunctionTable& table = hostFunctionTable();
    return {
#define KELVANE_HOST_FUNCTION(result, name, params) {#name, reinterpret_cast<void (*)()>(table.name)},
#include "host/host_function_list.inc"
    };
}

// The names of the host functions the binding found no entry for.
inline std::vector<std::string> unboundNames() {
    std::vector<std::string> names;
    for (const auto& [name, address] : boundEntries())
        if (address == nullptr) names.push_back(name);
    return names;
}

}  // namespace kelvane::testing
