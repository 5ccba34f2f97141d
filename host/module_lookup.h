#pragma once
// The two platform services the binding needs: find a module that is already
// loaded in this process by its file name, without loading anything; and find
// an exported function of that module by its exact name.

namespace kelvane::platform {

using ExportedFunction = void (*)();

class LoadedModule {
public:
    // Looks for a loaded module whose file name (no folder) is fileName.
    explicit LoadedModule(const char* fileName);
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool found() const { return handle_ != nullptr; }
    // The module's own export of that name, or null.
    ExportedFunction exportNamed(const char* name) const;

private:
    void* handle_ = nullptr;
    const void* identity_ = nullptr;  // what tells this module's exports from others'
};

}  // namespace kelvane::platform
