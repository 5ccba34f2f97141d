// addNRVMP against the stand-in host, this test program.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "host/host_function_table.h"
#include "host/nrvmp_record.h"
#include "standin/host/host_session.h"
#include "standin/host/workspace.h"
#include "tests/support/standin_fixture.h"
#include "util/add_map.h"

namespace kelvane {
namespace {

using Lines = std::vector<std::string>;
using testing::eventLines;

// A caller's record with its path inline from byte 56; the bytes before are
// never read.
struct SourceRecord {
    unsigned char head[kSourcePathOffset];
    char path[600];

    explicit SourceRecord(const std::string& text) {
        std::memset(head, 0xEE, sizeof head);
        std::memset(path, 0, sizeof path);
        std::memcpy(path, text.data(), text.size());
    }
};

// The caller's outputs, filled with marks so that an unwritten one shows.
struct Outputs {
    NRVMPsHeader header;
    void* mapData = reinterpret_cast<void*>(0x5151);
    int32_t mapIndex = -99;
    NRVMPRecord record;

    Outputs() {
        std::memset(&header, 0x33, sizeof header);
        std::memset(&record, 0x44, sizeof record);
        record.name = nullptr;
    }
};

class AddMap : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bindHostFunctions()); }
    nimbrel::Workspace workspace = testing::vmrWorkspace(3);
    Outputs out;
};

const std::vector<std::string> kSuccessCalls = {"nbCreateNRVMPsForCurrentVMR(1, 0, 0, null)", "nbLogText",
                                                "nbGetNRVMPsOfCurrentVMR", "nbGetNRVMPOfCurrentVMR(3)",
                                                "nbSetNRVMPParametersOfCurrentVMR(3)"};

struct NameCase {
    const char* label;
    std::string mapName;
    std::string path;
    bool appendSource;
    std::string name;  // what the new map is called afterwards
};

void PrintTo(const NameCase& c, std::ostream* os) {
    *os << c.label;
}

class AddMapNames : public AddMap, public ::testing::WithParamInterface<NameCase> {};

TEST_P(AddMapNames, AddsTheLastMapNamedAndHandedBack) {
    const NameCase& c = GetParam();
    SourceRecord source(c.path);
    nimbrel::HostSession session(workspace);
    // The host's fresh record, with bytes the routine must hand back untouched.
    NRVMPRecord fresh{};
    std::memset(&fresh, 0x6B, sizeof fresh);
    session.onEvent = [&](const nimbrel::HostEvent&) {
        if (workspace.maps.size() == 4) workspace.maps[3].record = fresh;
    };

    EXPECT_TRUE(
        addNRVMP(&source, out.header, out.mapData, out.mapIndex, out.record, c.mapName.c_str(), c.appendSource));

    std::string added = "log: Added the " + c.mapName + " VMP";
    EXPECT_EQ(eventLines(session), Lines{added.substr(0, 5 + 255)});
    EXPECT_EQ(session.calls(), kSuccessCalls);
    ASSERT_EQ(workspace.maps.size(), 4u);
    EXPECT_EQ(out.header.mapCount, 4);
    EXPECT_EQ(out.mapIndex, 3);
    EXPECT_EQ(out.mapData, &workspace.maps[3]);
    EXPECT_EQ(workspace.maps[3].name(), c.name);
    EXPECT_EQ(workspace.maps[2].name(), "map 3");
    // The record handed back is the host's, name pointer and every other byte alike.
    EXPECT_EQ(out.record.name, workspace.maps[3].nameStorage.data());
    ASSERT_EQ(session.recordsSet().size(), 1u);
    EXPECT_EQ(session.recordsSet()[0].index, 3);
    NRVMPRecord expected = fresh;
    expected.name = out.record.name;
    EXPECT_EQ(std::memcmp(&session.recordsSet()[0].record, &expected, sizeof expected), 0);
}

const std::string k200(200, 'n');
const std::string k300(300, 'f');

