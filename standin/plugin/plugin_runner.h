#pragma once
// plugin/: the plug-in's side of the boundary as the host sees it. Where the
// module is (plugin_location.h), loading it and reading its seven exported
// functions (this file), the object and its three-slot dispatch table
// (plugin_object.h), and the watched run that says how a plug-in that crashes,
// ends the process or hangs ended (plugin_watch.h).
//
// Loads a plug-in module of this family and drives it as the host does.

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "standin/plugin/plugin_object.h"

namespace nimbrel {

class HostSession;

// The six texts a plug-in describes itself with; an absent export reads as null.
struct PluginDescriptors {
    std::optional<std::string> name;
    std::optional<std::string> description;
    std::optional<std::string> author;
    std::optional<std::string> helpFile;
    std::optional<std::string> version;
    std::optional<std::string> guiScript;
};

// Each descriptor's exported function and the member that keeps its text,
// in the order the host asks for them.
struct DescriptorExport {
    const char* name;
    std::optional<std::string> PluginDescriptors::*text;
};
inline constexpr DescriptorExport kDescriptorExports[] = {
    {"getPluginName", &PluginDescriptors::name},       {"getPluginDescription", &PluginDescriptors::description},
    {"getAuthor", &PluginDescriptors::author},         {"getHelpFile", &PluginDescriptors::helpFile},
    {"getPluginVersion", &PluginDescriptors::version}, {"getGUIScript", &PluginDescriptors::guiScript},
};

class PluginModule {
public:
    // Loads the module at path; null with a reason in error when it cannot be
    // loaded or lacks createPlugin.
    static std::unique_ptr<PluginModule> load(const std::string& path, std::string& error);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    const std::string& path() const { return path_; }
    PluginDescriptors descriptors() const;
    // A new plug-in object from the module's createPlugin (empty when it gave
    // none), destroyed as the host destroys it when it goes out of scope.
    PluginObject createPlugin() const;
    // The module's export of that plain name, or null.
    void* exportNamed(const char* name) const;

private:
    PluginModule(std::string path, void* handle);
    std::string path_;
    void* handle_;
};

// What one run of a plug-in came to.
struct RunOutcome {
    PluginDescriptors descriptors;
    bool created = false;
    bool initialised = false;      // initPlugin's result
    std::optional<bool> executed;  // execute's result, when it was called
};

// Told the name of each plug-in call as it starts ("execute"), and null once
// it has returned, so that a crash or a hang can be put down to its call.
using PluginCallMarker = void (*)(const char* call);

// Creates the plug-in, runs initPlugin and, when it returns true, execute, then
// destroys the plug-in: all against the given session. created is shown the
// object before any of its slots is called.
RunOutcome runPlugin(const PluginModule& module, HostSession& session, PluginCallMarker mark = nullptr,
                     const std::function<void(const PluginObject&)>& created = {});

}  // namespace nimbrel
