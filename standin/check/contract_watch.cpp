#include "standin/check/contract_watch.h"

#include <cstring>
#include <map>
#include <utility>

#include "standin/check/check_context.h"
#include "standin/check/handed_out_texts.h"
#include "standin/check/process_resources.h"
#include "standin/files/declared_parameters.h"

namespace nimbrel::check {
namespace {

using kelvane::contract::ArgumentKind;
using kelvane::contract::Getter;
using kelvane::contract::ResultKind;

// The getter each declared type is read with.
Getter getterOf(DialogType type) {
    switch (type) {
        case DialogType::Switch:
        case DialogType::Int:
            return Getter::Integer;
        case DialogType::Float:
            return Getter::Float;
        case DialogType::String:
            return Getter::Text;
    }
    return Getter::None;
}

// The host function that reads a parameter of this getter's type, as the list names it.
std::string getterFunction(Getter getter) {
    for (const HostCallContract& contract : hostCallContracts())
        for (const kelvane::contract::Argument& argument : contract.arguments)
            if (argument.kind == ArgumentKind::ParameterName && argument.getter == getter) return contract.name;
    return "its getter";
}

const char* ordinal(std::size_t index) {
    static const char* const kOrdinals[] = {"first", "second", "third", "fourth"};
    return index < 4 ? kOrdinals[index] : "next";
}

std::string what(const kelvane::contract::Argument& argument) {
    switch (argument.kind) {
        case ArgumentKind::Text:
            return "a text";
        case ArgumentKind::ParameterName:
            return "a parameter's name";
        case ArgumentKind::Filled:
        case ArgumentKind::Read:
            return "a buffer of " + std::to_string(argument.bytes) + " bytes";
        default:
            return "a value";
    }
}

// The host may write every byte of a buffer it fills and read every byte of
// one it reads: it touches them, leaving each as it was, so that a buffer
// smaller than its contract states is overrun here, in the call. One byte in
// every kTouchStride and the last are enough to land in the guard page or the
// sanitizer's red zone (16 bytes at least) behind a block that is too small.
constexpr std::size_t kTouchStride = 16;

void touchWhole(const HostCallContract& contract, std::size_t argument, const void* buffer) {
    const std::size_t bytes = contract.arguments[argument].bytes;
    const bool write = contract.arguments[argument].kind == ArgumentKind::Filled;
    // The fault line of each buffer argument, made once (a fault handler cannot).
    static std::map<std::pair<const HostCallContract*, std::size_t>, std::string> lines;
    std::string& line = lines[{&contract, argument}];
    if (line.empty())
        line = "fault it gave " + std::string(contract.name) + " a buffer smaller than the " + std::to_string(bytes) +
               " bytes the host " + (write ? "fills" : "reads") + "\n";
    const TouchingBuffer touching(line.c_str());
    auto* touched = static_cast<volatile unsigned char*>(const_cast<void*>(buffer));
    auto touch = [touched, write](std::size_t i) {
        const unsigned char value = touched[i];
        if (write) touched[i] = value;
    };
    for (std::size_t i = 0; i < bytes; i += kTouchStride) touch(i);
    if (bytes > 0) touch(bytes - 1);
}

}  // namespace

ContractWatch& ContractWatch::install(CheckChannel& channel) {
    // Never destroyed: a thread the plug-in left may call the host as the process ends.
    static ContractWatch* const watch = new ContractWatch(channel);
    watchHostCalls(watch);
    return *watch;
}

ContractWatch::ContractWatch(CheckChannel& channel)
    : channel_(channel), hostThread_(std::this_thread::get_id()), hostThreadNumber_(currentThreadNumber()) {}

void ContractWatch::entering(const std::string& call) {
    const std::lock_guard<std::mutex> lock(mutex_);
    inCall_ = call;
}

void ContractWatch::returned(const std::string& after) {
    const std::lock_guard<std::mutex> lock(mutex_);
    inCall_.clear();
    after_ = after;
}

void ContractWatch::compareWithDialog(const DialogScript& script, const std::string& scriptName) {
    const std::lock_guard<std::mutex> lock(mutex_);
    dialog_ = script;
    scriptName_ = scriptName;
}

std::optional<std::string> ContractWatch::breach() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return breach_;
}

