#pragma once
// One forwarding function per host function, bearing its name: the only way
// the plug-in's code reaches the host. A forwarder passes its arguments and the
// host's result through unchanged (a float goes as a float); when the host did
// not export the function it makes no call and returns a zero result.

#include <cstdint>

#include "host/host_signature_macros.h"

namespace kelvane {

struct NRVMPRecord;
struct NRVMPsHeader;

#define KELVANE_HOST_FUNCTION(result, name, params) result name(KELVANE_PARAMS(params));
#define KELVANE_HOST_FUNCTION_BOUND_ONLY(result, name, params)
#include "host/host_function_list.inc"

}  // namespace kelvane
