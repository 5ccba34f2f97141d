#include "standin/check/check_listing.h"

#include "standin/check/checks.h"
#include "standin/cli/terminal_text.h"

namespace nimbrel::check {
namespace {

// "create, destroy", or "nothing".
std::string needsText(const CheckDefinition& check, const char* quote = "") {
    std::string text;
    for (const char* need : check.needs)
        if (need != nullptr) text += (text.empty() ? "" : ", ") + std::string(quote) + need + quote;
    return text.empty() ? "nothing" : text;
}

// The width --list folds its lines to: the terminal's (or COLUMNS), else 100.
std::size_t listWidth() {
    return terminalColumns(1).value_or(100);
}

// indent and text, folded to the width, the lines after the first indented further.
void printWrapped(std::ostream& out, const std::string& indent, const std::string& text) {
    out << fitLines(indent + text, listWidth(), std::string(6, ' ')) << '\n';
}

}  // namespace

void printCheckList(std::ostream& out) {
    for (const CheckDefinition& check : checkDefinitions()) {
        out << check.name << " (strictness " << check.strictness << ")\n";
        printWrapped(out, "  needs: ", needsText(check));
        printWrapped(out, "  passes when: ", check.meaning);
        printWrapped(out, "  a failure: ", check.failure);
        if (check.fix != nullptr) printWrapped(out, "  fix: ", check.fix);
        out << '\n';
    }
    out << "Nimbrel.exe --check PLUGIN --only NAME[,NAME...] runs those checks and what they need.\n" << std::flush;
}

nlohmann::ordered_json checkListJson() {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const CheckDefinition& check : checkDefinitions()) {
        nlohmann::ordered_json row;
        row["name"] = check.name;
        row["strictness"] = check.strictness;
        row["needs"] = nlohmann::ordered_json::array();
        for (const char* need : check.needs)
            if (need != nullptr) row["needs"].push_back(need);
        row["inRunOrder"] = check.inRunOrder;
        row["meaning"] = check.meaning;
        row["failure"] = check.failure;
        row["fix"] = check.fix != nullptr ? nlohmann::ordered_json(check.fix) : nlohmann::ordered_json(nullptr);
        list.push_back(row);
    }
    return list;
}

std::string checkTableMarkdown() {
    std::string table = "| Check | Strictness | Needs | Passes when | When it fails |\n|---|---|---|---|---|\n";
    for (const CheckDefinition& check : checkDefinitions()) {
        table += "| `" + std::string(check.name) + "` | " + std::to_string(check.strictness) + " | " +
                 needsText(check, "`") + " | " + check.meaning + " | " + check.failure;
        if (check.fix != nullptr) table += "; fix: " + std::string(check.fix);
        table += " |\n";
    }
    return table;
}

}  // namespace nimbrel::check
