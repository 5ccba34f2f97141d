#include "host/module_lookup.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace kelvane::platform {
namespace {

const char* fileNameOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

// The main executable's path (the loader lists it under an empty name).
bool executablePath(char* buffer, size_t size) {
    ssize_t length = readlink("/proc/self/exe", buffer, size - 1);
    if (length <= 0) return false;
    buffer[length] = '\0';
    return true;
}

struct ModuleSearch {
    const char* fileName;
    bool found = false;
    bool isMainProgram = false;
    const char* loaderName = nullptr;
};

int visitModule(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<ModuleSearch*>(data);
    const char* loaderName = info->dlpi_name != nullptr ? info->dlpi_name : "";
    bool isMainProgram = loaderName[0] == '\0';
    char mainPath[PATH_MAX];
    const char* path = loaderName;
    if (isMainProgram) {
        if (!executablePath(mainPath, sizeof mainPath)) return 0;
        path = mainPath;
    }
    if (std::strcmp(fileNameOf(path), search->fileName) != 0) return 0;
    search->found = true;
    search->isMainProgram = isMainProgram;
    search->loaderName = loaderName;
    return 1;  // stop at the first match, as the loader lists them
}

const void* linkMapOf(void* handle) {
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
    return map;
}

}  // namespace

LoadedModule::LoadedModule(const char* fileName) {
    ModuleSearch search{fileName};
    dl_iterate_phdr(visitModule, &search);
    if (!search.found) return;
    // RTLD_NOLOAD: take a reference to what is loaded already, never load.
    handle_ = search.isMainProgram ? dlopen(nullptr, RTLD_LAZY) : dlopen(search.loaderName, RTLD_LAZY | RTLD_NOLOAD);
    if (handle_ == nullptr) return;
    identity_ = linkMapOf(handle_);
    if (identity_ == nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

LoadedModule::~LoadedModule() {
    if (handle_ != nullptr) dlclose(handle_);
}

ExportedFunction LoadedModule::exportNamed(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    void* address = dlsym(handle_, name);
    if (address == nullptr) return nullptr;
    // dlsym also searches the module's dependencies; only the module's own
    // export counts.
    Dl_info info;
    link_map* owner = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0) return nullptr;
    if (owner != identity_) return nullptr;
    return reinterpret_cast<ExportedFunction>(address);
}

}  // namespace kelvane::platform
