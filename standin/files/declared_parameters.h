#pragma once
// The parameters a dialog script declares, which every parameter a workspace
// or --param gives is checked against; for a name it does not declare, the
// declared names closest to it.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/host_contract.h"
#include "standin/host/workspace.h"

namespace nimbrel {

// Declared names with the kind the host holds each as (a switch and an int
// are integers).
using DeclaredParameters = std::map<std::string, Parameter::Kind>;

// The longest text a string parameter carries: the host's getter hands it
// over in kelvane::kStringParameterSize bytes, its terminating zero among them.
inline constexpr std::size_t kLongestTextParameter = kelvane::kStringParameterSize - 1;

// Why a text cannot be a string parameter's value, wherever it is given: "the
// text has 601 bytes; a string parameter holds 511 at most". None when it can.
std::optional<std::string> textParameterRefusal(const std::string& text);

// The declared names nearest to name (at most three, equally near): those
// within a few edits, letter case aside; none when nothing is near.
std::vector<std::string> closestNames(const std::string& name, const DeclaredParameters& declared);
// The same among any known names, in their order.
std::vector<std::string> closestNames(const std::string& name, const std::vector<std::string>& known);
// "A", "A or B", "A, B or C".
std::string alternatives(const std::vector<std::string>& names);

// Why name cannot be used: "the dialog script declares no such parameter;
// did you mean MinP?", or the declared names when none is near.
std::string undeclaredParameter(const std::string& name, const DeclaredParameters& declared);

}  // namespace nimbrel
