// The contracts of the host function list: each follows its function and says
// what every one of its arguments is.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/host_call_contract.h"
#include "host/host_contract.h"
#include "host/host_signature_macros.h"
#include "host/nrvmp_record.h"

namespace kelvane {
namespace {

using namespace contract;

// A contract names a listed function and says what each of its arguments is.
#define KELVANE_HOST_FUNCTION(result, name, params) constexpr std::size_t arity_##name = KELVANE_ARITY params;
#define KELVANE_HOST_CONTRACT(name, arguments, result, note)                                         \
    static_assert(std::initializer_list<Argument>{KELVANE_UNPAREN arguments}.size() == arity_##name, \
                  #name ": one word per argument");
#include "host/host_function_list.inc"

std::vector<std::string> contracted() {
    return {
#define KELVANE_HOST_FUNCTION(result, name, params)
#define KELVANE_HOST_CONTRACT(name, arguments, result, note) #name,
#include "host/host_function_list.inc"
    };
}

// The plug-in's own code calls these and relies on what their contracts say.
TEST(HostCallContract, TheFunctionsThePluginCallsHaveOne) {
    EXPECT_EQ(
        contracted(),
        (std::vector<std::string>{
            "nbGetVersionOfNimbrel", "nbShowLogTab", "nbLogText", "nbMessageBox", "nbUpdateActiveWindow",
            "nbGetNumberOfDocsInWorkspace", "nbGetDocumentType", "nbGetDocumentTypeName", "nbGetIDOfCurrentDocument",
            "nbGetNRVMPsOfCurrentVMR", "nbGetNRVMPOfCurrentVMR", "nbSetNRVMPParametersOfCurrentVMR",
            "nbCreateNRVMPsForCurrentVMR", "nbGetStringParameter", "nbGetIntParameter", "nbGetFloatParameter"}));
}

}  // namespace
}  // namespace kelvane
