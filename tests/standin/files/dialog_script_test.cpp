// The dialog script reader: the declarations it takes, what it refuses and
// why, and the defaults it gives a workspace.

#include "standin/files/dialog_script.h"
#include "tests/support/float_bits.h"
#include "tests/support/temporary_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using nimbrel::DialogScript;
using nimbrel::DialogScriptError;
using nimbrel::DialogType;
using nimbrel::Parameter;
using Kind = Parameter::Kind;

using kelvane::testing::floatBits;

// A script around a list of parameter declarations.
std::string script(const std::string& parameters) {
    return "var Dialog = {\n  \"parameters\": [\n" + parameters + "\n  ]\n};\n";
}

std::string errorOf(const std::string& text) {
    try {
        nimbrel::parseDialogScript(text, "d.js");
    } catch (const DialogScriptError& e) {
        return e.what();
    }
    return "(read without error)";
}

// ---------------------------------------------------------------------------
// What the reader takes.

TEST(DialogScript, ReadsEveryTypeWithItsDefaultLabelChoicesAndSwitch) {
    const DialogScript s = nimbrel::parseDialogScript(R"(// The dialog.
/* A block comment
   over lines, with "quotes" and // inside. */
var MyDialog = {
    "title": "Threshold // not a comment",
    "parameters": [
        { "name": "DoIt", "type": "switch", "label": "Do it", "default": true },
        { "name": "Count", "type": "int", "label": "Count", "default": -7, "enabledBy": "DoIt" },
        { "name": "Level", "type": "float", "label": "Level /* here */", "default": 0.001 },  // trailing note
        { "name": "List", "type": "string", "label": "List", "default": "1,3-5" },
        { "name": "Sign", "type": "int", "label": "Sign", "default": 2,
          "choices": ["Positive", "Negative", "Both"] }
    ]
};
)",
                                                      "d.js");
    EXPECT_EQ(s.variable, "MyDialog");
    EXPECT_EQ(s.title, "Threshold // not a comment");
    ASSERT_EQ(s.parameters.size(), 5u);

    EXPECT_EQ(s.parameters[0].name, "DoIt");
    EXPECT_EQ(s.parameters[0].type, DialogType::Switch);
    EXPECT_EQ(s.parameters[0].defaultValue.kind, Kind::Integer);
    EXPECT_EQ(s.parameters[0].defaultValue.integer, 1);

    EXPECT_EQ(s.parameters[1].type, DialogType::Int);
    EXPECT_EQ(s.parameters[1].defaultValue.integer, -7);
    EXPECT_EQ(s.parameters[1].enabledBy, "DoIt");

    EXPECT_EQ(s.parameters[2].type, DialogType::Float);
    EXPECT_EQ(s.parameters[2].label, "Level /* here */");
    EXPECT_EQ(s.parameters[2].defaultValue.kind, Kind::Float);
    EXPECT_EQ(floatBits(s.parameters[2].defaultValue.real), floatBits(0.001f));

    EXPECT_EQ(s.parameters[3].type, DialogType::String);
    EXPECT_EQ(s.parameters[3].defaultValue.kind, Kind::Text);
    EXPECT_EQ(s.parameters[3].defaultValue.text, "1,3-5");

    EXPECT_EQ(s.parameters[4].choices, (std::vector<std::string>{"Positive", "Negative", "Both"}));
    EXPECT_EQ(s.find("Sign"), &s.parameters[4]);
    EXPECT_EQ(s.find("sign"), nullptr);
}

struct Accepted {
    const char* name;
    std::string text;
};

void PrintTo(const Accepted& c, std::ostream* out) {
    *out << c.name;
}

class DialogScriptForm : public ::testing::TestWithParam<Accepted> {};

TEST_P(DialogScriptForm, IsRead) {
    EXPECT_EQ(errorOf(GetParam().text), "(read without error)");
}

const std::string kOne = R"({ "name": "A", "type": "switch", "label": "A", "default": 0 })";

