#include "standin/cli/parameter_override.h"
#include "tests/support/float_bits.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

using nimbrel::Parameter;
using nimbrel::ParameterError;
using Kind = Parameter::Kind;

using kelvane::testing::floatBits;

// What a parameter is, as one comparable text: "integer 5", "float 0.05", "text <a b>".
std::string shown(const Parameter& p) {
    switch (p.kind) {
        case Kind::Integer:
            return "integer " + std::to_string(p.integer);
        case Kind::Float:
            return "float bits " + std::to_string(floatBits(p.real));
        case Kind::Text:
            return "text <" + p.text + ">";
    }
    return "?";
}

std::string floatShown(float value) {
    return "float bits " + std::to_string(floatBits(value));
}

std::string outcome(const std::string& value, std::optional<Kind> kind) {
    try {
        return shown(nimbrel::parameterFromText("P", value, kind));
    } catch (const ParameterError& e) {
        return std::string("error: ") + e.what();
    }
}

struct Case {
    std::optional<Kind> existing;  // none: a new parameter
    const char* value;
    std::string expected;
};

void PrintTo(const Case& c, std::ostream* out) {
    const char* kinds[] = {"integer", "float", "text"};
    *out << (c.existing ? kinds[static_cast<int>(*c.existing)] : "new") << " <" << c.value << ">";
}

class ParameterValue : public ::testing::TestWithParam<Case> {};

TEST_P(ParameterValue, TakesTheKindItMust) {
    const Case& c = GetParam();
    EXPECT_EQ(outcome(c.value, c.existing), c.expected);
}

const std::string kIntegerError =
    "error: --param P=%: P is an integer parameter; expected an integer from "
    "-2147483648 to 2147483647";
const std::string kFloatError =
    "error: --param P=%: P is a float parameter; expected a number in single-precision range, or NaN, Infinity or "
    "-Infinity";

std::string with(std::string message, const std::string& value) {
    return message.replace(message.find('%'), 1, value);
}

// The longest text the host's getter hands over, and one byte more.
const std::string kLongestText(511, 'a');
const std::string kTextTooLong(512, 'a');
const std::string kTextTooLongError =
    "error: --param P=" + std::string(37, 'a') + "...: the text has 512 bytes; a string parameter holds 511 at most";

INSTANTIATE_TEST_SUITE_P(
    NewParameters, ParameterValue,
    ::testing::Values(Case{std::nullopt, "5", "integer 5"}, Case{std::nullopt, "+7", "integer 7"},
                      Case{std::nullopt, "-2147483648", "integer -2147483648"},
                      Case{std::nullopt, "2147483648", floatShown(2147483648.0f)},
                      Case{std::nullopt, "0.05", floatShown(0.05f)}, Case{std::nullopt, "1e-3", floatShown(0.001f)},
                      Case{std::nullopt, "5.0", floatShown(5.0f)}, Case{std::nullopt, "1,3-5", "text <1,3-5>"},
                      Case{std::nullopt, "All", "text <All>"}, Case{std::nullopt, "", "text <>"},
                      Case{std::nullopt, " 5", "text < 5>"}, Case{std::nullopt, "5 ", "text <5 >"},
                      Case{std::nullopt, "0x10", "text <0x10>"}, Case{std::nullopt, "inf", "text <inf>"},
                      Case{std::nullopt, "nan", "text <nan>"}, Case{std::nullopt, "1e50", "text <1e50>"},
                      Case{std::nullopt, kTextTooLong.c_str(), kTextTooLongError}));

