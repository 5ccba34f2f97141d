#pragma once
// The check's table as an author reads it: --list's lines, its JSON, and the
// Markdown table docs/checking-plugins.md holds (a test keeps that equal).

#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

namespace nimbrel::check {

// Each check: its name and strictness, then what it needs, when it passes,
// what a failure means and its fix, each on a line of its own.
void printCheckList(std::ostream& out);
// [{"name", "strictness", "needs", "inRunOrder", "meaning", "failure", "fix"}, ...]
nlohmann::ordered_json checkListJson();
// "| Check | Strictness | Needs | Passes when | When it fails |" and a row per check.
std::string checkTableMarkdown();

}  // namespace nimbrel::check