INSTANTIATE_TEST_SUITE_P(
    Table, AddMapNames,
    ::testing::Values(
        NameCase{"NameAlone", "Beta", "/data/run1/beta.glm", false, "Beta"},
        NameCase{"FileNameAfterLastSlash", "Beta", "/data/run1/beta.glm", true, "Beta of beta.glm"},
        NameCase{"PathWithoutSlashWhole", "Beta", "beta.glm", true, "Beta of beta.glm"},
        NameCase{"PathEndingInSlash", "Beta", "/data/run1/", true, "Beta of "},
        NameCase{"EmptyPath", "Beta", "", true, "Beta of "},
        NameCase{"BackslashIsNoSeparator", "Beta", "C:\\data\\beta.glm", true, "Beta of C:\\data\\beta.glm"},
        NameCase{"MixedSeparators", "Beta", "C:\\data/run\\beta.glm", true, "Beta of run\\beta.glm"},
        NameCase{"EmptyMapName", "", "/x/y.vtc", true, " of y.vtc"},
        NameCase{"LongMapNameCutAt255", k300, "", false, k300.substr(0, 255)},
        NameCase{"LongComposedNameCutAt255", k200, "/d/" + k200, true, (k200 + " of " + k200).substr(0, 255)},
        NameCase{"LongFileNameCutAt255", "B", k300, true, ("B of " + k300).substr(0, 255)}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(AddMap, FailedCreationWritesNothing) {
    workspace.hostile.mapCreationFails = true;
    SourceRecord source("/a/b.glm");
    nimbrel::HostSession session(workspace);
    Outputs before;
    EXPECT_FALSE(addNRVMP(&source, out.header, out.mapData, out.mapIndex, out.record, "Beta", true));
    EXPECT_EQ(eventLines(session), Lines{"message: Failed to add VMPs"});
    EXPECT_EQ(session.calls(),
              (std::vector<std::string>{"nbCreateNRVMPsForCurrentVMR(1, 0, 0, null)", "nbMessageBox"}));
    EXPECT_EQ(std::memcmp(&out.header, &before.header, sizeof before.header), 0);
    EXPECT_EQ(std::memcmp(&out.record, &before.record, sizeof before.record), 0);
    EXPECT_EQ(out.mapData, before.mapData);
    EXPECT_EQ(out.mapIndex, before.mapIndex);
    EXPECT_EQ(workspace.maps.size(), 3u);
}

TEST_F(AddMap, NoAccessStillNamesAndSetsThenShowsTheComposedName) {
    workspace.hostile.nullRecordIndices = {3};
    SourceRecord source("/a/b.glm");
    // Not filled by the host, so the name goes where the caller's record points.
    std::vector<char> callerStorage(400, 'x');
    out.record.name = callerStorage.data();
    nimbrel::HostSession session(workspace);
    EXPECT_FALSE(addNRVMP(&source, out.header, out.mapData, out.mapIndex, out.record, "Beta", true));
    EXPECT_EQ(eventLines(session),
              (Lines{"log: Added the Beta VMP", "message: Failed to get access to the Beta of b.glm VMP"}));
    std::vector<std::string> calls = kSuccessCalls;
    calls.push_back("nbMessageBox");
    EXPECT_EQ(session.calls(), calls);
    EXPECT_EQ(out.mapData, nullptr);
    EXPECT_EQ(out.mapIndex, 3);
    EXPECT_EQ(out.header.mapCount, 4);
    EXPECT_EQ(std::string(callerStorage.data()), "Beta of b.glm");
    ASSERT_EQ(session.recordsSet().size(), 1u);
    EXPECT_EQ(session.recordsSet()[0].index, 3);
}

TEST_F(AddMap, NoAccessMessageIsCutAt255Characters) {
    workspace.hostile.nullRecordIndices = {3};
    SourceRecord source("/a/" + k200);
    nimbrel::HostSession session(workspace);
    EXPECT_FALSE(addNRVMP(&source, out.header, out.mapData, out.mapIndex, out.record, "Beta", true));
    std::string message = ("Failed to get access to the Beta of " + k200 + " VMP").substr(0, 255);
    EXPECT_EQ(session.messages(), Lines{message});
}

TEST_F(AddMap, WritesAtMost256BytesIntoTheNameStorage) {
    workspace.mapNameCapacity = 400;
    nimbrel::HostSession session(workspace);
    session.onEvent = [&](const nimbrel::HostEvent&) {
        std::vector<char>& storage = workspace.maps.back().nameStorage;
        std::fill(storage.begin(), storage.end(), 'x');
    };
    EXPECT_TRUE(addNRVMP(nullptr, out.header, out.mapData, out.mapIndex, out.record, k300.c_str(), false));
    const std::vector<char>& storage = workspace.maps[3].nameStorage;
    ASSERT_EQ(storage.size(), 400u);
    std::string expected = k300.substr(0, 255) + '\0' + std::string(144, 'x');
    EXPECT_EQ(std::string(storage.begin(), storage.end()), expected);
}

TEST_F(AddMap, NullNamePointerWritesNothingButStillSets) {
    workspace.hostile.nullMapNames = true;
    nimbrel::HostSession session(workspace);
    EXPECT_TRUE(addNRVMP(nullptr, out.header, out.mapData, out.mapIndex, out.record, "Beta", false));
    EXPECT_EQ(out.record.name, nullptr);
    EXPECT_EQ(workspace.maps[3].name(), "");
    EXPECT_EQ(session.calls(), kSuccessCalls);
    EXPECT_EQ(eventLines(session), Lines{"log: Added the Beta VMP"});
}

TEST_F(AddMap, WithoutAppendingTheSourceRecordMayBeAbsent) {
    nimbrel::HostSession session(workspace);
    EXPECT_TRUE(addNRVMP(nullptr, out.header, out.mapData, out.mapIndex, out.record, "Beta", false));
    EXPECT_EQ(workspace.maps[3].name(), "Beta");
}

TEST_F(AddMap, AppendingFromAnAbsentSourceRecordAppendsNothing) {
    nimbrel::HostSession session(workspace);
    EXPECT_TRUE(addNRVMP(nullptr, out.header, out.mapData, out.mapIndex, out.record, "Beta", true));
    EXPECT_EQ(workspace.maps[3].name(), "Beta of ");
}

TEST_F(AddMap, IndexComesFromTheCountAfterCreation) {
    nimbrel::Workspace empty = testing::vmrWorkspace(0);
    nimbrel::HostSession session(empty);
    EXPECT_TRUE(addNRVMP(nullptr, out.header, out.mapData, out.mapIndex, out.record, "First", false));
    EXPECT_EQ(out.mapIndex, 0);
    EXPECT_EQ(out.header.mapCount, 1);
    EXPECT_EQ(empty.maps[0].name(), "First");
}

}  // namespace
}  // namespace kelvane
