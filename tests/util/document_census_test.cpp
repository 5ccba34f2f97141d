// findDocumentsOfType against the stand-in host, this test program.

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "host/host_function_table.h"
#include "standin/host/host_session.h"
#include "standin/host/workspace.h"
#include "tests/support/standin_fixture.h"
#include "util/document_census.h"

namespace kelvane {
namespace {

using Lines = std::vector<std::string>;
using testing::documentsWorkspace;
using testing::eventLines;

constexpr int32_t kUntouched = -99;

struct Outcome {
    bool result = false;
    int32_t count = kUntouched;
    std::vector<int32_t> positions;  // all kPositionRoom slots
    Lines events;
    std::vector<std::string> calls;
};

constexpr std::size_t kPositionRoom = 8;

Outcome census(nimbrel::Workspace& workspace, int32_t type, int32_t minimum, int32_t maximum, bool logDetails) {
    EXPECT_TRUE(bindHostFunctions());
    nimbrel::HostSession session(workspace);
    Outcome outcome;
    outcome.positions.assign(kPositionRoom, kUntouched);
    outcome.result = findDocumentsOfType(type, minimum, maximum, logDetails, outcome.count, outcome.positions.data());
    outcome.events = eventLines(session);
    outcome.calls = session.calls();
    return outcome;
}

std::vector<int32_t> positionsThen(std::vector<int32_t> written) {
    written.resize(kPositionRoom, kUntouched);
    return written;
}

struct CensusCase {
    const char* label;
    std::vector<int32_t> documents;
    int32_t type, minimum, maximum;
    bool result;
    int32_t count;
    std::vector<int32_t> positions;
    Lines events;  // with log details on
};

void PrintTo(const CensusCase& c, std::ostream* os) {
    *os << c.label;
}

class Census : public ::testing::TestWithParam<CensusCase> {};

TEST_P(Census, ResultOutputsAndEventsWithDetails) {
    const CensusCase& c = GetParam();
    nimbrel::Workspace workspace = documentsWorkspace(c.documents);
    Outcome outcome = census(workspace, c.type, c.minimum, c.maximum, true);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.count, c.count);
    EXPECT_EQ(outcome.positions, positionsThen(c.positions));
    EXPECT_EQ(outcome.events, c.events);
}

TEST_P(Census, WithoutDetailsOnlyTheMessagesRemain) {
    const CensusCase& c = GetParam();
    nimbrel::Workspace workspace = documentsWorkspace(c.documents);
    Outcome outcome = census(workspace, c.type, c.minimum, c.maximum, false);
    Lines messages;
    for (const std::string& line : c.events)
        if (line.rfind("message: ", 0) == 0) messages.push_back(line);
    EXPECT_EQ(outcome.result, c.result);
    EXPECT_EQ(outcome.count, c.count);
    EXPECT_EQ(outcome.positions, positionsThen(c.positions));
    EXPECT_EQ(outcome.events, messages);
}

const char* const kNumber2 = "log: // Plugin> Number of documents: 2";
const char* const kNumber3 = "log: // Plugin> Number of documents: 3";

INSTANTIATE_TEST_SUITE_P(
    Table, Census,
    ::testing::Values(
        CensusCase{
            "TypeZero", {3}, 0, 0, 5, false, kUntouched, {}, {"message: Error: Invalid document type specified!"}},
        CensusCase{
            "TypeFive", {3}, 5, 0, 5, false, kUntouched, {}, {"message: Error: Invalid document type specified!"}},
        CensusCase{"EmptyWorkspaceEvenWithMinimumZero",
                   {},
                   3,
                   0,
                   5,
                   false,
                   kUntouched,
                   {},
                   {"log: // Plugin> Number of documents: 0", "message: No open documents found"}},
        CensusCase{"NoneOfTheTypeWithMinimumZero",
                   {1, 2},
                   3,
                   0,
                   3,
                   true,
                   0,
                   {},
                   {kNumber2, "log: // Plugin> Document 1 is a FMR", "log: // Plugin> Document 2 is a DMR",
                    "log: // Plugin> No open VMR found"}},
        CensusCase{"OneSRF",
                   {3, 4},
                   4,
                   1,
                   1,
                   true,
                   1,
                   {1},
                   {kNumber2, "log: // Plugin> Document 1 is a VMR", "log: // Plugin> Document 2 is a SRF",
                    "log: // Plugin> Found 1 SRF: document 2"}},
        CensusCase{"TwoFMRs",
                   {1, 3, 1},
                   1,
                   1,
                   2,
                   true,
                   2,
                   {0, 2},
                   {kNumber3, "log: // Plugin> Document 1 is a FMR", "log: // Plugin> Document 2 is a VMR",
                    "log: // Plugin> Document 3 is a FMR", "log: // Plugin> Found 2 FMRs: documents 1 and 3"}},
        CensusCase{"ThreeVMRs",
                   {1, 3, 2, 4, 3, 1, 3},
                   3,
                   0,
                   3,
                   true,
                   3,
                   {1, 4, 6},
                   {"log: // Plugin> Number of documents: 7", "log: // Plugin> Document 1 is a FMR",
                    "log: // Plugin> Document 2 is a VMR", "log: // Plugin> Document 3 is a DMR",
                    "log: // Plugin> Document 4 is a SRF", "log: // Plugin> Document 5 is a VMR",
                    "log: // Plugin> Document 6 is a FMR", "log: // Plugin> Document 7 is a VMR",
                    "log: // Plugin> Found 3 VMRs: documents 2 5 and 7"}},
        CensusCase{"MaximumZeroIsPlural",
                   {3},
                   3,
                   0,
                   0,
                   false,
                   1,
                   {},
                   {"log: // Plugin> Number of documents: 1", "log: // Plugin> Document 1 is a VMR",
                    "message: No more than 0 open VMRs are allowed"}},
        CensusCase{"MaximumOneIsSingular",
                   {2, 2},
                   2,
                   0,
                   1,
                   false,
                   2,
                   {},
                   {kNumber2, "log: // Plugin> Document 1 is a DMR", "log: // Plugin> Document 2 is a DMR",
                    "message: No more than 1 open DMR is allowed"}},
        CensusCase{"MinimumTwoIsPlural",
                   {4, 3},
                   4,
                   2,
                   5,
                   false,
                   1,
                   {},
                   {kNumber2, "log: // Plugin> Document 1 is a SRF", "log: // Plugin> Document 2 is a VMR",
                    "message: At least 2 open SRFs are required"}},
        CensusCase{"MinimumOneIsSingular",
                   {3, 3},
                   4,
                   1,
                   5,
                   false,
                   0,
                   {},
                   {kNumber2, "log: // Plugin> Document 1 is a VMR", "log: // Plugin> Document 2 is a VMR",
                    "message: At least 1 open SRF is required"}},
        CensusCase{"MinimumAboveMaximumBelowBoth",
                   {2, 2},
                   2,
                   3,
                   1,
                   false,
                   2,
                   {},
                   {kNumber2, "log: // Plugin> Document 1 is a DMR", "log: // Plugin> Document 2 is a DMR",
                    "message: At least 3 open DMRs are required"}},
        CensusCase{"MinimumAboveMaximumAtMinimum",
                   {2, 2},
                   2,
                   2,
                   1,
                   false,
                   2,
                   {},
                   {kNumber2, "log: // Plugin> Document 1 is a DMR", "log: // Plugin> Document 2 is a DMR",
                    "message: No more than 1 open DMR is allowed"}},
        CensusCase{"UnknownTypeCodesInTheWorkspace",
                   {7, 3, -1},
                   3,
                   1,
                   1,
                   true,
                   1,
                   {1},
                   {kNumber3, "log: // Plugin> Document 1 is a ", "log: // Plugin> Document 2 is a VMR",
                    "log: // Plugin> Document 3 is a ", "log: // Plugin> Found 1 VMR: document 2"}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(CensusHost, AsksInOrderOncePerDocument) {
    nimbrel::Workspace workspace = documentsWorkspace({1, 3});
    Outcome outcome = census(workspace, 3, 1, 1, true);
    EXPECT_EQ(outcome.calls,
              (std::vector<std::string>{"nbGetNumberOfDocsInWorkspace", "nbLogText", "nbGetDocumentType(0)",
                                        "nbGetDocumentTypeName(0)", "nbLogText", "nbGetDocumentType(1)",
                                        "nbGetDocumentTypeName(1)", "nbLogText", "nbLogText"}));
}

TEST(CensusHost, InvalidTypeAsksTheHostNothing) {
    nimbrel::Workspace workspace = documentsWorkspace({3});
    Outcome outcome = census(workspace, 0, 0, 1, true);
    EXPECT_EQ(outcome.calls, (std::vector<std::string>{"nbMessageBox"}));
}

TEST(CensusHost, HostTypeNamesAreCutToSevenCharactersAndNullIsEmpty) {
    nimbrel::Workspace workspace = documentsWorkspace({3, 3, 3, 3});
    workspace.documents[0].typeName = "VOLUMETRIC";
    workspace.documents[1].typeNameIsNull = true;
    workspace.documents[2].typeName = "1234567";
    workspace.documents[3].typeName = "";
    Outcome outcome = census(workspace, 3, 0, 4, true);
    EXPECT_TRUE(outcome.result);
    EXPECT_EQ(outcome.events,
              (Lines{"log: // Plugin> Number of documents: 4", "log: // Plugin> Document 1 is a VOLUMET",
                     "log: // Plugin> Document 2 is a ", "log: // Plugin> Document 3 is a 1234567",
                     "log: // Plugin> Document 4 is a ", "log: // Plugin> Found 4 VMRs: documents 1 2 3 and 4"}));
}

TEST(CensusHost, NegativeDocumentCountCountsAsNoDocuments) {
    nimbrel::Workspace workspace = documentsWorkspace({3});
    workspace.hostile.reportedDocumentCount = -3;
    Outcome outcome = census(workspace, 3, 0, 1, true);
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.count, kUntouched);
    EXPECT_EQ(outcome.events, (Lines{"log: // Plugin> Number of documents: -3", "message: No open documents found"}));
    EXPECT_EQ(outcome.calls, (std::vector<std::string>{"nbGetNumberOfDocsInWorkspace", "nbLogText", "nbMessageBox"}));
}

TEST(CensusHost, SummaryOfManyDocumentsIsNotCut) {
    std::vector<int32_t> types(300, kDocumentVMR);
    nimbrel::Workspace workspace = documentsWorkspace(types);
    ASSERT_TRUE(bindHostFunctions());
    nimbrel::HostSession session(workspace);
    int32_t count = 0;
    std::vector<int32_t> positions(300, kUntouched);
    EXPECT_TRUE(findDocumentsOfType(kDocumentVMR, 1, 300, true, count, positions.data()));
    std::string expected = "// Plugin> Found 300 VMRs: documents";
    for (int i = 1; i < 300; ++i) expected += " " + std::to_string(i);
    expected += " and 300";
    ASSERT_GT(expected.size(), 511u);
    EXPECT_EQ(session.logLines().back(), expected);
    EXPECT_EQ(count, 300);
    for (int32_t i = 0; i < 300; ++i) EXPECT_EQ(positions[static_cast<std::size_t>(i)], i);
}

}  // namespace
}  // namespace kelvane
