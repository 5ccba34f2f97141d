#pragma once
// The conformance checks, in the order they run. Each runs alone in a child
// process; what a check needs of the plug-in holds for any plug-in of the
// family, none relies on one plug-in's own texts. Adding a check: its
// function here, its row in check_list.cpp.

#include <array>
#include <string>
#include <vector>

#include "standin/check/check_context.h"
#include "standin/check/check_report.h"

namespace nimbrel::check {

// The checks one needs to have passed, by name; when one of them failed or was
// skipped, this one is skipped. Each is a check that runs earlier at the same
// or a lower strictness (held at compile time, check_list.cpp).
using CheckNeeds = std::array<const char*, 2>;

// One row of the check's table (check_list.cpp), from which the run order,
// --list, --only and the documented table all come.
struct CheckDefinition {
    const char* name;
    int strictness;       // the lowest strictness that runs it: 1, 2 or 3
    CheckNeeds needs;     // unused places are null
    const char* meaning;  // what passing means
    const char* failure;  // what a failure means
    const char* fix;      // what the author does about any failure of it, or null when that depends on the cause
    CheckResult (*run)(CheckContext& context);  // null for a check no process runs
    // Whether the plug-in's heap is guarded in its process: every allocation
    // beside a page no one may touch (where the system has such an
    // allocator; the heap is not measured then).
    bool guardHeap = false;
    // Whether it starts processes of its own, each with the time limit.
    bool startsProcesses = false;
    // Whether it is one of the run's steps; if not, it is shown only when it
    // fails ("module") or is run by another check ("run-in-host-lacking").
    bool inRunOrder = true;
};

// Every row, in the order the run takes them.
const std::vector<CheckDefinition>& checkDefinitions();
// The check of that name, or null; also finds the checks outside the run order.
const CheckDefinition* findCheck(const std::string& name);
// The checks to run: the named ones (each a check of the run order) and what
// they need, in the run's order; empty names give every check.
std::vector<const CheckDefinition*> chosenChecks(const std::vector<std::string>& names);
// What the author does about a failure for that reason, when its cause is
// known (check_fixes.cpp); else, unless it was a warning, the check's own fix.
std::string fixFor(const CheckDefinition& check, const std::string& reason);

// Runs the check in a child process of program (a stand-in host) and reads
// how it ended (check_command.cpp).
CheckOutcome runCheckProcess(const std::string& program, const CheckDefinition& check, const std::string& plugin,
                             double timeLimit);
// A path in the temporary folder that no other run uses: stem and a random number.
std::string uniqueTemporaryPath(const std::string& stem);

// The module and its objects (lifecycle_checks.cpp).
CheckResult checkExports(CheckContext& context);
CheckResult checkDescriptors(CheckContext& context);
CheckResult checkPackage(CheckContext& context);
CheckResult checkCreate(CheckContext& context);
CheckResult checkDestroy(CheckContext& context);
CheckResult checkExecuteLeaks(CheckContext& context);
CheckResult checkCycles(CheckContext& context);

// initPlugin in each host state (startup_checks.cpp).
CheckResult checkInitOldHost(CheckContext& context);
CheckResult checkInitNoDocument(CheckContext& context);
CheckResult checkInitNotVmr(CheckContext& context);
CheckResult checkInitNoMaps(CheckContext& context);
CheckResult checkInitValidVmr(CheckContext& context);

// execute with the dialog's defaults and under each hostile mode (execute_checks.cpp).
CheckResult checkExecuteDefaults(CheckContext& context);
CheckResult checkExecuteNullRecords(CheckContext& context);
CheckResult checkExecuteRandomNullRecords(CheckContext& context);
CheckResult checkExecuteMapCounts(CheckContext& context);
CheckResult checkExecuteUnterminatedStrings(CheckContext& context);
CheckResult checkExecuteParametersNeverSet(CheckContext& context);
CheckResult checkExecuteNonFiniteFloats(CheckContext& context);
CheckResult checkExecuteNullMapNames(CheckContext& context);
CheckResult checkExecuteMapCreationFails(CheckContext& context);
CheckResult checkExecuteDocumentCounts(CheckContext& context);

// execute in hosts that each lack one host function (host_lacking_checks.cpp).
CheckResult checkExecuteHostFunctionsMissing(CheckContext& context);
// The run in one such host: initPlugin, execute when it accepts, destroy.
CheckResult runInHostLacking(CheckContext& context);

}  // namespace nimbrel::check
