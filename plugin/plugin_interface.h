#pragma once
// The abstract interface through which the host drives a plug-in object.
// The host calls through the dispatch table, whose slot order is part of the
// contract: the destructor, then execute, then initPlugin.

#include "plugin/export.h"

class KELVANE_PLUGIN_API NMBLPluginInterface {
public:
    NMBLPluginInterface();
    NMBLPluginInterface(const NMBLPluginInterface&);
    virtual ~NMBLPluginInterface();
    NMBLPluginInterface& operator=(const NMBLPluginInterface&);

    // The work. Only after initPlugin returned true.
    virtual bool execute() = 0;
    // Whether the plug-in can run in the host's present state; false has
    // already shown the reason.
    virtual bool initPlugin() = 0;
};

namespace static_intf {

// A second declaration of the same interface, exported for hosts that expect
// it under this name; nothing in the plug-in derives from it.
class KELVANE_PLUGIN_API NMBLPluginInterface {
public:
    NMBLPluginInterface();
    NMBLPluginInterface(const NMBLPluginInterface&);
    virtual ~NMBLPluginInterface();
    NMBLPluginInterface& operator=(const NMBLPluginInterface&);

    virtual bool execute() = 0;
    virtual bool initPlugin() = 0;
};

}  // namespace static_intf
