// The check's one table: what --only takes in, which fix a failure gets, and
// the table docs/checking-plugins.md shows, held equal to it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "standin/check/check_listing.h"
#include "standin/check/checks.h"
#include "tests/support/read_file.h"

namespace {

using nimbrel::check::CheckDefinition;

const char* const kCheckDocument = KELVANE_SOURCE_DIR "/docs/checking-plugins.md";
const char* const kTableHead = "| Check | Strictness | Needs | Passes when | When it fails |\n";

struct Chosen {
    std::vector<std::string> only;
    std::string checks;  // the checks run, blank-separated, in order
};
// Named by what it expects; GoogleTest would print the object's bytes, padding and all.
void PrintTo(const Chosen& chosen, std::ostream* out) {
    *out << chosen.checks;
}

class OnlyChecks : public ::testing::TestWithParam<Chosen> {};

TEST_P(OnlyChecks, TakeInWhatTheyNeedInTheRunsOrder) {
    std::string names;
    for (const CheckDefinition* check : nimbrel::check::chosenChecks(GetParam().only))
        names += (names.empty() ? "" : " ") + std::string(check->name);
    EXPECT_EQ(names, GetParam().checks);
}

INSTANTIATE_TEST_SUITE_P(Names, OnlyChecks,
                         ::testing::Values(Chosen{{"exports"}, "exports"},
                                           Chosen{{"package"}, "exports descriptors package"},
                                           Chosen{{"init-no-maps", "create"}, "exports create destroy init-no-maps"},
                                           Chosen{{"cycles"}, "exports create destroy init-valid-vmr cycles"},
                                           Chosen{{"execute-leaks", "descriptors"},
                                                  "exports descriptors create destroy init-valid-vmr execute-leaks"}));

struct Fix {
    const char* check;
    const char* reason;
    const char* fix;  // its beginning
};
void PrintTo(const Fix& fix, std::ostream* out) {
    *out << fix.check << ": " << fix.reason;
}

class FailureFix : public ::testing::TestWithParam<Fix> {};

TEST_P(FailureFix, AKnownCauseComesBeforeTheChecksOwnFix) {
    const Fix& f = GetParam();
    EXPECT_EQ(nimbrel::check::fixFor(*nimbrel::check::findCheck(f.check), f.reason).rfind(f.fix, 0), 0u)
        << nimbrel::check::fixFor(*nimbrel::check::findCheck(f.check), f.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, FailureFix,
    ::testing::Values(
        Fix{"init-valid-vmr", "during execute (a valid VMR with maps), nbLogText was called on another thread (4242)",
            "call host functions only on the thread"},
        Fix{"execute-null-records", "the process ended with signal 11 during execute (null records at indices 0)",
            "a null answer means that map cannot be read"},
        Fix{"init-valid-vmr", "the process ended with signal 11 during execute (a valid VMR with maps)", ""},
        Fix{"destroy", "slot 0 with flags 1 does not free the object", "lay the object's table out"}));

// The table in the document is what the check's table prints; to refresh it:
//   cmake --build --preset default --target refresh_check_table
TEST(CheckTable, IsTheDocumentsTable) {
    const std::string document = kelvane::testing::readFile(kCheckDocument);
    const std::size_t begin = document.find(kTableHead);
    ASSERT_NE(begin, std::string::npos) << kCheckDocument << " has no table of checks";
    std::size_t end = begin;
    while (end < document.size() && document[end] == '|') end = document.find('\n', end) + 1;
    const std::string table = nimbrel::check::checkTableMarkdown();
    if (std::getenv("KELVANE_REFRESH_CHECK_TABLE") != nullptr) {
        std::ofstream(kCheckDocument, std::ios::binary) << document.substr(0, begin) << table << document.substr(end);
        return;
    }
    EXPECT_EQ(document.substr(begin, end - begin), table)
        << "refresh it: cmake --build --preset default --target refresh_check_table";
}

}  // namespace
