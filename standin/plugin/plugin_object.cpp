#include "standin/plugin/plugin_object.h"

namespace nimbrel {
namespace {

// On x86-64, under both the Windows and the System V conventions, a member
// function receives its object as the first argument, like a plain function's
// first parameter: so a slot can be called as a plain function pointer.
static_assert(sizeof(void*) == 8, "the plug-in boundary is 64-bit");

using DestroySlot = void* (*)(void* object, std::uint32_t flags);
using OperationSlot = bool (*)(void* object);

enum Slot { kDestroySlot = 0, kExecuteSlot = 1, kInitPluginSlot = 2 };

void* slot(void* object, Slot index) {
    void* const* table = *static_cast<void* const* const*>(object);
    return table[index];
}

NIMBREL_CALLS_PLUGIN_CODE bool callOperation(void* object, Slot index) {
    return reinterpret_cast<OperationSlot>(slot(object, index))(object);
}

}  // namespace

PluginObject& PluginObject::operator=(PluginObject&& other) noexcept {
    if (this != &other) {
        destroy();
        object_ = other.release();
    }
    return *this;
}

bool PluginObject::initPlugin() const {
    return callOperation(object_, kInitPluginSlot);
}

bool PluginObject::execute() const {
    return callOperation(object_, kExecuteSlot);
}

void PluginObject::destroy() {
    if (object_ != nullptr) destroyWithFlags(kDestroyAndFree);
}

NIMBREL_CALLS_PLUGIN_CODE void* PluginObject::destroyWithFlags(std::uint32_t flags) {
    void* object = release();
    return reinterpret_cast<DestroySlot>(slot(object, kDestroySlot))(object, flags);
}

}  // namespace nimbrel
