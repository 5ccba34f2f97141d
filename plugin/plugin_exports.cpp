// The functions the host looks up by plain name after loading the library.
// None of them touches the host or any state, so the host may call them at any
// time after loading, before or without any plug-in object, on its one thread.

#include <new>

#include "plugin/export.h"
#include "plugin/kelvane.h"

namespace {

// Owned by the library for as long as it is loaded; the host neither frees nor
// changes them.
const char* const kPluginName = "Kelvane";
const char* const kPluginDescription = "Can change certain properties for all VMP files currently loaded.";
const char* const kAuthor = "<i>TK</i>";
const char* const kHelpFile = "HelpFolder/index.html";
const char* const kPluginVersion = "1.0";
const char* const kGUIScript = "Kelvane.js";

}  // namespace

// A new, independent plug-in object; null when it could not be allocated. The
// caller owns it and ends it through its dispatch table's slot 0 with
// kFreeStorage set (a host built by Microsoft's compiler: `delete object`).
KELVANE_C_EXPORT NMBLPluginInterface* createPlugin() {
    return new (std::nothrow) Kelvane();
}

// Each returns the same constant text on every call, valid while the library
// stays loaded.
KELVANE_C_EXPORT const char* getPluginName() {
    return kPluginName;
}
KELVANE_C_EXPORT const char* getPluginDescription() {
    return kPluginDescription;
}
KELVANE_C_EXPORT const char* getAuthor() {
    return kAuthor;
}
KELVANE_C_EXPORT const char* getHelpFile() {
    return kHelpFile;
}
KELVANE_C_EXPORT const char* getPluginVersion() {
    return kPluginVersion;
}
KELVANE_C_EXPORT const char* getGUIScript() {
    return kGUIScript;
}
