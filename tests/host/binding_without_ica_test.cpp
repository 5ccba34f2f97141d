// A host module that lacks one function the plug-in never calls.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_forwarders.h"
#include "host/host_function_table.h"
#include "standin/host/host_session.h"
#include "tests/support/bound_entries.h"

namespace kelvane {
namespace {

TEST(BindingWithoutOneFunction, SucceedsWithOnlyThatEntryNull) {
    ASSERT_TRUE(bindHostFunctions());
    EXPECT_EQ(testing::unboundNames(), std::vector<std::string>{"nbLaunchICADialog"});
}

TEST(BindingWithoutOneFunction, ItsForwarderAnswersZeroWithoutCalling) {
    ASSERT_TRUE(bindHostFunctions());
    nimbrel::Workspace workspace;
    nimbrel::HostSession session(workspace);
    EXPECT_FALSE(nbLaunchICADialog());
    EXPECT_TRUE(session.calls().empty());
}

}  // namespace
}  // namespace kelvane
