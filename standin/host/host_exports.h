#pragma once
// The host functions this executable exports, as the plug-ins find them.

#include <string>
#include <vector>

namespace nimbrel {

struct ExportedHostFunction {
    std::string name;   // the exported plain name
    void (*address)();  // its entry point
    bool served;        // works for real (served_functions.h), not a zero answer
};

// Every host function this module exports, in list order.
const std::vector<ExportedHostFunction>& exportedHostFunctions();

}  // namespace nimbrel
