#pragma once
// Dialog parameters given on the command line: --param NAME=VALUE.

#include <stdexcept>
#include <string>

#include "standin/workspace.h"

namespace nimbrel {

// A --param argument that cannot be used; what() says why, in one line.
class ParameterError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ParameterAssignment {
    std::string name;
    std::string value;
};

// Splits NAME=VALUE at the first '='. Throws ParameterError when there is no
// '=' or the name is empty.
ParameterAssignment splitAssignment(const std::string& argument);

// The value a parameter takes from a text. A parameter the workspace already
// has keeps its kind and the text must fit it (any text fits a text); a new
// one is an integer if the text is a whole 32-bit integer, else a float if it
// is a finite float, else a text. Throws ParameterError.
Parameter parameterFromText(const std::string& name, const std::string& value, const Parameter* existing);

// Applies one --param argument to the workspace's parameters.
void applyAssignment(Workspace& workspace, const std::string& argument);

}  // namespace nimbrel
