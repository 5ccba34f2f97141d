#include "standin/check/check_listing.h"

#include "standin/check/checks.h"

namespace nimbrel::check {
namespace {

// "create, destroy", or "nothing".
std::string needsText(const CheckDefinition& check, const char* quote = "") {
    std::string text;
    for (const char* need : check.needs)
        if (need != nullptr) text += (text.empty() ? "" : ", ") + std::string(quote) + need + quote;
    return text.empty() ? "nothing" : text;
}

// indent and text as lines of at most width characters, those after the first indented further.
void printWrapped(std::ostream& out, const std::string& indent, const std::string& text, std::size_t width = 100) {
    std::string line = indent;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find(' ', begin);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(begin, end - begin);
        if (line.size() > indent.size() && line.size() + 1 + word.size() > width) {
            out << line << '\n';
            line = std::string(6, ' ');
        } else if (line.size() > indent.size()) {
            line += ' ';
        }
        line += word;
        begin = end + 1;
    }
    out << line << '\n';
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
