#include "standin/plugin/plugin_runner.h"

#include <exception>

#include "standin/base/native_path.h"
#include "standin/host/host_session.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace nimbrel {
namespace {

using CreatePluginFunction = void* (*)();
using DescriptorFunction = const char* (*)();

#if defined(_WIN32)
void* openModule(const std::string& path, std::string& error) {
    HMODULE module = LoadLibraryW(nativePath(path).c_str());
    if (module == nullptr) error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return module;
}
void closeModule(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}
void* findSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
#else
void* openModule(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        // The loader's reason names the path itself: "<path>: invalid ELF header".
        const char* raw = dlerror();
        const std::string reason = raw != nullptr ? raw : "";
        const char* shown = reason.empty() ? "unknown reason" : reason.c_str();
        if (reason.compare(0, path.size() + 2, path + ": ") == 0) shown += path.size() + 2;
        error = "cannot load " + path + ": " + shown;
    }
    return handle;
}
void closeModule(void* handle) {
    dlclose(handle);
}
void* findSymbol(void* handle, const char* name) {
    return dlsym(handle, name);
}
#endif

}  // namespace

std::unique_ptr<PluginModule> PluginModule::load(const std::string& path, std::string& error) {
    void* handle = openModule(path, error);
    if (handle == nullptr) return nullptr;
    if (findSymbol(handle, "createPlugin") == nullptr) {
        error = path + " is not a plug-in: it exports no createPlugin";
        closeModule(handle);
        return nullptr;
    }
    return std::unique_ptr<PluginModule>(new PluginModule(path, handle));
}

PluginModule::PluginModule(std::string path, void* handle) : path_(std::move(path)), handle_(handle) {}

PluginModule::~PluginModule() {
    closeModule(handle_);
}

void* PluginModule::exportNamed(const char* name) const {
    return findSymbol(handle_, name);
}

PluginDescriptors PluginModule::descriptors() const {
    PluginDescriptors descriptors;
    for (const DescriptorExport& descriptor : kDescriptorExports) {
        auto function = reinterpret_cast<DescriptorFunction>(exportNamed(descriptor.name));
        const char* value = function != nullptr ? function() : nullptr;
        if (value != nullptr) descriptors.*descriptor.text = std::string(value);
    }
    return descriptors;
}

NIMBREL_CALLS_PLUGIN_CODE PluginObject PluginModule::createPlugin() const {
    auto create = reinterpret_cast<CreatePluginFunction>(exportNamed("createPlugin"));
    return PluginObject(create != nullptr ? create() : nullptr);
}

RunOutcome runPlugin(const PluginModule& module, HostSession& session, PluginCallMarker mark,
                     const std::function<void(const PluginObject&)>& created) {
    (void)session;  // the host functions reach it as the current session
    if (mark == nullptr) mark = [](const char*) {};
    RunOutcome outcome;
    mark("the descriptor functions");
    outcome.descriptors = module.descriptors();
    mark("createPlugin");
    PluginObject plugin = module.createPlugin();
    mark(nullptr);
    outcome.created = static_cast<bool>(plugin);
    if (!plugin) return outcome;
    if (created) created(plugin);
    mark("initPlugin");
    outcome.initialised = plugin.initPlugin();
    if (outcome.initialised) {
        mark("execute");
        outcome.executed = plugin.execute();
    }
    mark("the destructor");
    plugin.destroy();
    mark(nullptr);
    return outcome;
}

}  // namespace nimbrel
