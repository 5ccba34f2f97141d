#pragma once
// The abstract interface through which the host drives a plug-in object: a
// dispatch table of exactly three slots, in this order, whatever compiler
// builds the module or the host:
//   slot 0  destroy(flags): the host's "delete object"; bit 0 of flags frees
//           the storage too
//   slot 1  execute()
//   slot 2  initPlugin()
// Why slot 0 is an ordinary virtual function and the destructor is not
// virtual, when the host calls each slot, and on which thread:
// docs/writing-plugins.md. No host function is called before initPlugin has
// bound the table (host_function_table.h).

#include "plugin/export.h"

class KELVANE_PLUGIN_API NMBLPluginInterface {
public:
    // Bit 0 of destroy's flags: free the storage after destroying.
    static constexpr unsigned int kFreeStorage = 1;

    NMBLPluginInterface();
    NMBLPluginInterface(const NMBLPluginInterface&);
    NMBLPluginInterface& operator=(const NMBLPluginInterface&);

    // Slot 0: stands in for the virtual destructor.
    virtual void* destroy(unsigned int flags) = 0;
    // Slot 1: the work. Only after initPlugin returned true.
    virtual bool execute() = 0;
    // Slot 2: whether the plug-in can run in the host's present state; false
    // has already shown the reason.
    virtual bool initPlugin() = 0;

protected:
    // Not virtual and not public: an object goes through destroy.
    ~NMBLPluginInterface();
};

namespace static_intf {

// A second declaration of the same interface, exported for hosts that expect
// it under this name; nothing in the plug-in derives from it.
class KELVANE_PLUGIN_API NMBLPluginInterface {
public:
    static constexpr unsigned int kFreeStorage = 1;

    NMBLPluginInterface();
    NMBLPluginInterface(const NMBLPluginInterface&);
    NMBLPluginInterface& operator=(const NMBLPluginInterface&);

    virtual void* destroy(unsigned int flags) = 0;
    virtual bool execute() = 0;
    virtual bool initPlugin() = 0;

protected:
    ~NMBLPluginInterface();
};

}  // namespace static_intf
