#pragma once
// One run of Nimbrel.exe: workspace, plug-in, dialog script, the run itself,
// the reports and the exit status.

#include <ostream>
#include <string>

#include "standin/command_line.h"

namespace nimbrel {

// Runs the plug-in as the command line says; returns the exit status.
int runNimbrel(const CommandLine& options, const std::string& executable, std::ostream& out, std::ostream& err);

// The whole program.
int nimbrelMain(int argc, char** argv);

}  // namespace nimbrel
