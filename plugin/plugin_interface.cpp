#include "plugin/plugin_interface.h"

// Defined here, out of line, so that the module exports them. No data, so
// nothing to construct, copy or destroy.
NMBLPluginInterface::NMBLPluginInterface() = default;
NMBLPluginInterface::NMBLPluginInterface(const NMBLPluginInterface&) = default;
NMBLPluginInterface& NMBLPluginInterface::operator=(const NMBLPluginInterface&) = default;
NMBLPluginInterface::~NMBLPluginInterface() = default;

namespace static_intf {

NMBLPluginInterface::NMBLPluginInterface() = default;
NMBLPluginInterface::NMBLPluginInterface(const NMBLPluginInterface&) = default;
NMBLPluginInterface& NMBLPluginInterface::operator=(const NMBLPluginInterface&) = default;
NMBLPluginInterface::~NMBLPluginInterface() = default;

}  // namespace static_intf
