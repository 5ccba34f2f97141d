#pragma once
// The parameters a dialog script declares, which every parameter a workspace
// or --param gives is checked against; for a name it does not declare, the
// declared names closest to it.

#include <map>
#include <string>
#include <vector>

#include "standin/host/workspace.h"

namespace nimbrel {

// Declared names with the kind the host holds each as (a switch and an int
// are integers).
using DeclaredParameters = std::map<std::string, Parameter::Kind>;

// The declared names nearest to name (at most three, equally near): those
// within a few edits, letter case aside; none when nothing is near.
std::vector<std::string> closestNames(const std::string& name, const DeclaredParameters& declared);

// Why name cannot be used: "the dialog script declares no such parameter;
// did you mean MinP?", or the declared names when none is near.
std::string undeclaredParameter(const std::string& name, const DeclaredParameters& declared);

}  // namespace nimbrel
