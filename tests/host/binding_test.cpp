// Binding against a full host: this test program is itself Nimbrel.exe.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "host/host_forwarders.h"
#include "host/host_function_table.h"
#include "standin/host/host_exports.h"
#include "standin/host/host_session.h"
#include "tests/support/bound_entries.h"

namespace kelvane {
namespace {

using testing::BoundEntries;
using testing::boundEntries;

BoundEntries hostExports() {
    BoundEntries entries;
    for (const auto& function : nimbrel::exportedHostFunctions()) entries.emplace_back(function.name, function.address);
    return entries;
}

// The host's function names in binding order, one a line: the list must hold
// exactly these.
std::vector<std::string> hostFunctionNames() {
    std::ifstream in(KELVANE_SOURCE_DIR "/tests/host/host_function_names.txt");
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) names.push_back(line);
    return names;
}

TEST(HostFunctionList, HoldsTheHostsNamesInBindingOrder) {
    std::vector<std::string> listed;
    for (const auto& entry : boundEntries()) listed.push_back(entry.first);
    EXPECT_EQ(listed, hostFunctionNames());
}

TEST(Binding, FillsEveryEntryWithTheHostsOwnExport) {
    ASSERT_TRUE(bindHostFunctions());
    EXPECT_EQ(boundEntries(), hostExports());
    EXPECT_EQ(testing::unboundNames(), std::vector<std::string>{});
}

TEST(Binding, BindingAgainRefreshesEveryEntryToTheSameTable) {
    ASSERT_TRUE(bindHostFunctions());
    BoundEntries first = boundEntries();
    hostFunctionTable().nbLogText = nullptr;
    hostFunctionTable().nbLaunchICADialog = nullptr;
    ASSERT_TRUE(bindHostFunctions());
    EXPECT_EQ(boundEntries(), first);
}

class Forwarders : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bindHostFunctions()); }
    nimbrel::Workspace workspace;
};

TEST_F(Forwarders, PassArgumentsAndResultsThroughUnchanged) {
    workspace.parameters["Trans"] = nimbrel::Parameter::ofFloat(0.1f);
    workspace.parameters["NaNish"] = nimbrel::Parameter::ofFloat(std::nanf("7"));
    workspace.parameters["Count"] = nimbrel::Parameter::ofInteger(-7);
    workspace.parameters["Overlay"] = nimbrel::Parameter::ofText("1,3-5");
    workspace.documents.push_back({4, "brain.srf", {}, false});
    nimbrel::HostSession session(workspace);

    float trans = nbGetFloatParameter("Trans");
    EXPECT_EQ(std::memcmp(&trans, &workspace.parameters["Trans"].real, sizeof trans), 0);
    float nanish = nbGetFloatParameter("NaNish");
    EXPECT_EQ(std::memcmp(&nanish, &workspace.parameters["NaNish"].real, sizeof nanish), 0);
    EXPECT_EQ(nbGetIntParameter("Count"), -7);
    char buffer[512];
    nbGetStringParameter("Overlay", buffer);
    EXPECT_STREQ(buffer, "1,3-5");
    EXPECT_EQ(nbGetDocumentType(0), 4);
    EXPECT_STREQ(nbGetDocumentTypeName(0), "SRF");
    nbLogText("Kelvane>  x");
    nbMessageBox("box");
    ASSERT_EQ(session.events().size(), 2u);
    EXPECT_EQ(session.events()[0].text, "Kelvane>  x");
    EXPECT_EQ(session.events()[1].text, "box");
    EXPECT_EQ(session.calls(), (std::vector<std::string>{"nbGetFloatParameter(Trans)", "nbGetFloatParameter(NaNish)",
                                                         "nbGetIntParameter(Count)", "nbGetStringParameter(Overlay)",
                                                         "nbGetDocumentType(0)", "nbGetDocumentTypeName(0)",
                                                         "nbLogText", "nbMessageBox"}));
}

// A float argument goes to the host as a 32-bit float, never widened.
float receivedFloat;
int32_t receivedIndex;
bool receiveFloat(int32_t index, float value) {
    receivedIndex = index;
    receivedFloat = value;
    return true;
}

TEST_F(Forwarders, HandAFloatArgumentOverAsSinglePrecision) {
    hostFunctionTable().nbSetDlgFloatOutputParameter = &receiveFloat;
    const float sent = std::nextafter(1.0f / 3.0f, 1.0f);
    EXPECT_TRUE(nbSetDlgFloatOutputParameter(5, sent));
    EXPECT_EQ(receivedIndex, 5);
    EXPECT_EQ(std::memcmp(&receivedFloat, &sent, sizeof sent), 0);
}

TEST_F(Forwarders, MakeNoCallAndAnswerZeroWhenTheEntryIsNull) {
    workspace.documents.push_back({3, "a.vmr", {}, false});
    workspace.currentDocument = 0;
    workspace.parameters["DoSetMin"] = nimbrel::Parameter::ofInteger(1);
    nimbrel::HostSession session(workspace);
    HostFunctionTable& table = hostFunctionTable();
    table.nbGetIntParameter = nullptr;
    table.nbGetIDOfCurrentDocument = nullptr;
    table.nbGetDocumentTypeName = nullptr;
    table.nbGetFloatParameter = nullptr;
    table.nbLogText = nullptr;
    EXPECT_EQ(nbGetIntParameter("DoSetMin"), 0);
    EXPECT_EQ(nbGetIDOfCurrentDocument(), 0);
    EXPECT_EQ(nbGetDocumentTypeName(0), nullptr);
    EXPECT_EQ(nbGetFloatParameter("Min"), 0.0f);
    EXPECT_FALSE(nbLogText("lost"));
    EXPECT_TRUE(session.calls().empty());
    EXPECT_TRUE(session.events().empty());
}

TEST_F(Forwarders, ReachTheStandInsUnprovidedFunctionsWhichAnswerZero) {
    nimbrel::HostSession session(workspace);
    std::vector<std::string> traced;
    session.onUnprovidedCall = [&](const std::string& function) { traced.push_back(function); };
    EXPECT_EQ(nbGetScene(nullptr), nullptr);
    EXPECT_FALSE(nbLaunchICADialog());
    EXPECT_EQ(nbGetIntegerInput("n", 1, 2, 3), 0);
    EXPECT_EQ(traced, (std::vector<std::string>{"nbGetScene", "nbLaunchICADialog", "nbGetIntegerInput"}));
}

}  // namespace
}  // namespace kelvane