INSTANTIATE_TEST_SUITE_P(
    Forms, DialogScriptForm,
    ::testing::Values(
        Accepted{"Let", "let D = {\"parameters\": [" + kOne + "]};"},
        Accepted{"Const", "const D = {\"parameters\": [" + kOne + "]};"},
        Accepted{"NoSemicolon", "var D = {\"parameters\": [" + kOne + "]}\n"},
        Accepted{"ByteOrderMark", "\xEF\xBB\xBFvar D = {\"parameters\": []};"},
        Accepted{"WindowsLineEnds", "var D = {\r\n\"parameters\": [\r\n" + kOne + "\r\n]\r\n};\r\n"},
        Accepted{"DollarAndUnderscoreInTheName", "var $my_dialog2 = {\"parameters\": []};"},
        Accepted{"NoParameters", "var D = {\"parameters\": []};"},
        Accepted{"CommentsAroundTheName", "var /* a */ D // b\n= {\"parameters\": []};"},
        Accepted{"CommentAfterTheSemicolon", "var D = {\"parameters\": []}; // end\n/* done */"},
        Accepted{"EscapedQuoteInAText", script(R"({ "name": "A", "type": "string", "label": "A \"x\" //",
                                                    "default": "a\\\"b" })")},
        Accepted{"SwitchAsNumbers", script(R"({ "name": "A", "type": "switch", "label": "A", "default": 1 },
                                               { "name": "B", "type": "switch", "label": "B", "default": false })")},
        Accepted{"WholeNumberForAFloat", script(R"({ "name": "A", "type": "float", "label": "A", "default": 8 })")},
        Accepted{"IntLimits", script(R"({ "name": "A", "type": "int", "label": "A", "default": 2147483647 },
                                        { "name": "B", "type": "int", "label": "B", "default": -2147483648 })")},
        Accepted{"LongestText", script(R"({ "name": "A", "type": "string", "label": "A", "default": ")" +
                                       std::string(511, 'x') + "\" }")},
        Accepted{"ChainOfSwitches", script(R"({ "name": "A", "type": "switch", "label": "A", "default": 1 },
                                              { "name": "B", "type": "switch", "label": "B", "default": 1,
                                                "enabledBy": "A" },
                                              { "name": "C", "type": "float", "label": "C", "default": 1,
                                                "enabledBy": "B" })")},
        Accepted{"SwitchDeclaredAfterItsUser", script(R"({ "name": "C", "type": "float", "label": "C", "default": 1,
                                                         "enabledBy": "A" },
                                                       { "name": "A", "type": "switch", "label": "A", "default": 1 })")}),
    [](const ::testing::TestParamInfo<Accepted>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// What the reader refuses, each with one line that says where and why.

struct Refused {
    const char* name;
    std::string text;
    const char* error;  // after "d.js: "
};

void PrintTo(const Refused& c, std::ostream* out) {
    *out << c.name;
}

class DialogScriptRefusal : public ::testing::TestWithParam<Refused> {};

TEST_P(DialogScriptRefusal, SaysWhereAndWhy) {
    EXPECT_EQ(errorOf(GetParam().text), std::string("d.js: ") + GetParam().error);
}

std::string withDefault(const char* type, const std::string& value) {
    return script(std::string(R"({ "name": "P", "type": ")") + type + R"(", "label": "P", "default": )" + value + " }");
}

INSTANTIATE_TEST_SUITE_P(
    Declaration, DialogScriptRefusal,
    ::testing::Values(
        Refused{"Empty", "", "line 1, column 1: the script declares nothing; expected var NAME = { ... };"},
        Refused{"OnlyComments", "// nothing\n/* here */\n",
                "line 3, column 1: the script declares nothing; expected var NAME = { ... };"},
        Refused{"BareObject", "{\"parameters\": []}",
                "line 1, column 1: expected var, let or const, the start of the one declaration; got \"{\""},
        Refused{"Function", "function f() {}",
                "line 1, column 1: expected var, let or const, the start of the one declaration; got \"function\""},
        Refused{"NoName", "var = {}", "line 1, column 5: expected the name of the declared variable after var"},
        Refused{"NameStartsWithADigit", "var 2d = {}",
                "line 1, column 5: expected the name of the declared variable after var"},
        Refused{"NoEquals", "var D {}", "line 1, column 7: expected '=' after var D"},
        Refused{"NoValue", "var D = ;", "line 1, column 9: expected a value after '='"},
        Refused{"SingleQuotes", "var D = {\n  'parameters': []};",
                "line 2, column 3: texts are written in double quotes in a dialog script"},
        Refused{"TemplateText", "var D = {\"title\": `x`};",
                "line 1, column 19: texts are written in double quotes in a dialog script"},
        Refused{"UnendedComment", "var D = {}; /* no end",
                "line 1, column 13: the comment that starts here never ends (no */)"},
        Refused{"UnendedCommentInTheValue", "var D = {/* no end",
                "line 1, column 19: syntax error while parsing object key - invalid comment; missing closing '*/'; "
                "last read: '{/* no end'; expected string literal"},
        Refused{
            "UnendedText", "var D = {\"title\": \"x};",
            "line 1, column 23: syntax error while parsing value - invalid string: missing closing quote; last read: "
            "'\"x};'"},
        Refused{"TextOverTwoLines", "var D = {\"title\": \"x\n\"};",
                "line 1, column 21: syntax error while parsing value - invalid string: control character U+000A (LF) "
                "must be escaped to \\u000A or \\n; last read: '\"x<U+000A>'"},
        Refused{"TrailingComma", "var D = {\n  \"parameters\": [],\n};",
                "line 3, column 1: syntax error while parsing object key - unexpected '}'; expected string "
                "literal"},
        Refused{"UnquotedKey", "var D = {parameters: []};",
                "line 1, column 10: syntax error while parsing object key - invalid literal; last read: '{p'; "
                "expected string literal"},
        Refused{"TwoDeclarations", "var D = {\"parameters\": []};\nvar E = 1;",
                "line 1, column 27: more follows the value; a dialog script is one declaration, ended by at most one "
                "';'"},
        Refused{"TwoSemicolons", "var D = {\"parameters\": []};;",
                "line 1, column 27: more follows the value; a dialog script is one declaration, ended by at most one "
                "';'"},
        Refused{"KeyTwice", "var D = {\"parameters\": [], \"parameters\": []};",
                "the key \"parameters\" appears twice in one object"}),
    [](const ::testing::TestParamInfo<Refused>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Structure, DialogScriptRefusal,
    ::testing::Values(
        Refused{"NotAnObject", "var D = [];", "top level: expected an object, got a list"},
        Refused{"NoParameterList", "var D = {\"title\": \"T\"};", "top level: the list \"parameters\" is missing"},
        Refused{"ParametersNotAList", "var D = {\"parameters\": {}};", "parameters: expected a list, got an object"},
        Refused{"UnknownTopLevelKey", "var D = {\"parameters\": [], \"titel\": \"T\"};",
                "titel: unknown field; expected one of title, parameters"},
        Refused{"TitleNotAText", "var D = {\"title\": 3, \"parameters\": []};",
                "title: expected a text, got a whole number (3)"},
        Refused{"ParameterNotAnObject", script("\"DoSetMin\""),
                "parameters[0]: expected an object, got a text (\"DoSetMin\")"},
        Refused{"UnknownParameterKey", script(R"({ "name": "A", "type": "switch", "label": "A", "defualt": 0 })"),
                "parameters[0].defualt: unknown field; expected one of name, type, label, default, choices, "
                "enabledBy"},
        Refused{"NoName", script(R"({ "type": "switch", "label": "A", "default": 0 })"),
                "parameters[0]: \"name\" is missing"},
        Refused{"NameNotAText", script(R"({ "name": 1, "type": "switch", "label": "A", "default": 0 })"),
                "parameters[0], name: expected a text, got a whole number (1)"},
        Refused{"NameWithABlank", script(R"({ "name": "Do It", "type": "switch", "label": "A", "default": 0 })"),
                "parameters[0], name: expected a name of letters, digits and _ that does not start with a digit, "
                "got \"Do It\""},
        Refused{"NameWithEquals", script(R"({ "name": "A=1", "type": "switch", "label": "A", "default": 0 })"),
                "parameters[0], name: expected a name of letters, digits and _ that does not start with a digit, "
                "got \"A=1\""},
        Refused{"EmptyName", script(R"({ "name": "", "type": "switch", "label": "A", "default": 0 })"),
                "parameters[0], name: expected a name of letters, digits and _ that does not start with a digit, "
                "got \"\""},
        Refused{"NoType", script(R"({ "name": "A", "label": "A", "default": 0 })"),
                "parameter \"A\" (parameters[0]): \"type\" is missing"},
        Refused{"NoLabel", script(R"({ "name": "A", "type": "switch", "default": 0 })"),
                "parameter \"A\" (parameters[0]): \"label\" is missing"},
        Refused{"NoDefault", script(kOne + R"(, { "name": "B", "type": "int", "label": "B" })"),
                "parameter \"B\" (parameters[1]): \"default\" is missing"},
        Refused{"UnknownType", script(R"({ "name": "A", "type": "bool", "label": "A", "default": 0 })"),
                "parameter \"A\" (parameters[0]), type: expected \"switch\", \"int\", \"float\" or \"string\", got "
                "\"bool\""},
        Refused{"TypeInCapitals", script(R"({ "name": "A", "type": "Float", "label": "A", "default": 0 })"),
                "parameter \"A\" (parameters[0]), type: expected \"switch\", \"int\", \"float\" or \"string\", got "
                "\"Float\""},
        Refused{"EmptyLabel", script(R"({ "name": "A", "type": "switch", "label": "", "default": 0 })"),
                "parameter \"A\" (parameters[0]), label: the label is empty; the user needs one"},
        Refused{"NameTwice", script(kOne + ", " + kOne),
                "parameter \"A\" (parameters[1]), name: the name is declared twice"}),
    [](const ::testing::TestParamInfo<Refused>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Defaults, DialogScriptRefusal,
    ::testing::Values(
        Refused{"SwitchOfTwo", withDefault("switch", "2"),
                "parameter \"P\" (parameters[0]), default: expected 0 or 1 for a switch, got a whole number (2)"},
        Refused{"SwitchAsText", withDefault("switch", "\"1\""),
                "parameter \"P\" (parameters[0]), default: expected 0 or 1 for a switch, got a text (\"1\")"},
        Refused{"SwitchAsFraction", withDefault("switch", "1.0"),
                "parameter \"P\" (parameters[0]), default: expected 0 or 1 for a switch, got a number (1.0)"},
        Refused{"IntAsFraction", withDefault("int", "25.0"),
                "parameter \"P\" (parameters[0]), default: expected a whole number, got a number (25.0)"},
        Refused{"IntAsText", withDefault("int", "\"25\""),
                "parameter \"P\" (parameters[0]), default: expected a whole number, got a text (\"25\")"},
        Refused{"IntAsBoolean", withDefault("int", "true"),
                "parameter \"P\" (parameters[0]), default: expected a whole number, got true"},
        Refused{"IntAboveRange", withDefault("int", "2147483648"),
                "parameter \"P\" (parameters[0]), default: expected a whole number from -2147483648 to 2147483647, "
                "got a whole number (2147483648)"},
        Refused{"IntBelowRange", withDefault("int", "-2147483649"),
                "parameter \"P\" (parameters[0]), default: expected a whole number from -2147483648 to 2147483647, "
                "got a whole number (-2147483649)"},
        Refused{"FloatAsText", withDefault("float", "\"0.05\""),
                "parameter \"P\" (parameters[0]), default: expected a number, got a text (\"0.05\")"},
        Refused{"FloatAsNull", withDefault("float", "null"),
                "parameter \"P\" (parameters[0]), default: expected a number, got null"},
        Refused{"FloatBeyondSinglePrecision", withDefault("float", "1e39"),
                "parameter \"P\" (parameters[0]), default: expected a number within single-precision range, got a "
                "number (1e+39)"},
        Refused{"StringAsNumber", withDefault("string", "1"),
                "parameter \"P\" (parameters[0]), default: expected a text, got a whole number (1)"},
        Refused{"StringTooLong", withDefault("string", "\"" + std::string(512, 'x') + "\""),
                "parameter \"P\" (parameters[0]), default: the text has 512 bytes; a string parameter holds 511 at "
                "most"},
        Refused{"StringWithAZero", withDefault("string", "\"a\\u0000b\""),
                "parameter \"P\" (parameters[0]), default: the text holds a zero character"}),
    [](const ::testing::TestParamInfo<Refused>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    ChoicesAndSwitches, DialogScriptRefusal,
    ::testing::Values(
        Refused{"ChoicesOnAFloat",
                script(R"({ "name": "P", "type": "float", "label": "P", "default": 0, "choices": ["a"] })"),
                "parameter \"P\" (parameters[0]), choices: only an int parameter can have choices (this one is a "
                "float)"},
        Refused{"ChoicesEmpty", script(R"({ "name": "P", "type": "int", "label": "P", "default": 0, "choices": [] })"),
                "parameter \"P\" (parameters[0]), choices: expected a list of labels, got a list"},
        Refused{"ChoiceNotAText",
                script(R"({ "name": "P", "type": "int", "label": "P", "default": 0, "choices": ["a", 2] })"),
                "parameter \"P\" (parameters[0]), choices: expected a text, got a whole number (2)"},
        Refused{"ChoiceEmpty",
                script(R"({ "name": "P", "type": "int", "label": "P", "default": 0, "choices": ["a", ""] })"),
                "parameter \"P\" (parameters[0]), choices: a choice's label is empty"},
        Refused{"DefaultBeyondTheChoices",
                script(R"({ "name": "P", "type": "int", "label": "P", "default": 3, "choices": ["a", "b", "c"] })"),
                "parameter \"P\" (parameters[0]), default: expected one of the choices' values, 0 to 2, got 3"},
        Refused{"NegativeDefaultWithChoices",
                script(R"({ "name": "P", "type": "int", "label": "P", "default": -1, "choices": ["a"] })"),
                "parameter \"P\" (parameters[0]), default: expected one of the choices' values, 0 to 0, got -1"},
        Refused{"EnabledByNothing",
                script(R"({ "name": "P", "type": "int", "label": "P", "default": 0, "enabledBy": "DoP" })"),
                "parameter \"P\" (parameters[0]), enabledBy: \"DoP\" is not a parameter of this script"},
        Refused{"EnabledByAnInt", script(R"({ "name": "N", "type": "int", "label": "N", "default": 1 },
                          { "name": "P", "type": "int", "label": "P", "default": 0, "enabledBy": "N" })"),
                "parameter \"P\" (parameters[1]), enabledBy: \"N\" is of type int, not a switch"},
        Refused{"EnabledByItself",
                script(R"({ "name": "A", "type": "switch", "label": "A", "default": 0, "enabledBy": "A" })"),
                "parameter \"A\" (parameters[0]), enabledBy: the chain of enabledBy switches loops"},
        Refused{"EnabledInACircle",
                script(R"({ "name": "A", "type": "switch", "label": "A", "default": 0, "enabledBy": "B" },
                          { "name": "B", "type": "switch", "label": "B", "default": 0, "enabledBy": "A" })"),
                "parameter \"A\" (parameters[0]), enabledBy: the chain of enabledBy switches loops"}),
    [](const ::testing::TestParamInfo<Refused>& info) { return info.param.name; });

// Every cut of a real script is either read or refused with a DialogScriptError.
TEST(DialogScript, EveryTruncationIsRefusedCleanly) {
    const std::string text = script(R"({ "name": "A", "type": "switch", "label": "A // b", "default": 1 },
        /* c */ { "name": "B", "type": "string", "label": "B", "default": "All", "enabledBy": "A" })");
    for (std::size_t length = 0; length < text.size(); ++length) {
        try {
            nimbrel::parseDialogScript(text.substr(0, length), "cut.js");
        } catch (const DialogScriptError&) {
        }
    }
}

// ---------------------------------------------------------------------------
// Files, the script's place beside the plug-in, and the defaults.

class DialogScriptFile : public ::testing::Test {
protected:
    kelvane::testing::TemporaryFolder temporary_{"dialog"};
    const fs::path& folder_ = temporary_.path();
};

TEST_F(DialogScriptFile, IsReadFromItsPathAndFileErrorsNameIt) {
    const fs::path path = folder_ / "D.js";
    std::ofstream(path, std::ios::binary) << script(kOne);
    EXPECT_EQ(nimbrel::readDialogScript(path.string()).parameters.size(), 1u);

    auto errorOfFile = [](const std::string& file) -> std::string {
        try {
            nimbrel::readDialogScript(file);
        } catch (const DialogScriptError& e) {
            return e.what();
        }
        return "(read)";
    };
    const std::string missing = (folder_ / "none.js").string();
    EXPECT_EQ(errorOfFile(missing), missing + ": cannot open the file: No such file or directory");
    EXPECT_EQ(errorOfFile(folder_.string()), folder_.string() + ": is a folder, not a dialog script");
    std::ofstream(folder_ / "bad.js", std::ios::binary) << "var D = {\"parameters\": 1};";
    EXPECT_EQ(errorOfFile((folder_ / "bad.js").string()),
              (folder_ / "bad.js").string() + ": parameters: expected a list, got a whole number (1)");
}

TEST(DialogScript, LivesBesideThePluginModule) {
    const fs::path module = fs::path("plugins") / "Kelvane" / "Kelvane.so";
    EXPECT_EQ(nimbrel::dialogScriptBeside(module.string(), "Kelvane.js"),
              (fs::path("plugins") / "Kelvane" / "Kelvane.js").string());
    EXPECT_EQ(nimbrel::dialogScriptBeside(module.string(), "gui/K.js"),
              (fs::path("plugins") / "Kelvane" / "gui" / "K.js").string());
    EXPECT_EQ(nimbrel::dialogScriptBeside(module.string(), ""), "");
}

TEST(DialogScript, DefaultsFillOnlyWhatTheWorkspaceLacksAndKeepTheirTypes) {
    const DialogScript s = nimbrel::parseDialogScript(script(R"(
        { "name": "DoIt", "type": "switch", "label": "Do it", "default": 1 },
        { "name": "Count", "type": "int", "label": "Count", "default": 25 },
        { "name": "Level", "type": "float", "label": "Level", "default": 0.5 },
        { "name": "List", "type": "string", "label": "List", "default": "All" })"),
                                                      "d.js");
    nimbrel::Workspace workspace;
    workspace.parameters["Count"] = Parameter::ofText("seven");  // the workspace's own kind and value stay
    workspace.parameters["Other"] = Parameter::ofFloat(2.0f);
    const std::vector<std::string> applied = nimbrel::applyDialogDefaults(s, workspace);

    EXPECT_EQ(applied, (std::vector<std::string>{"DoIt", "Level", "List"}));
    ASSERT_EQ(workspace.parameters.size(), 5u);
    EXPECT_EQ(workspace.parameters["DoIt"].kind, Kind::Integer);
    EXPECT_EQ(workspace.parameters["DoIt"].integer, 1);
    EXPECT_EQ(workspace.parameters["Count"].kind, Kind::Text);
    EXPECT_EQ(workspace.parameters["Count"].text, "seven");
    EXPECT_EQ(workspace.parameters["Level"].kind, Kind::Float);
    EXPECT_EQ(floatBits(workspace.parameters["Level"].real), floatBits(0.5f));
    EXPECT_EQ(workspace.parameters["List"].text, "All");
    EXPECT_EQ(floatBits(workspace.parameters["Other"].real), floatBits(2.0f));

    // A second time there is nothing left to fill.
    EXPECT_TRUE(nimbrel::applyDialogDefaults(s, workspace).empty());
}

TEST(DialogScript, ValuesShowAsTheHeaderShowsThem) {
    EXPECT_EQ(nimbrel::parameterValueText(Parameter::ofInteger(-3)), "-3");
    EXPECT_EQ(nimbrel::parameterValueText(Parameter::ofFloat(8.0f)), "8.0");
    EXPECT_EQ(nimbrel::parameterValueText(Parameter::ofFloat(0.001f)), "0.001");
    EXPECT_EQ(nimbrel::parameterValueText(Parameter::ofText("1,3-5")), "\"1,3-5\"");
    EXPECT_EQ(nimbrel::dialogTypeName(DialogType::Switch), std::string("switch"));
    EXPECT_EQ(nimbrel::dialogTypeName(DialogType::String), std::string("string"));
}

}  // namespace
