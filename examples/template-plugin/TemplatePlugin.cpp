// TemplatePlugin: a plug-in for Nimbrel to start your own from. Its dialog
// (TemplatePlugin.js) asks for a lower threshold, which values to show, whether
// to overlay the maps, and a note; execute applies them to every map on the
// current VMR and writes the note to the log.
//
// The boundary with the host is nimbrel_plugin.h; what the host expects of a
// plug-in, and why the object is declared as it is, is writing-plugins.md.

#include <cmath>
#include <cstdio>
#include <new>
#include <type_traits>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "nimbrel_plugin.h"

namespace {

// The oldest host this plug-in runs on.
constexpr int32_t kNeedsMajor = 2;
constexpr int32_t kNeedsMinor = 2;

using AnyFunction = void (*)();

// The host's exported function of that name, or null when the host lacks it.
AnyFunction findHostFunction(const char* name) {
#if defined(_WIN32)
    // The host's module is loaded already: this takes no reference to release.
    HMODULE host = GetModuleHandleA(NIMBREL_HOST_MODULE);
    return host != nullptr ? reinterpret_cast<AnyFunction>(GetProcAddress(host, name)) : nullptr;
#else
    // The stand-in host on Linux is the program itself.
    void* host = dlopen(nullptr, RTLD_LAZY);
    if (host == nullptr) return nullptr;
    AnyFunction function = reinterpret_cast<AnyFunction>(dlsym(host, name));
    dlclose(host);
    return function;
#endif
}

// The host functions this plug-in calls, each under its own name.
struct Host {
    nbGetVersionOfNimbrelFunction nbGetVersionOfNimbrel;
    nbMessageBoxFunction nbMessageBox;
    nbLogTextFunction nbLogText;
    nbGetIDOfCurrentDocumentFunction nbGetIDOfCurrentDocument;
    nbGetDocumentTypeFunction nbGetDocumentType;
    nbGetNRVMPsOfCurrentVMRFunction nbGetNRVMPsOfCurrentVMR;
    nbGetNRVMPOfCurrentVMRFunction nbGetNRVMPOfCurrentVMR;
    nbSetNRVMPParametersOfCurrentVMRFunction nbSetNRVMPParametersOfCurrentVMR;
    nbGetFloatParameterFunction nbGetFloatParameter;
    nbGetIntParameterFunction nbGetIntParameter;
    nbGetStringParameterFunction nbGetStringParameter;
    nbUpdateActiveWindowFunction nbUpdateActiveWindow;
};

// Looks up every function of host by name. Returns the name of the first one
// the host lacks, or null when it has them all.
const char* lookUp(Host& host) {
    const char* lacking = nullptr;
    const auto find = [&lacking](auto& function, const char* name) {
        function = reinterpret_cast<std::decay_t<decltype(function)>>(findHostFunction(name));
        if (function == nullptr && lacking == nullptr) lacking = name;
    };
    find(host.nbGetVersionOfNimbrel, "nbGetVersionOfNimbrel");
    find(host.nbMessageBox, "nbMessageBox");
    find(host.nbLogText, "nbLogText");
    find(host.nbGetIDOfCurrentDocument, "nbGetIDOfCurrentDocument");
    find(host.nbGetDocumentType, "nbGetDocumentType");
    find(host.nbGetNRVMPsOfCurrentVMR, "nbGetNRVMPsOfCurrentVMR");
    find(host.nbGetNRVMPOfCurrentVMR, "nbGetNRVMPOfCurrentVMR");
    find(host.nbSetNRVMPParametersOfCurrentVMR, "nbSetNRVMPParametersOfCurrentVMR");
    find(host.nbGetFloatParameter, "nbGetFloatParameter");
    find(host.nbGetIntParameter, "nbGetIntParameter");
    find(host.nbGetStringParameter, "nbGetStringParameter");
    find(host.nbUpdateActiveWindow, "nbUpdateActiveWindow");
    return lacking;
}

// Tells the user why the plug-in cannot run: in a message box, or in the log
// when the host has no message box.
bool refuse(const Host& host, const char* why) {
    if (host.nbMessageBox != nullptr) {
        host.nbMessageBox(why);
    } else if (host.nbLogText != nullptr) {
        host.nbLogText(why);
    }
    return false;
}

// The object the host drives: its virtual functions are the host's three
// slots, in their order. It declares no virtual destructor, which would not be
// one slot with every compiler (writing-plugins.md).
class TemplatePlugin final {
public:
    // Slot 0: destroys the object; with NIMBREL_DESTROY_FREES, frees it too.
    virtual void* destroy(unsigned int flags);
    // Slot 1: the work, only after initPlugin returned true.
    virtual bool execute();
    // Slot 2: whether the plug-in can run in the host's present state.
    virtual bool initPlugin();

private:
    ~TemplatePlugin() = default;  // private: an object ends only through slot 0
    bool checkHost();
    bool setEveryMap();

