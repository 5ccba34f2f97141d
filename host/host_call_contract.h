#pragma once
// What the host promises, and asks of the caller, for each call of one of its
// functions, in a form code reads. The host function list states it beside
// each function (KELVANE_HOST_CONTRACT in host_function_list.inc); the
// stand-in host checks every call of a plug-in against it, and the reference
// for plug-in authors is written from it. The plug-in's own build never
// includes this file: the list's includers there leave the contract out.
//
// What holds for every host function alike, listed with a contract or not, is
// kEveryHostFunction below. A function listed without a contract states
// nothing more: its arguments are unstated, and its result a value.

#include <cstddef>

namespace kelvane::contract {

// Which dialog parameters a getter reads: the declared type it serves.
enum class Getter { None, Integer, Float, Text };

enum class ArgumentKind {
    Value,          // an integer or a float passed by value
    Text,           // a text the host reads during the call
    ParameterName,  // the name of a dialog parameter, a text; getter says which type it reads
    Filled,         // the caller's buffer of `bytes` bytes, which the host fills during the call
    Read,           // the caller's buffer of `bytes` bytes, which the host reads during the call
    Unstated,       // the list says nothing of it
};

struct Argument {
    ArgumentKind kind = ArgumentKind::Unstated;
    std::size_t bytes = 0;         // Filled and Read
    Getter getter = Getter::None;  // ParameterName
};

enum class ResultKind {
    Value,        // a value (for a bool, whether the host did it)
    HostPointer,  // a pointer of the host's: null or not, never read through
    // A text of the host's, good only until the caller's next call into the
    // host: the caller copies it at once.
    TextUntilNextHostCall,
};

// The words the list uses for arguments and results.
inline constexpr Argument Value{ArgumentKind::Value};
inline constexpr Argument Text{ArgumentKind::Text};
inline constexpr Argument Unstated{ArgumentKind::Unstated};
constexpr Argument Filled(std::size_t bytes) {
    return {ArgumentKind::Filled, bytes, Getter::None};
}
constexpr Argument Read(std::size_t bytes) {
    return {ArgumentKind::Read, bytes, Getter::None};
}
constexpr Argument ParameterName(Getter getter) {
    return {ArgumentKind::ParameterName, 0, getter};
}
inline constexpr ResultKind ResultValue = ResultKind::Value;
inline constexpr ResultKind HostPointer = ResultKind::HostPointer;
inline constexpr ResultKind TextUntilNextHostCall = ResultKind::TextUntilNextHostCall;

// What holds for every host function alike, one rule a line.
inline constexpr const char* kEveryHostFunction[] = {
    "It is called on the thread the host calls the plug-in on, never on another: no host function is safe to call "
    "from another thread.",
    "It is called only while a call of the host into the plug-in runs (createPlugin, initPlugin, execute, the "
    "destructor; the descriptor functions touch no host function), never after that call returned.",
    "Texts are zero-terminated 8-bit strings. The host copies whatever it keeps of a text it is given, since the "
    "caller reuses its buffers at once.",
};

}  // namespace kelvane::contract
