#include "standin/files/dialog_script.h"
#include "standin/files/workspace_json.h"
#include "tests/support/float_bits.h"
#include "tests/support/read_file.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

namespace {

using kelvane::NRVMPRecord;
using nimbrel::Parameter;
using nimbrel::parseWorkspace;
using nimbrel::Workspace;
using nimbrel::WorkspaceFileError;

using kelvane::testing::floatBits;

float ofBits(uint32_t b) {
    float value;
    std::memcpy(&value, &b, sizeof value);
    return value;
}

std::vector<unsigned char> bytesOf(const NRVMPRecord& record) {
    const auto* p = reinterpret_cast<const unsigned char*>(&record);
    return {p, p + sizeof record};
}

void put32(std::vector<unsigned char>& bytes, std::size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

using kelvane::testing::readFile;

std::string errorOf(const std::string& text) {
    try {
        parseWorkspace(text, "ws.json");
    } catch (const WorkspaceFileError& e) {
        return e.what();
    }
    return "(accepted)";
}

const char* const kFullWorkspace = R"({
  "description": "every field",
  "hostVersion": {"major": 3, "minor": 1, "release": 7},
  "documents": [
    {"type": 1, "name": "run1.fmr"},
    {"type": 3, "name": "anat.vmr", "typeName": "VMR*"},
    {"type": 9, "name": "odd", "typeName": null}
  ],
  "currentDocument": 1,
  "mapNameCapacity": 16,
  "maps": [{
    "name": "Faces", "mapType": 1, "thresholdMin": 2.5, "thresholdMax": -8.25,
    "clusterSize": 12, "useClusterSize": 1, "degreesOfFreedom": 45, "showPosNeg": 3,
    "transparency": 0.75, "overlay": 1,
    "opaque": {"20": "01020304", "36": "a1a2a3a4a5a6a7a8",
               "48": "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f20212223",
               "88": "F0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF", "108": "fffefdfc"}
  }, {"mapType": 4}],
  "parameters": {"DoSetMin": 1, "MinP": 0.001, "Overlay": "1,3-5", "Neg": -7, "Whole": 2.0},
  "hostile": {"nullRecordIndices": [0, 2], "randomNullRecords": {"seed": 4294967295, "chance": 0.25},
              "reportedMapCount": 5, "unterminatedStrings": true,
              "mapCreationFails": true, "nullMapNames": true, "reportedDocumentCount": 0}
})";

