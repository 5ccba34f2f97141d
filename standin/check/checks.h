#pragma once
// The conformance checks, in the order they run. Each runs alone in a child
// process; what a check needs of the plug-in holds for any plug-in of the
// family, none relies on one plug-in's own texts.

#include <vector>

#include "standin/check/check_context.h"

namespace nimbrel::check {

struct CheckDefinition {
    const char* name;
    int strictness;       // the lowest strictness that runs it: 1, 2 or 3
    const char* meaning;  // what passing means, one line
    CheckResult (*run)(CheckContext& context);
};

const std::vector<CheckDefinition>& checkDefinitions();
// The check of that name, or null.
const CheckDefinition* findCheck(const std::string& name);

// The module and its objects (lifecycle_checks.cpp).
CheckResult checkExports(CheckContext& context);
CheckResult checkDescriptors(CheckContext& context);
CheckResult checkPackage(CheckContext& context);
CheckResult checkCreate(CheckContext& context);
CheckResult checkDestroy(CheckContext& context);
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

}  // namespace nimbrel::check
