#pragma once
// The plug-in object. It holds nothing but its dispatch pointer: everything the
// work needs comes from the host at call time, through the process-wide table.

#include "plugin/export.h"
#include "plugin/plugin_interface.h"

class KELVANE_PLUGIN_API Kelvane final : public NMBLPluginInterface {
public:
    Kelvane();
    // Writes one blank line to the host's log (when the host was bound).
    ~Kelvane();

    // Runs the destructor and, with kFreeStorage, frees what createPlugin
    // allocated; returns this object's address.
    void* destroy(unsigned int flags) override;
    bool execute() override;
    bool initPlugin() override;
};
