#pragma once
// The codes and sizes an author needs, under the names the C header gives
// them, with their values taken from the plug-in's own constants.

#include <string>
#include <vector>

namespace kelvane::authoring {

struct AuthorConstant {
    std::string macro;    // the header's name: "NIMBREL_STRING_PARAMETER_SIZE"
    std::string ownName;  // the plug-in's name, as the list's notes use it: "kStringParameterSize"
    std::string value;    // as C writes it: 512, "Nimbrel.exe", 1u
    std::string comment;  // for authors, one line
};

const std::vector<AuthorConstant>& authorConstants();

// A note of the host function list as an author reads it: the plug-in's
// constant names become the header's, and the plug-in's own files are not
// named. Throws std::logic_error for a constant name the header does not give.
std::string noteForAuthors(const std::string& note);

}  // namespace kelvane::authoring
