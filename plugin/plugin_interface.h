#pragma once
// The abstract interface through which the host drives a plug-in object.
//
// The host calls through the object's dispatch table, and that table is the
// contract: exactly three slots, in this order, whatever compiler builds the
// module or the host:
//   slot 0  destroy(flags): the host's "delete object". Destroys the object and,
//           when bit 0 of flags is set, frees its storage; returns the object.
//           A host built by Microsoft's compiler reaches it with `delete`: there
//           a virtual destructor is one slot that takes these flags.
//   slot 1  execute()
//   slot 2  initPlugin()
// A C++ virtual destructor would not do: compilers of the Itanium C++ ABI (GCC,
// Clang, MinGW) give it two slots and shift execute and initPlugin by one. So
// slot 0 is an ordinary virtual function with the flags word, which every
// compiler lays out the same way, and the destructor itself is not virtual.
//
// Threads: the host makes every call into the plug-in, and into the host
// functions the plug-in calls back, on one thread of its own choosing; no call
// overlaps another, and nothing here takes a lock.
// Order: the host owns an object from createPlugin until it calls slot 0;
// initPlugin may come any number of times, and binds the host functions each
// time; execute only after an initPlugin that returned true. Slot 0 may come at
// any point, also before any initPlugin. No host function is called before
// initPlugin has bound the table (host_function_table.h).

#include "plugin/export.h"

class KELVANE_PLUGIN_API NMBLPluginInterface {
public:
    // Bit 0 of destroy's flags: free the storage after destroying.
    static constexpr unsigned int kFreeStorage = 1;

    NMBLPluginInterface();
    NMBLPluginInterface(const NMBLPluginInterface&);
    NMBLPluginInterface& operator=(const NMBLPluginInterface&);

    // Slot 0: stands in for the virtual destructor (see above).
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
