// A host module that lacks one function the plug-in never calls.

#include <gtest/gtest.h>

#include "host/host_forwarders.h"
#include "host/host_function_table.h"
#include "standin/host_session.h"

namespace kelvane {
namespace {

TEST(BindingWithoutOneFunction, SucceedsWithOnlyThatEntryNull) {
    ASSERT_TRUE(bindHostFunctions());
    const HostFunctionTable& table = hostFunctionTable();
    EXPECT_EQ(table.nbLaunchICADialog, nullptr);
    int nonNull = 0;
#define KELVANE_HOST_FUNCTION(result, name, arity, params) nonNull += table.name != nullptr;
#include "host/host_function_list.inc"
    EXPECT_EQ(nonNull, 149);
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
