#include "standin/check/checks.h"

namespace nimbrel::check {
namespace {

// What most checks need: objects that can be made and destroyed through a
// sound table, and an initPlugin that accepts a valid VMR.
const char* const kObjects = "create destroy";
const char* const kAccepts = "init-valid-vmr";
constexpr bool kGuarded = true;

}  // namespace

const std::vector<CheckDefinition>& checkDefinitions() {
    static const std::vector<CheckDefinition> checks = {
        {"exports", 1, "the seven functions are exported under their plain names", checkExports},
        {"descriptors", 1,
         "each descriptor is a non-null, terminated, printable text of sane length, the same on every call",
         checkDescriptors, "exports"},
        {"package", 1,
         "the dialog script and help file the module names exist beside it; the script declares its parameters",
         checkPackage, "descriptors"},
        {"create", 1, "createPlugin gives a new, independent object with a three-slot table each time", checkCreate,
         "exports"},
        {"destroy", 1,
         "slot 0 with flags 1 frees the object: nothing grows with the number of 1,000 create/destroy cycles",
         checkDestroy, "create"},
        {"init-old-host", 2,
         "initPlugin under a host older than 2.2.0 returns; a refusal shows its reason, an acceptance executes",
         checkInitOldHost, kObjects, kGuarded},
        {"init-no-document", 2,
         "initPlugin with no current document returns; a refusal shows its reason, an acceptance executes",
         checkInitNoDocument, kObjects, kGuarded},
        {"init-not-vmr", 2,
         "initPlugin when the current document is not a VMR returns; a refusal shows its reason, an acceptance "
         "executes",
         checkInitNotVmr, kObjects, kGuarded},
        {"init-no-maps", 2,
         "initPlugin on a VMR without maps returns; a refusal shows its reason, an acceptance executes",
         checkInitNoMaps, kObjects, kGuarded},
        {"init-valid-vmr", 2,
         "initPlugin on a valid VMR with maps accepts, and execute then returns, keeping the host's contract",
         checkInitValidVmr, kObjects, kGuarded},
        {"execute-defaults", 2,
         "execute with the dialog's defaults, and with every switch on, returns and touches only what the host hands "
         "it",
         checkExecuteDefaults, kAccepts, kGuarded},
        {"execute-null-records", 2, "execute survives the host refusing the first, middle and last records",
         checkExecuteNullRecords, kAccepts, kGuarded},
        {"execute-random-null-records", 2, "execute survives records refused at random (five seeds)",
         checkExecuteRandomNullRecords, kAccepts, kGuarded},
        // Not guarded: 100,000 maps make more allocations than a page each can serve.
        {"execute-map-counts", 2, "execute survives map counts of -1, 0 and 100,000", checkExecuteMapCounts, kAccepts},
        {"execute-unterminated-strings", 2, "execute survives 512-byte text parameters with no terminator",
         checkExecuteUnterminatedStrings, kAccepts, kGuarded},
        {"execute-parameters-never-set", 2, "execute survives a host that never set a parameter",
         checkExecuteParametersNeverSet, kAccepts, kGuarded},
        {"execute-non-finite-floats", 2, "execute survives NaN and infinite float parameters",
         checkExecuteNonFiniteFloats, kAccepts, kGuarded},
        {"execute-null-map-names", 2, "execute survives records whose name pointer is null", checkExecuteNullMapNames,
         kAccepts, kGuarded},
        {"execute-map-creation-fails", 2, "execute survives a host that cannot create maps",
         checkExecuteMapCreationFails, kAccepts, kGuarded},
        {"execute-document-counts", 2, "execute survives document counts of -1, 0 and 1,000",
         checkExecuteDocumentCounts, kAccepts, kGuarded},
        {"execute-leaks", 2,
         "40 create/initPlugin/execute/destroy cycles: neither heap nor descriptors grow with their number",
         checkExecuteLeaks, kAccepts},
        {"execute-host-functions-missing", 2,
         "in hosts that each lack one of the functions the stand-in serves, initPlugin and execute return",
         checkExecuteHostFunctionsMissing, kAccepts, false, true},
        {"cycles", 3, "1,000 create/initPlugin/execute/destroy cycles: nothing grows with their number; time per call",
         checkCycles, kAccepts},
    };
    return checks;
}

const CheckDefinition* findCheck(const std::string& name) {
    static const CheckDefinition kRunInHostLacking{"run-in-host-lacking", 2,
                                                   "initPlugin, execute when it accepts, destroy", runInHostLacking};
    if (name == kRunInHostLacking.name) return &kRunInHostLacking;
    for (const CheckDefinition& check : checkDefinitions())
        if (name == check.name) return &check;
    return nullptr;
}

}  // namespace nimbrel::check