TEST(WorkspaceJson, ReadsEveryField) {
    Workspace w = parseWorkspace(kFullWorkspace, "full.json");
    EXPECT_EQ(w.description, "every field");
    EXPECT_EQ(w.version.major, 3);
    EXPECT_EQ(w.version.minor, 1);
    EXPECT_EQ(w.version.release, 7);
    ASSERT_EQ(w.documents.size(), 3u);
    EXPECT_EQ(w.documents[0].type, 1);
    EXPECT_EQ(w.documents[0].name, "run1.fmr");
    EXPECT_FALSE(w.documents[0].typeName.has_value());
    EXPECT_FALSE(w.documents[0].typeNameIsNull);
    EXPECT_EQ(w.documents[1].typeName, std::optional<std::string>("VMR*"));
    EXPECT_EQ(w.documents[2].type, 9);
    EXPECT_TRUE(w.documents[2].typeNameIsNull);
    EXPECT_EQ(w.currentDocument, 1);
    EXPECT_EQ(w.mapNameCapacity, 16u);

    ASSERT_EQ(w.maps.size(), 2u);
    EXPECT_EQ(w.maps[0].name(), "Faces");
    EXPECT_EQ(w.maps[0].nameStorage.size(), 16u);
    std::vector<unsigned char> expected(112, 0);
    put32(expected, 8, 1);
    put32(expected, 12, floatBits(2.5f));
    put32(expected, 16, floatBits(-8.25f));
    put32(expected, 20, 0x04030201);
    put32(expected, 24, 12);
    put32(expected, 28, 1);
    put32(expected, 32, 45);
    for (int i = 0; i < 8; ++i) expected[36 + i] = static_cast<unsigned char>(0xa1 + i);
    put32(expected, 44, 3);
    for (int i = 0; i < 36; ++i) expected[48 + i] = static_cast<unsigned char>(i);
    put32(expected, 84, floatBits(0.75f));
    for (int i = 0; i < 16; ++i) expected[88 + i] = static_cast<unsigned char>(0xf0 + i);
    put32(expected, 104, 1);
    put32(expected, 108, 0xfcfdfeff);
    EXPECT_EQ(bytesOf(w.maps[0].record), expected);

    // Absent fields and opaque ranges are zero.
    std::vector<unsigned char> second(112, 0);
    put32(second, 8, 4);
    EXPECT_EQ(bytesOf(w.maps[1].record), second);
    EXPECT_EQ(w.maps[1].name(), "");

    ASSERT_EQ(w.parameters.size(), 5u);
    EXPECT_EQ(w.parameters["DoSetMin"].kind, Parameter::Kind::Integer);
    EXPECT_EQ(w.parameters["DoSetMin"].integer, 1);
    EXPECT_EQ(w.parameters["Neg"].integer, -7);
    EXPECT_EQ(w.parameters["MinP"].kind, Parameter::Kind::Float);
    EXPECT_EQ(floatBits(w.parameters["MinP"].real), floatBits(0.001f));
    EXPECT_EQ(w.parameters["Whole"].kind, Parameter::Kind::Float);
    EXPECT_EQ(w.parameters["Overlay"].kind, Parameter::Kind::Text);
    EXPECT_EQ(w.parameters["Overlay"].text, "1,3-5");

    EXPECT_EQ(w.hostile.nullRecordIndices, (std::vector<int32_t>{0, 2}));
    ASSERT_TRUE(w.hostile.randomNullRecords.has_value());
    EXPECT_EQ(w.hostile.randomNullRecords->seed, 4294967295u);
    EXPECT_EQ(w.hostile.randomNullRecords->chance, 0.25);
    EXPECT_EQ(w.hostile.reportedMapCount, std::optional<int32_t>(5));
    EXPECT_TRUE(w.hostile.unterminatedStrings);
    EXPECT_TRUE(w.hostile.mapCreationFails);
    EXPECT_TRUE(w.hostile.nullMapNames);
    EXPECT_EQ(w.hostile.reportedDocumentCount, std::optional<int32_t>(0));
}

TEST(WorkspaceJson, DefaultsOfAnEmptyWorkspace) {
    Workspace w = parseWorkspace("{}", "empty.json");
    EXPECT_EQ(w.version.major, 2);
    EXPECT_EQ(w.version.minor, 4);
    EXPECT_EQ(w.version.release, 0);
    EXPECT_TRUE(w.documents.empty());
    EXPECT_EQ(w.currentDocument, -1);
    EXPECT_EQ(w.mapNameCapacity, 256u);
    EXPECT_EQ(parseWorkspace(R"({"documents": [{"type": 3}]})", "one.json").currentDocument, 0);
}

TEST(WorkspaceJson, WrittenWorkspaceReadsBackTheSame) {
    Workspace w = parseWorkspace(kFullWorkspace, "full.json");
    const std::string text = nimbrel::workspaceText(w);
    Workspace again = parseWorkspace(text, "again.json");
    EXPECT_EQ(nimbrel::workspaceText(again), text);
    EXPECT_EQ(again.documents[2].typeNameIsNull, true);
    EXPECT_EQ(again.parameters["Whole"].kind, Parameter::Kind::Float);
    EXPECT_EQ(again.hostile.reportedDocumentCount, std::optional<int32_t>(0));
    ASSERT_TRUE(again.hostile.randomNullRecords.has_value());
    EXPECT_EQ(again.hostile.randomNullRecords->seed, 4294967295u);
    EXPECT_EQ(again.hostile.randomNullRecords->chance, 0.25);
    // Without a chance, one read in two fails.
    Workspace seeded = parseWorkspace(R"({"hostile": {"randomNullRecords": {"seed": 3}}})", "s.json");
    ASSERT_TRUE(seeded.hostile.randomNullRecords.has_value());
    EXPECT_EQ(seeded.hostile.randomNullRecords->chance, 0.5);
}

