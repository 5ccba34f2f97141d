#include <algorithm>
#include <iterator>

#include "standin/check/checks.h"
#include "standin/check/sanitizer_build.h"

namespace nimbrel::check {
namespace {

// A cause the check recognises by a part of the failure it words, and what
// the author does about it; the first that fits is given.
struct KnownCause {
    const char* wording;
    const char* fix;
};

const KnownCause kKnownCauses[] = {
    {"slot 0 with flags 1 does not free the object",
     "lay the object's table out as the host calls it: slot 0 destroy(flags), 1 execute, 2 initPlugin; in C++ declare "
     "slot 0 as an ordinary virtual function and no virtual destructor, whose two compiler slots shift the others "
     "(docs/writing-plugins.md)"},
    {"in a host that lacks ",
     "look each host function up by name and test it for null before every call: a host of another version may lack "
     "it"},
    {"bytes per execute",
     "free in execute and in the destructor everything execute allocates; the heap must not grow with the number of "
     "calls"},
    {"per execute: close what execute opens", "close every file, handle or descriptor execute opens before it returns"},
    {"was called on another thread",
     "call host functions only on the thread the host called you on: gather a worker's results and log them from "
     "the host's thread after joining it"},
    {"returned, nbLogText was called",
     "call the host only while a call of the host into the plug-in runs: join or stop your threads before it returns"},
    {"outside any call into the plug-in",
     "call the host only while a call of the host into the plug-in runs, never from an exit handler or a static "
     "object's destructor"},
    {"given null as its",
     "never hand the host null where its contract reads a text or fills a buffer (docs/host-functions.md)"},
    {" is read with nbGet",
     "read each parameter with the getter of its declared type: a switch and an int with nbGetIntParameter, a float "
     "with nbGetFloatParameter, a string with nbGetStringParameter"},
    {"does not declare",
     "read only the parameters the dialog script declares, by their exact names, or declare the one you read"},
    {"read a text the host handed out after it ended",
     "copy a text the host hands out before your next call into the host: it lasts only until then"},
    {"wrote into a text the host handed out", "a text the host hands out is read-only: copy it before changing it"},
    {"of name storage of map index",
     "write a map's name from its first byte and within its 256 bytes of name storage, the terminator included"},
    {"the record of map index", "hand each map back the record the host gave for that same index"},
    {"hands out only to be tested against null",
     "test the pointer nbGetNRVMPsOfCurrentVMR or nbGetNRVMPOfCurrentVMR answers against null only, and read the "
     "header or record you handed the host"},
    {"a buffer smaller than",
     "hand the host a buffer of the size its contract states (docs/host-functions.md lists each)"},
    {"left a thread running", "join your threads, or leave them parked, before the call returns"},
    {"left a child process running", "wait for every process you start before the call returns"},
    {"crashed when the process ended",
     "register no exit handler, and keep no static object whose destructor may fail: free what an object holds in "
     "slot 0"},
#if !defined(NIMBREL_SANITIZED_HEAP)  // there an exit status is the sanitizer's report of a fault
    {"the process ended with exit status",
     "never end the process: return false from initPlugin or execute, and tell the user why"},
#endif
    {"two calls gave the same object", "allocate a new object in every createPlugin call"},
    {"but no run read ", "read every parameter the dialog script declares, or take the unread one out of the script"},
    {"loading the module changed the floating-point control",
     "build without fast-math flags (-ffast-math, -Ofast, /fp:fast), and set no floating-point control as the "
     "module loads: the host and every other plug-in share it"},
    {") changed the ",
     "put back what the process shares (working directory, locale, umask, signal mask, resource limits) before the "
     "call returns: the host and every other plug-in share it"},
};

}  // namespace

std::string fixFor(const CheckDefinition& check, const std::string& reason) {
    const auto known = std::find_if(std::begin(kKnownCauses), std::end(kKnownCauses), [&reason](const KnownCause& c) {
        return reason.find(c.wording) != std::string::npos;
    });
    if (known != std::end(kKnownCauses)) return known->fix;
    // The check's own fix is for its failures, not for a warning it gave.
    const bool warning = reason.find("a warning fails at strictness 3: ") == 0;
    return check.fix != nullptr && !warning ? check.fix : "";
}

}  // namespace nimbrel::check
