// The host's plug-in interface as this stand-in exports it: every function of
// the host function list under its plain name. The functions a plug-in of this
// family relies on work for real over the current session's workspace (see
// served_functions.cpp); the others answer zero or null and say so in the
// session's trace.
//
// A host that lacks a function is this program with that export made
// unfindable afterwards (host_lacking.h).

#include "standin/host/host_exports.h"

#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>

#include "host/host_signature_macros.h"
#include "host/nrvmp_record.h"
#include "plugin/export.h"
#include "standin/host/host_call_watch.h"
#include "standin/host/host_session.h"
#include "standin/host/served_functions.h"

using kelvane::NRVMPRecord;
using kelvane::NRVMPsHeader;

#define KELVANE_STRINGIFY_EXPANDED(name) KELVANE_STRINGIFY(name)
#define KELVANE_STRINGIFY(name) #name

// A served function with another signature than the list's does not compile.
// The process's watch sees each call first (host_call_watch.h): a call it
// does not admit is answered with zero, or null.
#define KELVANE_HOST_FUNCTION(result, name, params)                                                        \
    static_assert(std::is_same_v<decltype(&nimbrel::served::name), result(*) params>, #name " as listed"); \
    KELVANE_C_EXPORT result name(KELVANE_PARAMS(params)) {                                                 \
        const nimbrel::ServingHostFunction serving(                                                        \
            nimbrel::hostCall(nimbrel::HostFunctionId::name, std::make_tuple(KELVANE_ARGS(params))));      \
        if (!serving.admitted()) return nimbrel::unserved<result>();                                       \
        return serving.answer(nimbrel::served::name(KELVANE_ARGS(params)));                                \
    }
#include "host/host_function_list.inc"

namespace nimbrel {

const std::vector<ExportedHostFunction>& exportedHostFunctions() {
    static const std::vector<ExportedHostFunction> functions = {
#define KELVANE_HOST_FUNCTION(result, name, params)                           \
    {KELVANE_STRINGIFY_EXPANDED(name), reinterpret_cast<void (*)()>(&::name), \
     &nimbrel::served::name != &nimbrel::unprovided::name},
#include "host/host_function_list.inc"
    };
    return functions;
}

}  // namespace nimbrel
