#include <cstddef>
#include <iterator>

#include "standin/check/checks.h"

namespace nimbrel::check {
namespace {

// What most checks need: objects that can be made and destroyed through a
// sound table, and an initPlugin that accepts a valid VMR.
constexpr CheckNeeds kObjects = {"create", "destroy"};
constexpr CheckNeeds kAccepts = {"init-valid-vmr", nullptr};
constexpr bool kGuarded = true;
constexpr bool kUnguarded = false;

// Texts shared by rows of the same kind.
constexpr const char* kInitFailure =
    "it crashed, exited or hung in that state, refused without telling the user why, or accepted a state it cannot "
    "serve and then failed in execute (a failure during execute (no current document), say)";
constexpr const char* kInitFix =
    "check the host's state step by step and tell the user what is missing (a message box or a log line) before "
    "returning false; never exit";
constexpr const char* kExecuteFailure = "execute crashed, exited, hung or touched more than the host handed it";
constexpr const char* kLeakFix =
    "free in execute and in the destructor everything you allocate, and close what you open; the failure gives the "
    "bytes or descriptors lost per execute";

constexpr CheckDefinition kChecks[] = {
    {"module",
     1,
     {},
     "(shown only when it fails) the file is a module of this platform and machine",
     "the file is a module of another system or machine, or no module at all",
     "check a Windows module with the Windows build under Wine, a Linux one with the Linux build; a text file or "
     "another machine's module is no plug-in here",
     nullptr,
     kUnguarded,
     false,
     false},
    {"exports",
     1,
     {},
     "createPlugin and the six descriptor functions are exported under plain, undecorated names; the process ends "
     "cleanly with the module loaded (warning: loading the module changed what the process shares, such as the "
     "floating-point control a module built with fast-math sets)",
     "the host cannot find a function it looks up by name, or loading the module failed",
     "export them extern \"C\" (and __declspec(dllexport) on Windows); without createPlugin the host cannot load you "
     "at all, and every other check is skipped",
     checkExports},
    {"descriptors",
     1,
     {"exports", nullptr},
     "each descriptor returns a non-null, terminated text of 1 to 1,024 printable bytes, the same on three calls "
     "(warning: the same text at another address)",
     "a descriptor the host shows the user is missing, unreadable or changes between calls",
     "return a pointer to a constant that lives as long as the module, never a temporary",
     checkDescriptors},
    {"package",
     1,
     {"descriptors", nullptr},
     "the help page and dialog script named by getHelpFile and getGUIScript exist beside the module, and the script "
     "parses and declares each parameter with a default of its type",
     "the host would find no dialog or help page, or could not read the dialog script",
     "ship the files beside the module; the failure names the script's line and what was expected (the format is "
     "in docs/writing-plugins.md)",
     checkPackage},
    {"create",
     1,
     {"exports", nullptr},
     "two createPlugin calls give two distinct objects, each with three non-null slots; the second is usable after "
     "the first is destroyed",
     "the host cannot make independent objects of the plug-in",
     "keep no shared state in objects; allocate a new one per call",
     checkCreate},
    {"destroy",
     1,
     {"create", nullptr},
     "slot 0 called with flags 1 frees the object: neither the heap nor the open descriptors grow with the number of "
     "1,000 create/destroy cycles",
     "the host's destroy call leaves the object, or what it holds, behind; the init-* and later checks are skipped "
     "until this passes",
     "the host calls slot 0 as destroy-and-free: lay out the table as the host expects (destroy, execute, "
     "initPlugin), with no compiler destructor slots",
     checkDestroy},
    {"init-old-host", 2, kObjects,
     "initPlugin under a host older than 2.2.0 returns; a refusal shows its reason, an acceptance executes (warning: "
     "it accepted the old host)",
     kInitFailure, kInitFix, checkInitOldHost, kGuarded},
    {"init-no-document", 2, kObjects,
     "initPlugin with no current document returns; a refusal shows its reason, an acceptance executes", kInitFailure,
     kInitFix, checkInitNoDocument, kGuarded},
    {"init-not-vmr", 2, kObjects,
     "initPlugin when the current document is not a VMR returns; a refusal shows its reason, an acceptance executes",
     kInitFailure, kInitFix, checkInitNotVmr, kGuarded},
    {"init-no-maps", 2, kObjects,
     "initPlugin on a VMR without maps returns; a refusal shows its reason, an acceptance executes", kInitFailure,
     kInitFix, checkInitNoMaps, kGuarded},
    {"init-valid-vmr", 2, kObjects,
     "initPlugin accepts a valid VMR with maps, and execute with the dialog's defaults then returns, its host calls "
     "keeping their contract and the dialog's, and nothing left running",
     "the failure quotes what the plug-in showed, or names the call that broke the contract, or what was left "
     "running; the execute-* checks are skipped until this passes",
     nullptr, checkInitValidVmr, kGuarded},
    {"execute-defaults", 2, kAccepts,
     "execute with the dialog's defaults, and again with every switch the dialog declares turned on, returns; it "
     "writes nothing beyond a map's name storage, sets only maps the host has, and hands every map back its own "
     "record (warnings: it called host functions the stand-in does not provide; no run read a parameter the dialog "
     "script declares)",
     "the failure names the map and the case",
     "copy each record whole from the host and hand it back to the same index; read every parameter the dialog "
     "declares",
     checkExecuteDefaults, kGuarded},
    {"execute-null-records", 2, kAccepts,
     "execute survives the host answering null for the first, middle and last records", kExecuteFailure,
     "a null answer means that map cannot be read: skip it, never set it", checkExecuteNullRecords, kGuarded},
    {"execute-random-null-records", 2, kAccepts, "execute survives records refused at random (five seeds)",
     kExecuteFailure, "a null answer means that map cannot be read: skip it, never set it",
     checkExecuteRandomNullRecords, kGuarded},
    // Not guarded: 100,000 maps make more allocations than a page each can serve.
    {"execute-map-counts", 2, kAccepts, "execute survives map counts of -1, 0 and 100,000 in the maps header",
     kExecuteFailure, "trust no count: treat a negative one as none, and go on past records the host refuses",
     checkExecuteMapCounts},
    {"execute-unterminated-strings", 2, kAccepts,
     "execute survives text parameters that fill all 512 bytes with no terminator", kExecuteFailure,
     "terminate the buffer yourself before reading it", checkExecuteUnterminatedStrings, kGuarded},
    {"execute-parameters-never-set", 2, kAccepts,
     "execute survives a host that never set any parameter (0 and empty texts)", kExecuteFailure,
     "handle 0 and the empty text as values the user can give", checkExecuteParametersNeverSet, kGuarded},
    {"execute-non-finite-floats", 2, kAccepts, "execute survives every float parameter NaN, then +inf, then -inf",
     kExecuteFailure, "test floats with isfinite before using them", checkExecuteNonFiniteFloats, kGuarded},
    {"execute-null-map-names", 2, kAccepts, "execute survives records whose name pointer is null", kExecuteFailure,
     "test a record's name pointer for null before reading or writing the name", checkExecuteNullMapNames, kGuarded},
    {"execute-map-creation-fails", 2, kAccepts, "execute survives a host that cannot create maps", kExecuteFailure,
     "test what the host answers when it creates a map, and tell the user when it could not",
     checkExecuteMapCreationFails, kGuarded},
    {"execute-document-counts", 2, kAccepts, "execute survives document counts of -1, 0 and 1,000", kExecuteFailure,
     "trust no count the host gives: treat a negative one as none", checkExecuteDocumentCounts, kGuarded},
    {"execute-leaks", 2, kAccepts,
     "over 40 cycles of createPlugin, initPlugin, execute, destroy, neither the heap nor the open descriptors "
     "(handles) grow with the number of cycles",
     "each lifecycle leaves memory or descriptors behind, which a long session in the host accumulates", kLeakFix,
     checkExecuteLeaks},
    {"execute-host-functions-missing", 2, kAccepts,
     "in a host that lacks one of the functions the stand-in serves (one host per function: a copy of Nimbrel.exe "
     "whose export of that name cannot be found), initPlugin returns, and execute too when it accepted; nothing "
     "outside the records is touched. The time limit holds for each call of each of these runs",
     "the plug-in fails in a host of another version; the failure names the missing function",
     "look each host function up by name and test it for null before every call", checkExecuteHostFunctionsMissing,
     kUnguarded, true},
    {"run-in-host-lacking",
     2,
     {},
     "(run by execute-host-functions-missing in each host copy) initPlugin, execute when it accepts, destroy",
     "see execute-host-functions-missing",
     nullptr,
     runInHostLacking,
     kUnguarded,
     false,
     false},
    {"cycles", 3, kAccepts,
     "over 1,000 cycles of createPlugin, initPlugin, execute, destroy, neither the heap nor the open descriptors "
     "(handles) grow with their number; the line gives the mean time of each call",
     "each lifecycle leaves memory or descriptors behind", kLeakFix, checkCycles},
};

constexpr bool sameName(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) ++a, ++b;
    return *a == *b;
}

// Whether need names a check of the run order before row at, at the same or a lower strictness.
constexpr bool needRunsEarlier(const char* need, std::size_t at) {
    for (std::size_t i = 0; i < at; ++i)
        if (sameName(kChecks[i].name, need))
            return kChecks[i].inRunOrder && kChecks[i].strictness <= kChecks[at].strictness;
    return false;
}

constexpr bool everyNeedRunsEarlier() {
    for (std::size_t at = 0; at < std::size(kChecks); ++at)
        for (const char* need : kChecks[at].needs)
            if (need != nullptr && !needRunsEarlier(need, at)) return false;
    return true;
}

static_assert(everyNeedRunsEarlier(), "a check needs one that does not exist, or that runs after it");

}  // namespace

