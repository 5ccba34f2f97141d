// Kelvane.js, the plug-in's dialog: it declares exactly the seventeen parameters
// the plug-in reads, under their names and with their types, and the copy
// beside the built module is the one in the source tree. The help page beside
// it is its template with the threshold figures filled in by the plug-in's own
// computation.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "standin/files/dialog_script.h"
#include "tests/support/float_bits.h"
#include "tests/support/read_file.h"

namespace {

namespace fs = std::filesystem;
using nimbrel::DialogParameter;
using nimbrel::DialogScript;
using nimbrel::DialogType;

const std::string kSource = KELVANE_SOURCE_DIR "/package/Kelvane.js";

using kelvane::testing::readFile;

using kelvane::testing::floatBits;

const DialogScript& kelvaneDialog() {
    static const DialogScript script = nimbrel::readDialogScript(kSource);
    return script;
}

// The seventeen parameters the plug-in reads, in the order it reads them, with
// the host getter each goes through: a switch and an int by the integer
// getter, a float by the float getter, the list by the text getter.
struct Declared {
    const char* name;
    DialogType type;
};

const Declared kSeventeen[] = {
    {"DoSetMin", DialogType::Switch},         {"Min", DialogType::Float},
    {"DoSetMinP", DialogType::Switch},        {"MinP", DialogType::Float},
    {"DoSetMax", DialogType::Switch},         {"Max", DialogType::Float},
    {"DoClusterSize", DialogType::Switch},    {"ClusterSize", DialogType::Int},
    {"DoUseClusterSize", DialogType::Switch}, {"UseCluster", DialogType::Switch},
    {"DoShowPosNegBoth", DialogType::Switch}, {"PNB", DialogType::Int},
    {"DoTransparancy", DialogType::Switch},   {"Trans", DialogType::Float},
    {"DoOverlayMaps", DialogType::Switch},    {"Overlay", DialogType::String},
    {"UseExactT", DialogType::Switch},
};

void PrintTo(const Declared& d, std::ostream* out) {
    *out << d.name;
}

class KelvaneDialogParameter : public ::testing::TestWithParam<Declared> {};

TEST_P(KelvaneDialogParameter, IsDeclaredWithItsTypeALabelAndADefault) {
    const DialogParameter* p = kelvaneDialog().find(GetParam().name);
    ASSERT_NE(p, nullptr) << GetParam().name << " is not declared";
    EXPECT_EQ(p->type, GetParam().type) << "declared as " << nimbrel::dialogTypeName(p->type);
    EXPECT_FALSE(p->label.empty());
    // A value belongs to its switch: the dialog enables it only when the switch is on.
    const std::string name = GetParam().name;
    if (name.rfind("Do", 0) != 0) {
        EXPECT_FALSE(p->enabledBy.empty()) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Seventeen, KelvaneDialogParameter, ::testing::ValuesIn(kSeventeen),
                         [](const ::testing::TestParamInfo<Declared>& info) { return std::string(info.param.name); });

TEST(KelvaneDialog, DeclaresExactlyTheSeventeenInTheOrderTheyAreRead) {
    std::vector<std::string> declared, expected;
    for (const DialogParameter& p : kelvaneDialog().parameters) declared.push_back(p.name);
    for (const Declared& d : kSeventeen) expected.push_back(d.name);
    EXPECT_EQ(declared, expected);
}

TEST(KelvaneDialog, PnbOffersTheThreeSignsInTheirOrder) {
    const DialogParameter* pnb = kelvaneDialog().find("PNB");
    ASSERT_NE(pnb, nullptr);
    EXPECT_EQ(pnb->choices, (std::vector<std::string>{"Positive", "Negative", "Both (pos and neg)"}));
    EXPECT_EQ(pnb->enabledBy, "DoShowPosNegBoth");
}

TEST(KelvaneDialog, EachValueIsEnabledByItsOwnSwitch) {
    const std::pair<const char*, const char*> pairs[] = {
        {"Min", "DoSetMin"},         {"DoSetMinP", "DoSetMin"},        {"MinP", "DoSetMinP"},
        {"Max", "DoSetMax"},         {"ClusterSize", "DoClusterSize"}, {"UseCluster", "DoUseClusterSize"},
        {"PNB", "DoShowPosNegBoth"}, {"Trans", "DoTransparancy"},      {"Overlay", "DoOverlayMaps"},
        {"UseExactT", "DoSetMinP"}};
    for (const auto& [value, enabledBy] : pairs) {
        const DialogParameter* p = kelvaneDialog().find(value);
        ASSERT_NE(p, nullptr) << value;
        EXPECT_EQ(p->enabledBy, enabledBy) << value;
    }
}

// The dialog opens on the plug-in's headline job: the lower threshold of every
// t-map from p = 0.001, nothing else changed, every value sensible once its
// switch is turned on.
TEST(KelvaneDialog, DefaultsAreTheHeadlineJobWithSensibleValues) {
    auto integer = [](const char* name) { return kelvaneDialog().find(name)->defaultValue.integer; };
    auto real = [](const char* name) { return kelvaneDialog().find(name)->defaultValue.real; };
    EXPECT_EQ(integer("DoSetMin"), 1);
    EXPECT_EQ(integer("DoSetMinP"), 1);
    EXPECT_EQ(floatBits(real("MinP")), floatBits(0.001f));
    for (const char* off : {"DoSetMax", "DoClusterSize", "DoUseClusterSize", "DoShowPosNegBoth", "DoTransparancy",
                            "DoOverlayMaps", "UseExactT"})
        EXPECT_EQ(integer(off), 0) << off;
    EXPECT_GT(real("Min"), 0.0f);
    EXPECT_LT(real("Min"), real("Max"));
    EXPECT_GE(integer("ClusterSize"), 1);
    EXPECT_EQ(integer("UseCluster"), 1);
    EXPECT_EQ(integer("PNB"), 2);
    EXPECT_GE(real("Trans"), 0.0f);
    EXPECT_LE(real("Trans"), 1.0f);
    EXPECT_EQ(kelvaneDialog().find("Overlay")->defaultValue.text, "All");
}

// The host finds the dialog script and the help page beside the module; the
// build puts them there.
TEST(KelvanePackage, TheCopiesBesideTheBuiltModuleAreTheSources) {
    const fs::path beside = fs::path(KELVANE_MODULE_PATH).parent_path();
    EXPECT_EQ(readFile(beside / "Kelvane.js"), readFile(kSource));

    // Every piece of the template between its figures stands in the page, in order.
    const std::string page = readFile(beside / "HelpFolder" / "index.html");
    std::istringstream lines(readFile(KELVANE_SOURCE_DIR "/package/HelpFolder/index.html.in"));
    std::vector<std::string> pieces(1);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("<!-- generated: ", 0) == 0)
            pieces.emplace_back();
        else
            pieces.back() += line + "\n";
    }
    EXPECT_EQ(pieces.size(), 6u);
    std::size_t at = 0;
    for (const std::string& piece : pieces) {
        at = page.find(piece, at);
        ASSERT_NE(at, std::string::npos) << "not in the page:\n" << piece.substr(0, 300);
        at += piece.size();
    }
}

