#include "host/module_lookup.h"

#include <windows.h>

namespace kelvane::platform {

LoadedModule::LoadedModule(const char* fileName) {
    // Finds a module already mapped into the process; loads nothing and takes
    // no reference, so there is nothing to release.
    handle_ = GetModuleHandleA(fileName);
    identity_ = handle_;
}

LoadedModule::~LoadedModule() = default;

ExportedFunction LoadedModule::exportNamed(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return reinterpret_cast<ExportedFunction>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace kelvane::platform
