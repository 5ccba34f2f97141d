// The plug-in module's exports, in a process that has no host: the descriptor
// functions and createPlugin need none.

#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "tests/support/standin_fixture.h"

namespace kelvane {
namespace {

using DescriptorFunction = const char* (*)();

struct DescriptorCase {
    const char* exportName;
    const char* text;
};

void PrintTo(const DescriptorCase& c, std::ostream* os) {
    *os << c.exportName;
}

class Descriptor : public ::testing::TestWithParam<DescriptorCase> {};

TEST_P(Descriptor, IsTheSameConstantTextOnEveryCall) {
    auto function = reinterpret_cast<DescriptorFunction>(testing::pluginModule().exportNamed(GetParam().exportName));
    ASSERT_TRUE(function);
    const char* first = function();
    EXPECT_EQ(std::string(first), GetParam().text);
    EXPECT_EQ(function(), first);
}

INSTANTIATE_TEST_SUITE_P(
    Exports, Descriptor,
    ::testing::Values(DescriptorCase{"getPluginName", "Kelvane"},
                      DescriptorCase{"getPluginDescription",
                                     "Can change certain properties for all VMP files currently loaded."},
                      DescriptorCase{"getAuthor", "<i>TK</i>"}, DescriptorCase{"getHelpFile", "HelpFolder/index.html"},
                      DescriptorCase{"getPluginVersion", "1.0"}, DescriptorCase{"getGUIScript", "Kelvane.js"}),
    [](const auto& info) { return std::string(info.param.exportName); });

TEST(CreatePlugin, YieldsIndependentObjectsThatNeedNoHost) {
    nimbrel::PluginObject first = testing::pluginModule().createPlugin();
    nimbrel::PluginObject second = testing::pluginModule().createPlugin();
    ASSERT_TRUE(first);
    ASSERT_TRUE(second);
    EXPECT_NE(first.address(), second.address());
    first.destroy();                    // never bound: writes nothing, does not fail
    EXPECT_FALSE(second.initPlugin());  // no host module in this process
    second.destroy();
}

}  // namespace
}  // namespace kelvane