// The cells of a table row of the help page whose first cell is first.
std::vector<std::string> helpPageRow(const std::string& first) {
    static const std::string page = readFile(fs::path(KELVANE_MODULE_PATH).parent_path() / "HelpFolder" / "index.html");
    std::smatch row;
    if (!std::regex_search(page, row, std::regex("<tr><td[^>]*>" + first + "</td>(.*)</tr>"))) return {};
    std::vector<std::string> cells;
    const std::string text = row[1].str();
    const std::regex cell("<td[^>]*>([^<]*)</td>");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), cell); it != std::sregex_iterator(); ++it)
        cells.push_back((*it)[1].str());
    return cells;
}

// The t table shows the thresholds the search gives (the known results of the
// halving search, and the exact t where it cannot reach, marked *) beside the
// textbook's critical t; the measured accuracy shows the case found by hand.
TEST(KelvanePackage, TheHelpPageShowsThePlugInsOwnThresholds) {
    using Row = std::vector<std::string>;
    EXPECT_EQ(helpPageRow("1"),
              (Row{"12.7062&nbsp;*", "12.7062", "63.6567&nbsp;*", "63.6567", "636.6192&nbsp;*", "636.6192"}));
    EXPECT_EQ(helpPageRow("2").at(0), "4.3027");
    EXPECT_EQ(helpPageRow("5").at(0), "2.5706");
    EXPECT_EQ(helpPageRow("10").at(0), "2.2281");
    EXPECT_EQ(helpPageRow("20").at(2), "2.8453");
    EXPECT_EQ(helpPageRow("100").at(4), "3.3905");
    EXPECT_EQ(helpPageRow("1000").at(5), "3.3003");
    const Row worst = helpPageRow("0.001");
    ASSERT_GE(worst.size(), 4u);
    EXPECT_EQ(Row(worst.begin(), worst.begin() + 4), (Row{"690", "3.2930", "3.3047", "0.00104"}));
}

}  // namespace
