#include "host/host_function_table.h"

#include "host/host_contract.h"
#include "host/module_lookup.h"

namespace kelvane {
namespace {

HostFunctionTable table;  // all null until the first binding

template <typename Entry>
Entry lookUp(const platform::LoadedModule& module, const char* name) {
    return reinterpret_cast<Entry>(module.exportNamed(name));
}

}  // namespace

HostFunctionTable& hostFunctionTable() {
    return table;
}

bool bindHostFunctions() {
    platform::LoadedModule host(kHostModuleFileName);
    if (!host.found()) return false;

    // The list begins with the version function: the host must export it, and
    // nothing else is bound without it. Every later name replaces its entry
    // with what the lookup gave, null included.
    bool first = true;
#define KELVANE_HOST_FUNCTION(result, name, params)         \
    table.name = lookUp<decltype(table.name)>(host, #name); \
    if (first && table.name == nullptr) return false;       \
    first = false;
#include "host/host_function_list.inc"
    return true;
}

}  // namespace kelvane