// Records of random bytes, floats of every kind included, come back byte for byte.
TEST(WorkspaceJson, RandomRecordsRoundTripByteForByte) {
    std::mt19937 random(20240611);
    Workspace w;
    w.mapNameCapacity = 40;
    const uint32_t specialFloats[] = {0x7fc00000, 0xffc00001, 0x7f800001, 0x7f800000, 0xff800000, 0x80000000,
                                      0x00000001, 0x007fffff, 0x7f7fffff, 0xff7fffff, 0x3dcccccd};
    for (int i = 0; i < 200; ++i) {
        nimbrel::VolumeMap map;
        auto* bytes = reinterpret_cast<unsigned char*>(&map.record);
        for (std::size_t b = 8; b < sizeof(NRVMPRecord); ++b) bytes[b] = static_cast<unsigned char>(random());
        if (i < 11) map.record.thresholdMin = ofBits(specialFloats[i]);
        std::string name(random() % 40, 'x');
        for (char& c : name) c = static_cast<char>(' ' + random() % 95);
        map.setName(name, w.mapNameCapacity);
        w.maps.push_back(map);
    }
    Workspace again = parseWorkspace(nimbrel::workspaceText(w), "random.json");
    ASSERT_EQ(again.maps.size(), w.maps.size());
    for (std::size_t i = 0; i < w.maps.size(); ++i) {
        EXPECT_EQ(bytesOf(again.maps[i].record), bytesOf(w.maps[i].record)) << "map " << i;
        EXPECT_EQ(again.maps[i].name(), w.maps[i].name());
    }
}

struct FloatCase {
    uint32_t bits;
    const char* json;  // as written
};

void PrintTo(const FloatCase& c, std::ostream* out) {
    *out << c.json;
}

class FloatText : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatText, WritesTheShortestTextAndReadsTheSameBits) {
    const FloatCase& c = GetParam();
    EXPECT_EQ(nimbrel::floatToJson(ofBits(c.bits)).dump(), c.json);
    Workspace w = parseWorkspace(std::string(R"({"maps": [{"transparency": )") + c.json + "}]}", "f.json");
    EXPECT_EQ(floatBits(w.maps[0].record.transparency), c.bits);
}

INSTANTIATE_TEST_SUITE_P(Floats, FloatText,
                         ::testing::Values(FloatCase{0x3dcccccd, "0.1"}, FloatCase{0x3a83126f, "0.001"},
                                           FloatCase{0x40000000, "2.0"}, FloatCase{0x80000000, "-0.0"},
                                           FloatCase{0x407afbc0, "3.9216156"}, FloatCase{0x7f7fffff, "3.4028235e+38"},
                                           FloatCase{0x00000001, "1e-45"}, FloatCase{0x7f800000, R"("Infinity")"},
                                           FloatCase{0xff800000, R"("-Infinity")"}, FloatCase{0x7fc00000, R"("NaN")"},
                                           FloatCase{0xffc00001, R"("NaN:0xffc00001")"}));

struct BadCase {
    const char* json;
    const char* message;
};

// The input, on one line.
void PrintTo(const BadCase& c, std::ostream* out) {
    std::string text = c.json;
    for (char& ch : text)
        if (ch == '\n') ch = ' ';
    *out << (text.empty() ? "(empty)" : text);
}

