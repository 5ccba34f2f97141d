// A host module that exports everything but its version function.

#include <gtest/gtest.h>

#include <cstring>

#include "host/host_function_table.h"
#include "standin/host/host_session.h"
#include "tests/support/standin_fixture.h"

namespace kelvane {
namespace {

TEST(BindingWithoutVersionFunction, FailsWithoutFillingAnyEntry) {
    EXPECT_FALSE(bindHostFunctions());
    static const HostFunctionTable empty;
    EXPECT_EQ(std::memcmp(&hostFunctionTable(), &empty, sizeof empty), 0);
}

TEST(BindingWithoutVersionFunction, PluginRefusesInSilence) {
    nimbrel::Workspace workspace = testing::vmrWorkspace(2);
    nimbrel::HostSession session(workspace);
    nimbrel::PluginObject plugin = testing::pluginModule().createPlugin();
    ASSERT_TRUE(plugin);
    EXPECT_FALSE(plugin.initPlugin());
    plugin.destroy();
    EXPECT_TRUE(session.calls().empty());
    EXPECT_TRUE(session.events().empty());
}

}  // namespace
}  // namespace kelvane