    Host host_{};
    bool ready_ = false;  // initPlugin accepted: host_ has every function
};

void* TemplatePlugin::destroy(unsigned int flags) {
    if ((flags & NIMBREL_DESTROY_FREES) != 0) {
        delete this;
    } else {
        this->~TemplatePlugin();
    }
    return this;
}

// No exception may reach the host: it would end the host's process.
bool TemplatePlugin::initPlugin() {
    try {
        ready_ = checkHost();
    } catch (...) {
        ready_ = false;
    }
    return ready_;
}

bool TemplatePlugin::execute() {
    if (!ready_) return false;
    try {
        return setEveryMap();
    } catch (...) {
        return false;
    }
}

bool TemplatePlugin::checkHost() {
    if (const char* lacking = lookUp(host_)) {
        char why[128];
        std::snprintf(why, sizeof why, "TemplatePlugin cannot run: this host lacks %s.", lacking);
        return refuse(host_, why);
    }
    int32_t major = 0, minor = 0, release = 0;
    host_.nbGetVersionOfNimbrel(&major, &minor, &release);
    if (major < kNeedsMajor || (major == kNeedsMajor && minor < kNeedsMinor))
        return refuse(host_, "TemplatePlugin needs Nimbrel 2.2 or later.");
    const int32_t document = host_.nbGetIDOfCurrentDocument();
    if (document < 0) return refuse(host_, "TemplatePlugin needs a VMR: there is no current document.");
    if (host_.nbGetDocumentType(document) != NIMBREL_DOCUMENT_VMR)
        return refuse(host_, "TemplatePlugin needs a VMR: the current document is not one.");
    NRVMPsHeader maps{};
    if (host_.nbGetNRVMPsOfCurrentVMR(&maps) == nullptr || maps.mapCount < 1)
        return refuse(host_, "TemplatePlugin needs maps: none is loaded on the current VMR.");
    return true;
}

bool TemplatePlugin::setEveryMap() {
    // Every parameter the dialog declares, each with the getter of its type.
    const float threshold = host_.nbGetFloatParameter("Threshold");
    const int32_t show = host_.nbGetIntParameter("Show");  // 0 positive, 1 negative, 2 both
    const bool overlay = host_.nbGetIntParameter("Overlay") != 0;
    char note[NIMBREL_STRING_PARAMETER_SIZE];
    note[0] = '\0';
    host_.nbGetStringParameter("Note", note);
    note[sizeof note - 1] = '\0';  // the host may fill every byte

    char line[NIMBREL_STRING_PARAMETER_SIZE + 64];
    if (note[0] != '\0') {
        std::snprintf(line, sizeof line, "TemplatePlugin>  %s", note);
        host_.nbLogText(line);
    }

    // The count is the host's: a negative one means no maps.
    NRVMPsHeader maps{};
    if (host_.nbGetNRVMPsOfCurrentVMR(&maps) == nullptr) maps.mapCount = 0;
    int32_t changed = 0;
    for (int32_t index = 0; index < maps.mapCount; ++index) {
        NRVMPRecord record{};
        // Null: the host cannot give this map; leave it alone.
        if (host_.nbGetNRVMPOfCurrentVMR(index, &record) == nullptr) continue;
        if (std::isfinite(threshold)) record.thresholdMin = threshold;
        if (show >= 0 && show <= 2) record.showPosNeg = show + 1;
        record.overlay = overlay ? 1 : 0;
        host_.nbSetNRVMPParametersOfCurrentVMR(index, &record);  // the same index: the map's own record
        ++changed;
    }
    host_.nbUpdateActiveWindow();

    std::snprintf(line, sizeof line, "TemplatePlugin>  Set %d of %d maps%s", changed, maps.mapCount,
                  std::isfinite(threshold) ? "." : "; the threshold is not a number, so it was left as it was.");
    host_.nbLogText(line);
    return true;
}

}  // namespace

// The seven exports the host looks up by name. The texts are constants that
// live as long as the module.
NIMBREL_PLUGIN_EXPORT void* createPlugin() {
    return new (std::nothrow) TemplatePlugin();
}
NIMBREL_PLUGIN_EXPORT const char* getPluginName() {
    return "TemplatePlugin";
}
NIMBREL_PLUGIN_EXPORT const char* getPluginDescription() {
    return "Sets the threshold, the values shown and the overlay of every map on the current VMR.";
}
NIMBREL_PLUGIN_EXPORT const char* getAuthor() {
    return "Your name";
}
NIMBREL_PLUGIN_EXPORT const char* getHelpFile() {
    return "TemplatePluginHelp/index.html";
}
NIMBREL_PLUGIN_EXPORT const char* getPluginVersion() {
    return "1.0";
}
NIMBREL_PLUGIN_EXPORT const char* getGUIScript() {
    return "TemplatePlugin.js";
}