class BadWorkspace : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadWorkspace, IsRejectedNamingFileFieldAndExpectation) {
    EXPECT_EQ(errorOf(GetParam().json), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BadWorkspace,
    ::testing::Values(
        BadCase{"[]", "ws.json: top level: expected an object, got an array"},
        BadCase{R"({"mapz": []})",
                "ws.json: mapz: unknown field; expected one of description, hostVersion, documents, currentDocument, "
                "mapNameCapacity, maps, parameters, hostile"},
        BadCase{R"({"maps": [{}, {}, {"mapType": "one"}]})",
                R"(ws.json: maps[2].mapType: expected an integer, got a string ("one"))"},
        BadCase{R"({"maps": [{"mapType": 1.5}]})",
                "ws.json: maps[0].mapType (line 1): expected an integer, got a number (1.5)"},
        BadCase{R"({"maps": [{"clusterSize": 2147483648}]})",
                "ws.json: maps[0].clusterSize (line 1): the integer 2147483648 is out of range: expected an integer "
                "from -2147483648 to 2147483647"},
        BadCase{"{\n  \"maps\": [\n    {\"mapType\":\n      1e20\n}]}",
                "ws.json: maps[0].mapType (line 4): the integer 1e+20 is out of range: expected an integer from "
                "-2147483648 to 2147483647"},
        BadCase{
            R"({"maps": [{"thresholdMin": "2.5"}]})",
            R"(ws.json: maps[0].thresholdMin: expected a number (or "NaN", "Infinity", "-Infinity"), got a string ("2.5"))"},
        BadCase{
            R"({"maps": [{"thresholdMax": "NaN:0x00000001"}]})",
            R"(ws.json: maps[0].thresholdMax: expected a number (or "NaN", "Infinity", "-Infinity"), got a string ("NaN:0x00000001"))"},
        BadCase{R"({"maps": [{"transparency": 1e39}]})",
                "ws.json: maps[0].transparency (line 1): the number 1e+39 is too large for single precision (beyond "
                "about 3.4e38)"},
        BadCase{"{\"maps\": [{},\n{\"thresholdMin\": 1e-50}]}",
                "ws.json: maps[1].thresholdMin (line 2): the number 1e-50 is too small for single precision (nearer 0 "
                "than about 1.4e-45, it would read as 0)"},
        BadCase{R"({"maps": [{"treshold": 1}]})",
                "ws.json: maps[0].treshold: unknown field; expected one of name, mapType, thresholdMin, thresholdMax, "
                "clusterSize, useClusterSize, degreesOfFreedom, showPosNeg, transparency, overlay, opaque"},
        BadCase{R"({"maps": [{"opaque": {"48": "00"}}]})",
                "ws.json: maps[0].opaque.48: expected 72 hex digits (36 bytes), got 2 characters"},
        BadCase{R"({"maps": [{"opaque": {"20": "0000000g"}}]})",
                "ws.json: maps[0].opaque.20: expected 8 hex digits (4 bytes), got a character that is not a "
                "hex digit "
                "at position 8"},
        BadCase{R"({"maps": [{"opaque": {"20": 0}}]})",
                "ws.json: maps[0].opaque.20 (line 1): expected 8 hex digits (4 bytes), got an integer (0)"},
        BadCase{R"({"maps": [{"opaque": {"24": "00000000"}}]})",
                "ws.json: maps[0].opaque.24: unknown field; expected one of 20, 36, 48, 88, 108"},
        BadCase{R"({"mapNameCapacity": 4, "maps": [{"name": "Faces"}]})",
                "ws.json: maps[0].name: expected a name of at most 3 bytes (mapNameCapacity 4), got 5 bytes"},
        BadCase{R"({"maps": [{"name": "a\u0000b"}]})",
                "ws.json: maps[0].name: expected a string without zero characters"},
        BadCase{R"({"mapNameCapacity": 0})",
                "ws.json: mapNameCapacity (line 1): expected an integer from 1 to 65536, got an integer (0)"},
        BadCase{R"({"documents": [{"name": "a.vmr"}]})",
                "ws.json: documents[0].type: expected an integer (1 FMR, 2 DMR, 3 VMR, 4 SRF), but the field is "
                "missing"},
        BadCase{R"({"documents": {"type": 3}})", "ws.json: documents: expected an array, got an object"},
        BadCase{R"({"documents": [{"type": 3, "typeName": 3}]})",
                "ws.json: documents[0].typeName (line 1): expected a string or null, got an integer (3)"},
        BadCase{R"({"documents": [{"type": 3}], "currentDocument": 1})",
                "ws.json: currentDocument (line 1): expected a document index from 0 to 0, or -1 for none, got an "
                "integer (1)"},
        BadCase{R"({"currentDocument": 0})",
                "ws.json: currentDocument (line 1): expected -1 (there are no documents), got an integer (0)"},
        BadCase{R"({"hostVersion": {"major": 2, "minor": 4}})",
                "ws.json: hostVersion.release: expected an integer, but the field is missing"},
        BadCase{R"({"description": 5})", "ws.json: description (line 1): expected a string, got an integer (5)"},
        BadCase{R"({"parameters": {"MinP": true}})",
                "ws.json: parameters.MinP: expected an integer, a number or a string, got true"},
        BadCase{R"({"parameters": {"Odd name": [1]}})",
                R"(ws.json: parameters["Odd name"]: expected an integer, a number or a string, got an array)"},
        BadCase{R"({"parameters": {"": 1}})", R"(ws.json: parameters[""]: a parameter name must not be empty)"},
        BadCase{R"({"hostile": {"unterminatedStrings": 1}})",
                "ws.json: hostile.unterminatedStrings (line 1): expected true or false, got an integer (1)"},
        BadCase{R"({"hostile": {"nullRecordIndices": [0, "1"]}})",
                R"(ws.json: hostile.nullRecordIndices[1]: expected an integer, got a string ("1"))"},
        BadCase{R"({"hostile": {"randomNullRecords": {"chance": 0.5}}})",
                "ws.json: hostile.randomNullRecords.seed: expected an integer from 0 to 4294967295, but the field is "
                "missing"},
        BadCase{R"({"hostile": {"randomNullRecords": {"seed": -1}}})",
                "ws.json: hostile.randomNullRecords.seed (line 1): expected an integer from 0 to 4294967295, got an "
                "integer "
                "(-1)"},
        BadCase{R"({"hostile": {"randomNullRecords": {"seed": 4294967296}}})",
                "ws.json: hostile.randomNullRecords.seed (line 1): expected an integer from 0 to 4294967295, got an "
                "integer "
                "(4294967296)"},
        BadCase{
            R"({"hostile": {"randomNullRecords": {"seed": 1, "chance": 1.5}}})",
            "ws.json: hostile.randomNullRecords.chance (line 1): expected a number from 0 to 1, got a number (1.5)"},
        BadCase{R"({"hostile": {"randomNullRecords": {"seed": 1, "odds": 1}}})",
                "ws.json: hostile.randomNullRecords.odds: unknown field; expected one of seed, chance"},
        BadCase{R"({"maps": [{}, {"overlay": 1, "overlay": 0}]})",
                "ws.json: maps[1].overlay: the field appears twice in one object"},
        // Maps are read as the file comes, yet an error is the one a reading
        // of the whole file field by field meets first, and one in the JSON
        // itself comes before any.
        BadCase{R"({"maps": [{"mapType": "x"}], "documents": [{"type": "y"}]})",
                R"(ws.json: documents[0].type: expected an integer, got a string ("y"))"},
        BadCase{R"({"maps": [{"mapType": "x"}, {"a": 1, "a": 2}]})",
                "ws.json: maps[1].a: the field appears twice in one object"},
        BadCase{R"({"maps": [1, {"mapType": 1e400}]})",
                "ws.json: maps[1].mapType (line 1): the number 1e400 is too large to hold (beyond about 1.8e308)"},
        BadCase{R"({"maps": [{"mapType": "x", "name": "Faces"}], "mapNameCapacity": 4})",
                "ws.json: maps[0].name: expected a name of at most 3 bytes (mapNameCapacity 4), got 5 bytes"},
        BadCase{R"({"maps": [{"mapType": "x"}, {"name": "Faces"}], "mapNameCapacity": 4})",
                R"(ws.json: maps[0].mapType: expected an integer, got a string ("x"))"},
        BadCase{R"({"maps": [{"name": "Faces", "odd": 1}], "mapNameCapacity": 4})",
                "ws.json: maps[0].odd: unknown field; expected one of name, mapType, thresholdMin, thresholdMax, "
                "clusterSize, useClusterSize, degreesOfFreedom, showPosNeg, transparency, overlay, opaque"},
        BadCase{R"({"parameters": {"odd name": 1e39}})",
                R"(ws.json: parameters["odd name"] (line 1): the number 1e+39 is too large for single precision )"
                "(beyond about 3.4e38)"},
        BadCase{"{\"maps\": [{\"mapType\": \"x\"}], \"description\": \"\xff\"}",
                "ws.json: not UTF-8 at byte 46 (line 1, column 46); save it as UTF-8 text"},
        BadCase{"{\n  \"maps\": [\n    {\"name\": \"a\",}\n  ]\n}",
                "ws.json: invalid JSON at line 3, column 18: syntax error while parsing object key - unexpected "
                "'}'; expected string literal"},
        BadCase{"",
                "ws.json: invalid JSON at line 1, column 1: syntax error while parsing value - unexpected end of "
                "input; expected '[', '{', or a literal"}));

// One rule for numbers, as --param has it too: an integer may be written with
// a fraction or an exponent when it is whole, and a float reads as the nearest
// float, in the spellings the human report shows too.
TEST(WorkspaceJson, WholeNumbersAreIntegersAndFloatsAreTheNearest) {
    const Workspace w = parseWorkspace(R"({"mapNameCapacity": 6.4e1, "maps": [{"mapType": 1e0, "clusterSize": 1e3,
        "overlay": 1.0, "thresholdMin": "-inf", "thresholdMax": "nan", "transparency": 3.4028235e38}]})",
                                       "ws.json");
    EXPECT_EQ(w.mapNameCapacity, 64u);
    const kelvane::NRVMPRecord& r = w.maps.at(0).record;
    EXPECT_EQ(r.mapType, 1);
    EXPECT_EQ(r.clusterSize, 1000);
    EXPECT_EQ(r.overlay, 1);
    EXPECT_EQ(r.thresholdMin, -INFINITY);
    EXPECT_TRUE(std::isnan(r.thresholdMax));
    EXPECT_EQ(r.transparency, FLT_MAX);
}

