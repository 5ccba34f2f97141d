#pragma once
// What a run warns of about the dialog's parameters: a value outside an
// int's choices (known before the run), a parameter given that the plug-in
// never read, and parameters the plug-in read that nobody gave (known after
// it). Each warning goes to every output of the run: the human report,
// standard error with --quiet, and the JSON report's "warnings".

#include <map>
#include <set>
#include <string>
#include <vector>

#include "standin/files/dialog_script.h"
#include "standin/host/workspace.h"

namespace nimbrel {

struct ParameterWarning {
    enum class Kind { OutsideChoices, GivenNotRead, ReadNotGiven };
    Kind kind;
    std::vector<std::string> parameters;  // those it is about, in name order
    std::string text;                     // the warning in one sentence
};

// "outsideChoices", "givenNotRead", "readNotGiven", as the JSON report names them.
const char* warningKindName(ParameterWarning::Kind kind);

// "PNB=7 is none of its choices, 0 to 2; the run goes on with it", for each
// int whose value has no label.
std::vector<ParameterWarning> valuesOutsideChoices(const DialogScript& script, const Workspace& workspace);

// After a run: each parameter given that the plug-in never read (given:
// name -> where, "--param minp=0.05" or "the workspace"; only once execute
// has run, which reads the dialog), and in one warning the parameters it read
// that nobody gave (parameters: what the host held, defaults included).
std::vector<ParameterWarning> readingWarnings(const std::map<std::string, std::string>& given,
                                              const std::map<std::string, Parameter>& parameters,
                                              const std::set<std::string>& read, bool executed);

}  // namespace nimbrel