void ContractWatch::forgetBreach() {
    const std::lock_guard<std::mutex> lock(mutex_);
    breach_.reset();
}

void ContractWatch::breached(const std::string& reason) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (breach_) return;
        breach_ = reason;
    }
    channel_.breach(reason);
}

bool ContractWatch::admit(const HostCall& call) {
    // Quick on the way of a sound call: nothing here allocates (the check's
    // heap may be a guard-page allocator's) until a breach is worded.
    const HostCallContract& contract = hostCallContract(call.function);
    if (std::this_thread::get_id() != hostThread_) {
        std::string inCall, after;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            inCall = inCall_;
            after = after_;
        }
        const std::string thread = std::to_string(currentThreadNumber());
        if (!inCall.empty())
            breached("during " + inCall + ", " + contract.name + " was called on another thread (" + thread +
                     "; the host's is " + std::to_string(hostThreadNumber_) +
                     "): the host's functions are safe only on the thread that calls the plug-in");
        else
            breached(
                (after.empty() ? std::string("before any call into the plug-in") : "after " + after + " returned") +
                ", " + contract.name + " was called on thread " + thread +
                ": the host's functions may be called only while a call of the host into the plug-in runs, on "
                "its thread");
        return false;
    }
    // Only the host's thread changes which call runs.
    if (inCall_.empty()) {
        breached("outside any call into the plug-in (" + channel_.announced() + "), " + contract.name +
                 " was called on the host's thread: the host's functions may be called only while createPlugin, "
                 "initPlugin, execute or the destructor runs");
        return false;
    }
    // A text the host handed out lasts until the caller's next call into the host.
    endHandedOutTexts();
    return argumentsKept(call);
}

bool ContractWatch::argumentsKept(const HostCall& call) {
    const HostCallContract& contract = hostCallContract(call.function);
    for (std::size_t i = 0; i < contract.arguments.size() && i < call.count; ++i) {
        const kelvane::contract::Argument& argument = contract.arguments[i];
        const void* pointer = call.arguments[i].pointer;
        const bool isPointer = argument.kind == ArgumentKind::Text || argument.kind == ArgumentKind::ParameterName ||
                               argument.kind == ArgumentKind::Filled || argument.kind == ArgumentKind::Read;
        if (isPointer && pointer == nullptr) {
            breached("during " + inCall_ + ", " + contract.name + " was given null as its " + ordinal(i) +
                     " argument, which is " + what(argument));
            return false;
        }
        if (argument.kind == ArgumentKind::Filled || argument.kind == ArgumentKind::Read)
            touchWhole(contract, i, pointer);
        if (argument.kind == ArgumentKind::ParameterName)
            compareGetter(contract, argument.getter, static_cast<const char*>(pointer));
    }
    return true;
}

void ContractWatch::compareGetter(const HostCallContract& contract, Getter getter, const char* name) {
    std::optional<std::string> fault;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!dialog_) return;
        const DialogParameter* declared = nullptr;
        for (const DialogParameter& parameter : dialog_->parameters)
            if (parameter.name == name) declared = &parameter;
        if (declared != nullptr && getterOf(declared->type) == getter) return;
        const std::string read = "during " + inCall_ + ", " + contract.name + " read \"" + name + "\"";
        if (declared != nullptr) {
            const char* type = dialogTypeName(declared->type);
            fault = read + ", which " + scriptName_ + " declares a " + type + ": a " + type + " is read with " +
                    getterFunction(getterOf(declared->type));
        } else {
            std::string near;
            for (const std::string& closest : closestNames(name, dialog_->declared()))
                near += (near.empty() ? " (did you mean " : " or ") + closest;
            fault = read + ", which " + scriptName_ + " does not declare" + (near.empty() ? "" : near + "?)") +
                    ": the host answers 0, or an empty text";
        }
    }
    breached(*fault);
}

const void* ContractWatch::answer(HostFunctionId function, const void* result) {
    if (result == nullptr) return result;
    switch (hostCallContract(function).result) {
        case ResultKind::HostPointer:
            return opaqueHostPointer();
        case ResultKind::TextUntilNextHostCall:
            return handOutText(static_cast<const char*>(result));
        case ResultKind::Value:
            break;
    }
    return result;
}

}  // namespace nimbrel::check
