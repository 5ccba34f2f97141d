#pragma once
// Each call of a host function as it comes in, before the stand-in serves it.
// The exports (host_exports.cpp) hand every call, with its arguments, to the
// process's watch when one is set: the conformance check sets one that holds
// each call to the function's contract (host_call_contracts.h); a normal run
// sets none, and every call is served.

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>

#include "standin/host/host_call_contracts.h"

namespace nimbrel {

// One argument as the watch sees it: a pointer, or a number.
struct HostArgument {
    const void* pointer = nullptr;
    std::int64_t integer = 0;
    double real = 0;
};

inline constexpr std::size_t kMostHostArguments = 16;

struct HostCall {
    HostFunctionId function{};
    HostArgument arguments[kMostHostArguments];
    std::size_t count = 0;
};

// The call of function with these arguments.
template <typename... Arguments>
HostCall hostCall(HostFunctionId function, const std::tuple<Arguments...>& arguments) {
    static_assert(sizeof...(Arguments) <= kMostHostArguments, "more arguments than a host function takes");
    HostCall call;
    call.function = function;
    auto add = [&call](auto argument) {
        HostArgument& held = call.arguments[call.count++];
        if constexpr (std::is_pointer_v<decltype(argument)>)
            held.pointer = argument;
        else if constexpr (std::is_floating_point_v<decltype(argument)>)
            held.real = argument;
        else
            held.integer = argument;
    };
    std::apply([&](auto... each) { (add(each), ...); }, arguments);
    return call;
}

class HostCallWatch {
public:
    virtual ~HostCallWatch() = default;
    // Before the call is served, on the thread that made it: false when the
    // host must not serve it (it then answers zero, or null).
    virtual bool admit(const HostCall& call) = 0;
    // What the caller gets for a pointer the host answers: that pointer, or
    // one of the watch's own in its place.
    virtual const void* answer(HostFunctionId function, const void* result) = 0;
};

// What a host function answers a call it does not serve: zero, false or null.
template <typename Result>
Result unserved() {
    return Result{};
}

// The process's watch, or null (the default): not owned, kept until replaced.
void watchHostCalls(HostCallWatch* watch);
HostCallWatch* hostCallWatch();

// Marks the stand-in's own code serving a plug-in's call of a host function,
// while it runs on this thread, and lets the watch see the call first.
class ServingHostFunction {
public:
    explicit ServingHostFunction(const HostCall& call)
        : function_(call.function), admitted_(hostCallWatch() == nullptr || hostCallWatch()->admit(call)) {
        ++depth_;
    }
    ~ServingHostFunction() { --depth_; }
    ServingHostFunction(const ServingHostFunction&) = delete;
    ServingHostFunction& operator=(const ServingHostFunction&) = delete;

    bool admitted() const { return admitted_; }
    template <typename Result>
    Result answer(Result result) const {
        if constexpr (std::is_pointer_v<Result>) {
            if (HostCallWatch* watch = hostCallWatch())
                return static_cast<Result>(const_cast<void*>(watch->answer(function_, result)));
        }
        return result;
    }
    // Whether this thread is serving a host function now.
    static bool active() { return depth_ > 0; }

private:
    HostFunctionId function_;
    bool admitted_;
    static inline thread_local int depth_ = 0;
};

}  // namespace nimbrel
