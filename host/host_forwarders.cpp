#include "host/host_forwarders.h"

#include "host/host_function_table.h"

namespace kelvane {
namespace {

// A call through one table entry, with the entry's own parameter types so that
// nothing is converted on the way.
template <typename Result, typename... Params>
struct HostCall {
    Result (*entry)(Params...);
    Result operator()(Params... args) const {
        if (entry == nullptr) return Result();
        return entry(args...);
    }
};

template <typename Result, typename... Params>
HostCall<Result, Params...> through(Result (*entry)(Params...)) {
    return {entry};
}

}  // namespace

#define KELVANE_HOST_FUNCTION(result, name, params)                     \
    result name(KELVANE_PARAMS(params)) {                               \
        return through(hostFunctionTable().name)(KELVANE_ARGS(params)); \
    }
#define KELVANE_HOST_FUNCTION_BOUND_ONLY(result, name, params)
#include "host/host_function_list.inc"

}  // namespace kelvane