INSTANTIATE_TEST_SUITE_P(
    ExistingParameters, ParameterValue,
    ::testing::Values(
        Case{Kind::Integer, "-3", "integer -3"}, Case{Kind::Integer, "7.0", "integer 7"},
        Case{Kind::Integer, "1e3", "integer 1000"}, Case{Kind::Integer, "7.5", with(kIntegerError, "7.5")},
        Case{Kind::Integer, "x", with(kIntegerError, "x")}, Case{Kind::Integer, "", with(kIntegerError, "")},
        Case{Kind::Integer, "4294967296",
             "error: --param P=4294967296: P is an integer parameter; the integer 4294967296 is out of range: expected "
             "an integer from -2147483648 to 2147483647"},
        Case{Kind::Float, "3", floatShown(3.0f)}, Case{Kind::Float, "0.001", floatShown(0.001f)},
        Case{Kind::Float, "abc", with(kFloatError, "abc")},
        Case{Kind::Float, "1e50",
             "error: --param P=1e50: P is a float parameter; the number 1e50 is too large for single precision (beyond "
             "about 3.4e38)"},
        Case{Kind::Float, "1e-46",
             "error: --param P=1e-46: P is a float parameter; the number 1e-46 is too small for single precision "
             "(nearer 0 than about 1.4e-45, it would read as 0)"},
        Case{Kind::Float, "3.4028235e38", floatShown(FLT_MAX)},
        Case{Kind::Float, "3.4028235677973366e38",
             "error: --param P=3.4028235677973366e38: P is a float parameter; the number 3.4028235677973366e38 is too "
             "large for single precision (beyond about 3.4e38)"},
        Case{Kind::Float, "inf", floatShown(INFINITY)}, Case{Kind::Float, "nan", floatShown(NAN)},
        Case{Kind::Float, "-Infinity", floatShown(-INFINITY)}, Case{Kind::Float, "NaN", floatShown(NAN)},
        Case{Kind::Text, "12", "text <12>"}, Case{Kind::Text, "", "text <>"},
        Case{Kind::Text, kLongestText.c_str(), "text <" + kLongestText + ">"},
        Case{Kind::Text, kTextTooLong.c_str(), kTextTooLongError}));

TEST(ParameterAssignment, SplitsAtTheFirstEquals) {
    auto a = nimbrel::splitAssignment("Overlay=1,3-5=x");
    EXPECT_EQ(a.name, "Overlay");
    EXPECT_EQ(a.value, "1,3-5=x");
    EXPECT_EQ(nimbrel::splitAssignment("Overlay=").value, "");
}

TEST(ParameterAssignment, RejectsAMissingEqualsOrName) {
    const std::pair<const char*, const char*> cases[] = {
        {"MinP", "--param MinP: expected NAME=VALUE, with '=' between name and value"},
        {"", "--param : expected NAME=VALUE, with '=' between name and value"},
        {"=5", "--param =5: the parameter name before '=' is empty"},
    };
    for (const auto& [argument, message] : cases) {
        try {
            nimbrel::splitAssignment(argument);
            ADD_FAILURE() << argument << " accepted";
        } catch (const ParameterError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

TEST(ParameterAssignment, OverridesKeepingTheKindAndAdds) {
    nimbrel::Workspace w;
    w.parameters["MinP"] = Parameter::ofFloat(0.05f);
    nimbrel::applyAssignment(w, "MinP=1");
    nimbrel::applyAssignment(w, "DoSetMin=1");
    EXPECT_EQ(shown(w.parameters["MinP"]), floatShown(1.0f));
    EXPECT_EQ(shown(w.parameters["DoSetMin"]), "integer 1");
    // The second assignment must fit the kind the first one made.
    EXPECT_THROW(nimbrel::applyAssignment(w, "DoSetMin=yes"), ParameterError);
    EXPECT_EQ(shown(w.parameters["DoSetMin"]), "integer 1");
}

// Against a dialog script's declarations: only declared names, of their kind;
// an unknown name is answered with the declared names nearest to it.
TEST(ParameterAssignment, DeclaredNamesAndKindsOnly) {
    const nimbrel::DeclaredParameters declared = {{"DoSetMin", Kind::Integer}, {"Min", Kind::Float},
                                                  {"MinP", Kind::Float},       {"Max", Kind::Float},
                                                  {"PNB", Kind::Integer},      {"Overlay", Kind::Text}};
    nimbrel::Workspace w;
    nimbrel::applyAssignment(w, "Min=3", &declared);
    nimbrel::applyAssignment(w, "Overlay=12", &declared);
    EXPECT_EQ(shown(w.parameters["Min"]), floatShown(3.0f));
    EXPECT_EQ(shown(w.parameters["Overlay"]), "text <12>");
    const std::pair<const char*, const char*> refused[] = {
        {"minp=0.01", "--param minp=0.01: the dialog script declares no such parameter; did you mean MinP?"},
        {"MinPP=0.01", "--param MinPP=0.01: the dialog script declares no such parameter; did you mean MinP?"},
        {"Threshold=2",
         "--param Threshold=2: the dialog script declares no such parameter; it declares DoSetMin, Max, Min, MinP, "
         "Overlay, PNB"},
        {"PNB=1.5", "--param PNB=1.5: PNB is an integer parameter; expected an integer from -2147483648 to 2147483647"},
    };
    for (const auto& [argument, message] : refused) {
        try {
            nimbrel::applyAssignment(w, argument, &declared);
            ADD_FAILURE() << argument << " accepted";
        } catch (const ParameterError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
    EXPECT_EQ(w.parameters.size(), 2u);
}

}  // namespace
