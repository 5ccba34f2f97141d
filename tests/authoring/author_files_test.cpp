// The files for plug-in authors hold to the code: the committed header and host
// function reference are what kelvane_author_files writes from the host
// function list, and docs/writing-plugins.md gives the records, the exports
// and the dialog script format as the code has them.

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "authoring/author_files.h"
#include "authoring/host_catalog.h"
#include "authoring/record_layout.h"
#include "standin/files/dialog_script.h"
#include "standin/host/host_exports.h"
#include "tests/support/markdown.h"
#include "tests/support/read_file.h"

namespace kelvane::authoring {
namespace {

using kelvane::testing::markdownSections;
using kelvane::testing::readFile;

const std::filesystem::path kSource = KELVANE_SOURCE_DIR;
const std::filesystem::path kGuide = kSource / "docs" / "writing-plugins.md";

// The committed copies, as authoring/CMakeLists.txt lists them: the file
// written, and its path in the source tree.
std::vector<std::pair<std::string, std::string>> committedCopies() {
    std::vector<std::pair<std::string, std::string>> copies;
    std::istringstream list(KELVANE_AUTHOR_FILES);
    for (std::string pair; std::getline(list, pair, ',');)
        copies.emplace_back(pair.substr(0, pair.find('=')), pair.substr(pair.find('=') + 1));
    return copies;
}

class CommittedAuthorFile : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(CommittedAuthorFile, IsWhatTheGeneratorWritesFromTheHostFunctionList) {
    const auto& [file, copy] = GetParam();
    ASSERT_TRUE(file == kAuthorHeaderFile || file == kHostReferenceFile) << file;
    EXPECT_EQ(readFile(kSource / copy), file == kAuthorHeaderFile ? authorHeader() : hostReference())
        << copy << " is not what kelvane_author_files writes from host/host_function_list.inc. Refresh the "
        << "committed copies: " << kRefreshCommand;
}

INSTANTIATE_TEST_SUITE_P(Copies, CommittedAuthorFile, ::testing::ValuesIn(committedCopies()),
                         [](const auto& info) { return "copy" + std::to_string(info.index); });

TEST(WritingPlugins, GivesTheRecordsAsTheCodeLaysThemOut) {
    const auto sections = markdownSections(kGuide);
    for (const RecordLayout& record : recordLayouts()) {
        ASSERT_EQ(sections.count(record.name), 1u) << record.name;
        const auto& rows = sections.at(record.name).rows;
        ASSERT_EQ(rows.size(), record.fields.size()) << record.name;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const RecordField& field = record.fields[i];
            const std::string type = field.type + (field.extent ? "[" + std::to_string(field.extent) + "]" : "");
            EXPECT_EQ(
                std::vector<std::string>(rows[i].begin(), rows[i].begin() + 4),
                (std::vector<std::string>{std::to_string(field.offset), std::to_string(field.size), type, field.name}))
                << record.name;
        }
    }
}

TEST(WritingPlugins, DeclaresTheSevenExportsAsTheHeaderDoes) {
    const auto blocks = markdownSections(kGuide).at("The seven exports").codeBlocks;
    ASSERT_EQ(blocks.size(), 1u);
    std::istringstream lines(blocks[0]);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count)
        EXPECT_NE(authorHeader().find(line), std::string::npos) << line;
    EXPECT_EQ(count, 7);
}

// Every name of the header or of a host function the guide uses is one the
// header declares.
TEST(WritingPlugins, NamesOnlyWhatTheHeaderDeclares) {
    const std::string guide = readFile(kGuide), header = authorHeader();
    const std::regex name(R"(\b(NIMBREL_\w+|Nimbrel[A-Z]\w*|nb[A-Z]\w*))");
    std::set<std::string> unknown;
    for (std::sregex_iterator it(guide.begin(), guide.end(), name), end; it != end; ++it) {
        // A host function's name: the header declares its pointer type.
        std::string declared = it->str();
        if (declared.rfind("nb", 0) == 0 && declared.find("Function") == std::string::npos) declared += "Function";
        if (!std::regex_search(header, std::regex("\\b" + declared + "\\b"))) unknown.insert(it->str());
    }
    EXPECT_TRUE(unknown.empty()) << ::testing::PrintToString(unknown);
}

// The dialog types the document lists are those the stand-in's reader takes,
// each read with a getter whose contract serves it, and its example is a
// script the reader takes.
TEST(WritingPlugins, GivesTheDialogScriptFormatTheReaderTakes) {
    const auto section = markdownSections(kGuide).at("The dialog script");
    std::vector<std::string> documented, read;
    for (const auto& row : section.rows) {
        documented.push_back(row[0]);
        const std::string getter =
            row[2].substr(0, row[2].find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"));
        bool serves = false;
        for (const HostFunction& function : hostFunctions())
            if (function.name == getter && function.contract)
                serves = argumentWords(function.contract->arguments[0]).find(row[0]) != std::string::npos;
        EXPECT_TRUE(serves) << row[0] << " is not read with " << getter;
    }
    for (int type = 0; std::string(nimbrel::dialogTypeName(nimbrel::DialogType(type))) != "unknown"; ++type)
        read.push_back(nimbrel::dialogTypeName(nimbrel::DialogType(type)));
    EXPECT_EQ(documented, read);
    ASSERT_EQ(section.codeBlocks.size(), 1u);
    EXPECT_NO_THROW(nimbrel::parseDialogScript(section.codeBlocks[0], "writing-plugins.md"));
}

// The reference says the stand-in host serves the functions with a contract.
TEST(HostFunctionReference, TheFunctionsWithAContractAreThoseTheStandInServes) {
    std::vector<std::string> served, contracted;
    for (const auto& function : nimbrel::exportedHostFunctions())
        if (function.served) served.push_back(function.name);
    for (const HostFunction& function : hostFunctions())
        if (function.contract) contracted.push_back(function.name);
    EXPECT_EQ(served, contracted);
}

}  // namespace
}  // namespace kelvane::authoring
