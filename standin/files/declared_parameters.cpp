#include "standin/files/declared_parameters.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace nimbrel {
namespace {

char folded(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Edits (insert, delete, replace) from a to b, letter case aside.
std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (folded(a[i - 1]) == folded(b[j - 1]) ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string alternatives(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
}

std::optional<std::string> textParameterRefusal(const std::string& text) {
    if (text.size() <= kLongestTextParameter) return std::nullopt;
    return "the text has " + std::to_string(text.size()) + " bytes; a string parameter holds " +
           std::to_string(kLongestTextParameter) + " at most";
}

std::vector<std::string> closestNames(const std::string& name, const DeclaredParameters& declared) {
    std::vector<std::string> names;
    for (const auto& entry : declared) names.push_back(entry.first);
    return closestNames(name, names);
}

std::vector<std::string> closestNames(const std::string& name, const std::vector<std::string>& known) {
    constexpr std::size_t kMostSuggested = 3;
    const std::size_t reach = std::max<std::size_t>(2, name.size() / 3);
    std::size_t nearest = reach + 1;
    std::vector<std::string> names;
    for (const std::string& candidate : known) {
        const std::size_t distance = editDistance(name, candidate);
        if (distance < nearest) {
            nearest = distance;
            names.clear();
        }
        if (distance == nearest && names.size() < kMostSuggested) names.push_back(candidate);
    }
    return names;
}

std::string undeclaredParameter(const std::string& name, const DeclaredParameters& declared) {
    const std::string message = "the dialog script declares no such parameter";
    const std::vector<std::string> closest = closestNames(name, declared);
    if (!closest.empty()) return message + "; did you mean " + alternatives(closest) + "?";
    if (declared.empty()) return message + "; it declares none";
    std::string all;
    for (const auto& entry : declared) all += (all.empty() ? "" : ", ") + entry.first;
    return message + "; it declares " + all;
}

}  // namespace nimbrel
