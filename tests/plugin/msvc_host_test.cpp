// The Windows module driven by calls that Microsoft's compiler family made
// (msvc_host_calls.cpp): the proof that its dispatch table is the host's.

#include <gtest/gtest.h>
#include <malloc.h>

#include "standin/files/workspace_json.h"
#include "tests/support/standin_fixture.h"

extern "C" {
bool msvcHostInitPlugin(void* plugin);
bool msvcHostExecute(void* plugin);
void msvcHostDelete(void* plugin);
}

namespace kelvane {
namespace {

nimbrel::Workspace exampleWorkspace() {
    return nimbrel::readWorkspaceFile(KELVANE_SOURCE_DIR "/examples/default.json");
}

TEST(MicrosoftCompiledHost, RunsThePluginAsOurHostDoes) {
    nimbrel::Workspace expectedWorkspace = exampleWorkspace();
    std::vector<std::string> expectedEvents;
    {
        nimbrel::HostSession session(expectedWorkspace);
        ASSERT_TRUE(nimbrel::runPlugin(testing::pluginModule(), session).executed.value_or(false));
        expectedEvents = testing::eventLines(session);
    }

    nimbrel::Workspace workspace = exampleWorkspace();
    nimbrel::HostSession session(workspace);
    void* plugin = testing::pluginModule().createPlugin().release();
    ASSERT_NE(plugin, nullptr);
    ASSERT_TRUE(msvcHostInitPlugin(plugin));
    ASSERT_TRUE(msvcHostExecute(plugin));
    EXPECT_EQ(testing::eventLines(session).back(), "log: Kelvane>  Finished!");
    msvcHostDelete(plugin);
    EXPECT_EQ(testing::eventLines(session), expectedEvents);
    EXPECT_EQ(testing::eventLines(session).back(), "log:  ");
    ASSERT_EQ(workspace.maps.size(), expectedWorkspace.maps.size());
    for (std::size_t i = 0; i < workspace.maps.size(); ++i)
        EXPECT_EQ(nimbrel::mapToJson(workspace.maps[i]), nimbrel::mapToJson(expectedWorkspace.maps[i])) << "map " << i;
}

// Blocks of the C runtime's heap in use.
int heapBlocksInUse() {
    _HEAPINFO entry{};
    int used = 0;
    while (_heapwalk(&entry) == _HEAPOK)
        if (entry._useflag == _USEDENTRY) ++used;
    return used;
}

TEST(MicrosoftCompiledHost, DeleteFreesTheObject) {
    constexpr int kCycles = 10000;
    msvcHostDelete(testing::pluginModule().createPlugin().release());
    const int before = heapBlocksInUse();
    ASSERT_GT(before, 0) << "the C runtime's heap cannot be walked here";
    for (int i = 0; i < kCycles; ++i) msvcHostDelete(testing::pluginModule().createPlugin().release());
    EXPECT_LT(heapBlocksInUse() - before, kCycles / 100);
}

}  // namespace
}  // namespace kelvane
