#pragma once
// The process-wide table of host entry points, bound by name.

#include <cstdint>

namespace kelvane {

struct NRVMPRecord;
struct NRVMPsHeader;

// One entry per host function, null until bound. Binding fills every entry;
// nothing ever clears them.
//
// When a host function may be called: only after initPlugin has bound the
// table, on the thread the host called initPlugin or execute on; the
// forwarders answer zero, making no call, for an entry still null. The
// descriptor functions and createPlugin call none. The table is written
// without a lock by each initPlugin and read by every later call: the host
// never calls the plug-in from two threads at once.
struct HostFunctionTable {
#define KELVANE_HOST_FUNCTION(result, name, params) result(*name) params = nullptr;
#include "host/host_function_list.inc"
};

// The table of this plug-in library (one per loaded library, shared by all
// plug-in objects).
HostFunctionTable& hostFunctionTable();

// Finds the host module among the modules already loaded and looks every host
// function up by name, in list order. False, with the table left as it was,
// when there is no host module; false after storing the null entry when the
// host lacks its version function. Otherwise every entry is replaced by what
// the lookup gave (null for a name the host does not export) and true.
bool bindHostFunctions();

}  // namespace kelvane