const std::vector<CheckDefinition>& checkDefinitions() {
    static const std::vector<CheckDefinition> checks(std::begin(kChecks), std::end(kChecks));
    return checks;
}

const CheckDefinition* findCheck(const std::string& name) {
    for (const CheckDefinition& check : checkDefinitions())
        if (name == check.name) return &check;
    return nullptr;
}

std::vector<const CheckDefinition*> chosenChecks(const std::vector<std::string>& names) {
    std::vector<bool> chosen(checkDefinitions().size(), names.empty());
    for (const std::string& name : names)
        for (std::size_t i = 0; i < chosen.size(); ++i) chosen[i] = chosen[i] || name == checkDefinitions()[i].name;
    // Rows come after what they need, so one pass from the end takes in every need.
    for (std::size_t i = chosen.size(); i-- > 0;)
        if (chosen[i])
            for (const char* need : checkDefinitions()[i].needs)
                for (std::size_t j = 0; need != nullptr && j < i; ++j)
                    if (std::string(need) == checkDefinitions()[j].name) chosen[j] = true;
    std::vector<const CheckDefinition*> checks;
    for (std::size_t i = 0; i < chosen.size(); ++i)
        if (chosen[i] && checkDefinitions()[i].inRunOrder) checks.push_back(&checkDefinitions()[i]);
    return checks;
}

}  // namespace nimbrel::check