// The parser refuses what is not UTF-8 in a string as the whole text's check
// does, so that a text read without error needs no check of its own.
TEST(WorkspaceJson, IllFormedUtf8InAStringIsRefusedAsNotUtf8) {
    const char* const illFormed[] = {"\xc3\x28",         "\xc0\x80",         "\xe0\x80\x80", "\xed\xa0\x80",
                                     "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\x80",         "\xe2\x82"};
    for (const char* bytes : illFormed)
        EXPECT_EQ(errorOf(std::string(R"({"description": ")") + bytes + R"("})"),
                  "ws.json: not UTF-8 at byte 18 (line 1, column 18); save it as UTF-8 text");
}

// Fields come in any order: maps before the capacity their names must fit,
// the current document before the documents; keys alike at a glance are still
// two; a key twice in a large object is found.
TEST(WorkspaceJson, ReadsFieldsInAnyOrderAndTellsKeysApart) {
    const Workspace w = parseWorkspace(R"({"currentDocument": 1, "maps": [{"name": "Faces"}, {}], "mapNameCapacity": 8,
        "documents": [{"type": 1}, {"type": 3}], "parameters": {"abcd": 1, "aXcd": 2}})",
                                       "ws.json");
    EXPECT_EQ(w.currentDocument, 1);
    ASSERT_EQ(w.maps.size(), 2u);
    EXPECT_EQ(w.maps[0].name(), "Faces");
    EXPECT_EQ(w.maps[0].nameStorage.size(), 8u);
    EXPECT_EQ(w.maps[1].nameStorage, std::vector<char>(8, '\0'));
    EXPECT_EQ(w.parameters.size(), 2u);
    std::string many;
    for (int i = 0; i < 40; ++i) many += "\"p" + std::to_string(i) + "\": 1, ";
    EXPECT_EQ(errorOf(R"({"parameters": {)" + many + R"("p3": 2}})"),
              "ws.json: parameters.p3: the field appears twice in one object");
}

