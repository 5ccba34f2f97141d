#pragma once
// cli/: the stand-in host as a person or a script meets it. The command line
// (command_line.h, read as UTF-8 on every system by utf8_command_line.h, with
// --param in parameter_override.h), the exit statuses (exit_status.h, which
// also turns how a watched run ended into one), what a run takes from the
// dialog script (dialog_use.h), the human report and the JSON report
// (run_report.h and its maps_table.h, drawn with terminal_text.h, progress.h
// for long loads), and this file, which puts one run together: it reads the
// files (files/), serves the plug-in as the host (host/) and drives it
// (plugin/). Nimbrel.exe --check is check/'s.
//
// One run of Nimbrel.exe: workspace, plug-in, dialog script, the run itself,
// the reports and the exit status.

#include <functional>
#include <ostream>
#include <string>

#include "standin/cli/command_line.h"

namespace nimbrel {

class RunOutputs;

// Runs the plug-in as the command line says, writing into the outputs that
// were prepared for it; returns the exit status.
int runNimbrel(const CommandLine& options, const std::string& executable, RunOutputs& outputs, std::ostream& out,
               std::ostream& err);

// What runs the conformance check a command line asks for, given this
// executable's path (check/check_command.h; the check is a library of its own).
using CheckCommand = std::function<int(const CommandLine& options, const std::string& executable)>;

// The whole program: a run, or the check by runCheck.
int nimbrelMain(int argc, char** argv, const CheckCommand& runCheck);

}  // namespace nimbrel
