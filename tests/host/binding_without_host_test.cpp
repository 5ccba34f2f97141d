// A process with no module called Nimbrel.exe: this program has another name.

#include <gtest/gtest.h>

#include <cstring>

#include "host/host_forwarders.h"
#include "host/host_function_table.h"
#include "host/nrvmp_record.h"

namespace kelvane {
namespace {

bool allNull(const HostFunctionTable& table) {
    static const HostFunctionTable empty;
    return std::memcmp(&table, &empty, sizeof table) == 0;
}

TEST(BindingWithoutHost, FailsAndLeavesTheTableAsItWas) {
    EXPECT_FALSE(bindHostFunctions());
    EXPECT_TRUE(allNull(hostFunctionTable()));
}

TEST(BindingWithoutHost, ForwardersAnswerZeroWithoutCalling) {
    ASSERT_FALSE(bindHostFunctions());
    NRVMPRecord record{};
    EXPECT_FALSE(nbLogText("nobody listens"));
    EXPECT_EQ(nbGetNRVMPOfCurrentVMR(0, &record), nullptr);
    EXPECT_EQ(nbGetIDOfCurrentDocument(), 0);
    EXPECT_EQ(nbGetFloatParameter("Min"), 0.0f);
}

}  // namespace
}  // namespace kelvane
