#pragma once
// Dialog parameters given on the command line: --param NAME=VALUE.

#include <optional>
#include <stdexcept>
#include <string>

#include "standin/files/declared_parameters.h"
#include "standin/host/workspace.h"

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

// The value a parameter takes from a text. Of a given kind, the text must fit
// it as a workspace value must: a whole 32-bit integer, a number within
// single-precision range (or NaN, Infinity, -Infinity), any text. Of no kind,
// it is an integer if the text is a whole 32-bit integer, else a float if it
// is a finite float, else a text. Throws ParameterError.
Parameter parameterFromText(const std::string& name, const std::string& value, std::optional<Parameter::Kind> kind);

// Applies one --param argument to the workspace's parameters. With
// declarations, the name must be declared and the value takes its declared
// kind; without, a parameter the workspace has keeps its kind and a new one
// is taken as given.
void applyAssignment(Workspace& workspace, const std::string& argument, const DeclaredParameters* declared = nullptr);

}  // namespace nimbrel