// A read that tells its progress reads the same, and tells it as it goes.
TEST(WorkspaceJson, ProgressIsToldAsTheReadGoes) {
    Workspace many;
    many.maps.resize(4200);  // a little over 2 MiB
    for (std::size_t i = 0; i < many.maps.size(); ++i) many.maps[i].setName("map " + std::to_string(i), 256);
    const std::string text = nimbrel::workspaceText(many);
    std::vector<std::size_t> told;
    const Workspace read = parseWorkspace(text, "ws.json", nullptr, [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, text.size());
        told.push_back(done);
    });
    EXPECT_EQ(nimbrel::workspaceText(read), text);
    ASSERT_GE(told.size(), text.size() >> 20);
    for (std::size_t i = 0; i < told.size(); ++i) EXPECT_GE(told[i], (i + 1) << 20);
}

TEST(WorkspaceJson, DeepNestingIsAnErrorNotACrash) {
    auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    EXPECT_EQ(errorOf(nested(512)), "ws.json: top level: expected an object, got an array");
    EXPECT_EQ(errorOf(nested(513)), "ws.json: line 1, column 513: arrays and objects nest more than 512 deep");
    EXPECT_EQ(errorOf(R"({"x": )" + nested(100000) + R"(, "y": 1})"),
              "ws.json: line 1, column 518: arrays and objects nest more than 512 deep");
}

