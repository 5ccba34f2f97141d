#pragma once
// The plug-in object as a host sees it: an address whose first word points at
// a dispatch table of three slots (0 destroy with flags, 1 execute, 2
// initPlugin). Every call goes through those slots as plain function pointers,
// so no compiler's own layout of a C++ class comes into it: a plug-in built by
// any compiler is driven the way the real host drives it.
//
// As the real host does, the stand-in makes every call on one thread, one at a
// time: execute only after an initPlugin that returned true, slot 0 once at
// the end (also when initPlugin was never called).

#include <cstdint>

// A host calls a plug-in's functions through pointer types of its own, not the
// plug-in's C++ types; Clang's function-type sanitizer would call that a
// mismatch, so the few places that make such calls are marked.
#if defined(__clang__)
#define NIMBREL_CALLS_PLUGIN_CODE __attribute__((no_sanitize("function")))
#else
#define NIMBREL_CALLS_PLUGIN_CODE
#endif

namespace nimbrel {

class PluginObject {
public:
    // The flags the host passes to slot 0 when it deletes an object.
    static constexpr std::uint32_t kDestroyAndFree = 1;

    PluginObject() = default;
    // Takes over an object that createPlugin returned (null is allowed).
    explicit PluginObject(void* object) : object_(object) {}
    PluginObject(PluginObject&& other) noexcept : object_(other.release()) {}
    PluginObject& operator=(PluginObject&& other) noexcept;
    PluginObject(const PluginObject&) = delete;
    PluginObject& operator=(const PluginObject&) = delete;
    // Destroys the object as the host does, when there is one.
    ~PluginObject() { destroy(); }

    explicit operator bool() const { return object_ != nullptr; }
    void* address() const { return object_; }

    bool initPlugin() const;
    bool execute() const;
    // Slot 0 with kDestroyAndFree; the object is gone afterwards.
    void destroy();
    // Slot 0 with the given flags; returns what the slot returns. The caller
    // owns whatever storage is left.
    void* destroyWithFlags(std::uint32_t flags);
    // Gives the object up without destroying it.
    void* release() {
        void* object = object_;
        object_ = nullptr;
        return object;
    }

private:
    void* object_ = nullptr;
};

}  // namespace nimbrel
