#pragma once
// The host functions this executable exports, as the plug-ins find them.

#include <string>
#include <vector>

namespace nimbrel {

struct ExportedHostFunction {
    std::string name;   // the exported plain name
    void (*address)();  // its entry point
};

// Every host function this module exports, in list order.
const std::vector<ExportedHostFunction>& exportedHostFunctions();

}  // namespace nimbrel
