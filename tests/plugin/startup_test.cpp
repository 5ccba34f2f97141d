// initPlugin and the plug-in object's life, through the real module, with this
// test program as the host.

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "tests/support/standin_fixture.h"

namespace kelvane {
namespace {

using Lines = std::vector<std::string>;

const Lines kOpening = {"log:  ", "log: Kelvane>  Running Kelvane Plugin...", "log: Kelvane>"};

Lines opening(Lines more = {}) {
    Lines lines = kOpening;
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

struct StartupCase {
    const char* label;
    nimbrel::HostVersion version;
    int documentType;
    int currentDocument;
    int mapCount;
    bool accepted;
    Lines events;
};

void PrintTo(const StartupCase& c, std::ostream* os) {
    *os << c.label;
}

class Startup : public ::testing::TestWithParam<StartupCase> {};

TEST_P(Startup, ChecksInOrderAndShowsOneMessageOnFailure) {
    const StartupCase& c = GetParam();
    nimbrel::Workspace workspace = testing::vmrWorkspace(c.mapCount);
    workspace.version = c.version;
    workspace.documents[0].type = c.documentType;
    workspace.documents.push_back({1, "run.fmr", {}, false});
    workspace.currentDocument = c.currentDocument;
    nimbrel::HostSession session(workspace);
    nimbrel::PluginObject plugin = testing::pluginModule().createPlugin();
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin.initPlugin(), c.accepted);
    EXPECT_EQ(testing::eventLines(session), c.events);
    plugin.destroy();
}

const char* const kTooOld = "message: Can not execute this plugin - Nimbrel version 2.2 or higher required.";

INSTANTIATE_TEST_SUITE_P(
    Table, Startup,
    ::testing::Values(
        StartupCase{"Version220", {2, 2, 0}, 3, 0, 2, true, opening()},
        StartupCase{"Version227", {2, 2, 7}, 3, 0, 2, true, opening()},
        StartupCase{"Version230", {2, 3, 0}, 3, 0, 2, true, opening()},
        StartupCase{"Version300", {3, 0, 0}, 3, 0, 2, true, opening()},
        StartupCase{"Version219", {2, 1, 9}, 3, 0, 2, false, {kTooOld}},
        StartupCase{"Version199", {1, 9, 9}, 3, 0, 2, false, {kTooOld}},
        StartupCase{"Version200", {2, 0, 0}, 3, 0, 2, false, {kTooOld}},
        StartupCase{"Version22Minus1", {2, 2, -1}, 3, 0, 2, false, {kTooOld}},
        StartupCase{
            "NoCurrentDocument", {2, 4, 0}, 3, -1, 2, false, opening({"message: No current document available."})},
        StartupCase{"CurrentIsFMR",
                    {2, 4, 0},
                    3,
                    1,
                    2,
                    false,
                    opening({"message: The currently active document is not a VMR document."})},
        StartupCase{"CurrentIsDMR",
                    {2, 4, 0},
                    2,
                    0,
                    2,
                    false,
                    opening({"message: The currently active document is not a VMR document."})},
        StartupCase{"CurrentIsSRF",
                    {2, 4, 0},
                    4,
                    0,
                    2,
                    false,
                    opening({"message: The currently active document is not a VMR document."})},
        StartupCase{"NoMapsLoaded", {2, 4, 0}, 3, 0, 0, false, opening({"message: No VMPs are currently loaded."})}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Startup, AsksTheHostInOrder) {
    nimbrel::Workspace workspace = testing::vmrWorkspace(1);
    nimbrel::HostSession session(workspace);
    nimbrel::PluginObject plugin = testing::pluginModule().createPlugin();
    ASSERT_TRUE(plugin.initPlugin());
    EXPECT_EQ(session.calls(), (Lines{"nbGetVersionOfNimbrel", "nbShowLogTab", "nbLogText", "nbLogText", "nbLogText",
                                      "nbGetIDOfCurrentDocument", "nbGetDocumentType(0)", "nbGetNRVMPsOfCurrentVMR"}));
    plugin.destroy();
}

TEST(Startup, AcceptsAnyMapCountWhenTheHostAnswersWithMaps) {
    nimbrel::Workspace workspace = testing::vmrWorkspace(0);
    workspace.hostile.reportedMapCount = -5;
    nimbrel::HostSession session(workspace);
    nimbrel::PluginObject plugin = testing::pluginModule().createPlugin();
    EXPECT_TRUE(plugin.initPlugin());
    plugin.destroy();
}

TEST(Startup, RunsTheWholeSequenceOnEveryCall) {
    nimbrel::Workspace workspace = testing::vmrWorkspace(2);
    nimbrel::HostSession session(workspace);
    nimbrel::PluginObject plugin = testing::pluginModule().createPlugin();
    EXPECT_TRUE(plugin.initPlugin());
    EXPECT_TRUE(plugin.initPlugin());
    Lines twice = kOpening;
    twice.insert(twice.end(), kOpening.begin(), kOpening.end());
    EXPECT_EQ(testing::eventLines(session), twice);
    plugin.destroy();
}

TEST(PluginObject, DestructionAfterBindingWritesOneBlankLine) {
    nimbrel::Workspace workspace = testing::vmrWorkspace(2);
    nimbrel::HostSession session(workspace);
    nimbrel::PluginObject plugin = testing::pluginModule().createPlugin();
    ASSERT_TRUE(plugin.initPlugin());
    std::size_t before = session.events().size();
    plugin.destroy();
    EXPECT_EQ(testing::eventLines(session), opening({"log:  "}));
    EXPECT_EQ(session.events().size(), before + 1);
}

TEST(PluginObject, SlotZeroWithoutTheFreeBitDestroysButKeepsTheStorage) {
    nimbrel::Workspace workspace = testing::vmrWorkspace(1);
    nimbrel::HostSession session(workspace);
    nimbrel::PluginObject plugin = testing::pluginModule().createPlugin();
    ASSERT_TRUE(plugin.initPlugin());
    void* storage = plugin.address();
    EXPECT_EQ(plugin.destroyWithFlags(0), storage);
    EXPECT_EQ(testing::eventLines(session), opening({"log:  "}));
    ::operator delete(storage);  // the module and this host share the C runtime's allocator
}

TEST(PluginObject, DestroyingOneObjectLeavesTheOtherUsable) {
    nimbrel::Workspace workspace = testing::vmrWorkspace(1);
    nimbrel::HostSession session(workspace);
    nimbrel::PluginObject first = testing::pluginModule().createPlugin();
    nimbrel::PluginObject second = testing::pluginModule().createPlugin();
    ASSERT_NE(first.address(), second.address());
    first.destroy();
    EXPECT_TRUE(second.initPlugin());
    second.destroy();
}

}  // namespace
}  // namespace kelvane
