#pragma once
// check/: Nimbrel.exe --check PLUGIN [--strictness 1..3] [--report-json FILE]
// [--time-limit SECONDS], the conformance check of any plug-in of this family
// (its options a group of the one command line, cli/command_line.h; its exit
// statuses beside the run's, cli/exit_status.h). Each check runs in a child
// process of its own (this executable again, with the hidden --check-run NAME
// PLUGIN CHANNEL), so that an exit, a crash or a hang fails that check alone;
// the child is waited for, and its end worded, as a run's (plugin/process_end.h).
// The checks themselves are in checks.h, the host they run against in
// check_workspace.h, and a host that lacks a function is host/host_lacking.h's.

#include <optional>
#include <string>

#include "standin/cli/command_line.h"
#include "standin/cli/exit_status.h"

namespace nimbrel::check {

// Runs a child's --check-run when argv asks for one; otherwise gives nothing.
std::optional<int> checkChildMain(int argc, char** argv);

// Runs the check the command line asks for (commandLine.check), self being
// this executable; gives a status of kCheckExitStatuses.
int runCheckCommand(const CommandLine& commandLine, const std::string& self);

}  // namespace nimbrel::check