// Every cut of a real file is either read or rejected with a WorkspaceFileError.
TEST(WorkspaceJson, EveryTruncationOfAnExampleIsRejectedCleanly) {
    const std::string text = readFile(KELVANE_SOURCE_DIR "/examples/default.json");
    ASSERT_FALSE(text.empty());
    for (std::size_t length = 0; length < text.size(); ++length) {
        try {
            parseWorkspace(text.substr(0, length), "cut.json");
        } catch (const WorkspaceFileError&) {
        }
    }
}

TEST(WorkspaceJson, FileErrorsNameTheFile) {
    EXPECT_THROW(
        {
            try {
                nimbrel::readWorkspaceFile("/nonexistent/ws.json");
            } catch (const WorkspaceFileError& e) {
                EXPECT_STREQ(e.what(), "/nonexistent/ws.json: cannot open the file: No such file or directory");
                throw;
            }
        },
        WorkspaceFileError);
    EXPECT_THROW(nimbrel::writeWorkspaceFile(Workspace{}, "/nonexistent/out.json"), WorkspaceFileError);
}

// With a dialog script's declarations, a parameter is read as its declared
// kind, by the same rules as --param, or refused.
TEST(WorkspaceJson, DeclaredParametersTakeTheirKindOrAreRefused) {
    const nimbrel::DeclaredParameters declared = {{"PNB", nimbrel::Parameter::Kind::Integer},
                                                  {"MinP", nimbrel::Parameter::Kind::Float},
                                                  {"Overlay", nimbrel::Parameter::Kind::Text}};
    const Workspace w =
        parseWorkspace(R"({"parameters": {"PNB": 2, "MinP": 1, "Overlay": "All"}})", "ws.json", &declared);
    EXPECT_EQ(w.parameters.at("MinP").kind, nimbrel::Parameter::Kind::Float);
    EXPECT_EQ(w.parameters.at("MinP").real, 1.0f);
    const std::pair<const char*, const char*> refused[] = {
        {R"({"parameters": {"MinP": "banana"}})",
         R"(ws.json: parameters.MinP: expected a number (or "NaN", "Infinity", "-Infinity"), got a string ("banana"))"},
        {R"({"parameters": {"PNB": 1.5}})",
         "ws.json: parameters.PNB (line 1): expected an integer, got a number (1.5)"},
        {R"({"parameters": {"Overlay": 3}})",
         "ws.json: parameters.Overlay (line 1): expected a string, got an integer (3)"},
        {R"({"parameters": {"minp": 0.01}})",
         "ws.json: parameters.minp: the dialog script declares no such parameter; did you mean MinP?"},
    };
    for (const auto& [text, message] : refused) {
        try {
            parseWorkspace(text, "ws.json", &declared);
            ADD_FAILURE() << text << " accepted";
        } catch (const WorkspaceFileError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

// The example workspaces the main job and the documentation use.
TEST(WorkspaceJson, ExamplesHoldWhatTheirRunsNeed) {
    const char* const options[] = {
        "DoSetMin",       "Min",         "DoSetMinP",        "MinP",       "DoSetMax",         "Max",
        "DoClusterSize",  "ClusterSize", "DoUseClusterSize", "UseCluster", "DoShowPosNegBoth", "PNB",
        "DoTransparancy", "Trans",       "DoOverlayMaps",    "Overlay",    "UseExactT"};
    for (const char* file : {"default.json", "overlay-list.json", "all-options.json"}) {
        SCOPED_TRACE(file);
        Workspace w = nimbrel::readWorkspaceFile(std::string(KELVANE_SOURCE_DIR "/examples/") + file);
        EXPECT_EQ(w.parameters.size(), 17u);
        for (const char* name : options) EXPECT_EQ(w.parameters.count(name), 1u) << name;
        ASSERT_GE(w.currentDocument, 0);
        EXPECT_EQ(w.documents[static_cast<std::size_t>(w.currentDocument)].type, 3);
        EXPECT_GE(w.maps.size(), 4u);
    }
    Workspace main = nimbrel::readWorkspaceFile(KELVANE_SOURCE_DIR "/examples/default.json");
    EXPECT_EQ(main.parameters["DoSetMin"].integer, 1);
    EXPECT_EQ(main.parameters["DoSetMinP"].integer, 1);
    EXPECT_EQ(floatBits(main.parameters["MinP"].real), floatBits(0.001f));
    for (const char* other : {"DoSetMax", "DoClusterSize", "DoUseClusterSize", "DoShowPosNegBoth", "DoTransparancy",
                              "DoOverlayMaps", "UseExactT"})
        EXPECT_EQ(main.parameters[other].integer, 0) << other;
    std::set<int32_t> degrees;
    int tMaps = 0, otherMaps = 0, overlaid = 0;
    for (const auto& map : main.maps) {
        if (map.record.mapType == 1)
            ++tMaps, degrees.insert(map.record.degreesOfFreedom);
        else
            ++otherMaps;
        overlaid += map.record.overlay == 1;
    }
    EXPECT_GE(degrees.size(), 3u);
    EXPECT_GE(otherMaps, 1);
    EXPECT_GE(overlaid, 1);
    // default.json writes out the dialog's defaults, every one of them.
    const auto script = nimbrel::readDialogScript(KELVANE_SOURCE_DIR "/package/Kelvane.js");
    for (const auto& p : script.parameters)
        EXPECT_EQ(nimbrel::parameterValueText(main.parameters[p.name]), nimbrel::parameterValueText(p.defaultValue))
            << p.name;
    Workspace list = nimbrel::readWorkspaceFile(KELVANE_SOURCE_DIR "/examples/overlay-list.json");
    EXPECT_EQ(list.maps.size(), 6u);
    EXPECT_EQ(list.parameters["Overlay"].text, "1,3-5");
}

}  // namespace
