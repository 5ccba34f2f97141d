#pragma once
// The options the user chose in the plug-in's dialog, read back by name from
// the host's parameters on every run.

#include <cstdint>

#include "host/host_contract.h"

namespace kelvane {

// One member per dialog parameter, named after it. Each property comes as a
// switch (the Do... members) and the value to set.
struct EditingOptions {
    bool doSetMin = false;                    // "DoSetMin"
    float min = 0.0f;                         // "Min"
    bool doSetMinP = false;                   // "DoSetMinP": the lower threshold is given as a p value
    float minP = 0.0f;                        // "MinP"
    bool doSetMax = false;                    // "DoSetMax"
    float max = 0.0f;                         // "Max"
    bool doClusterSize = false;               // "DoClusterSize"
    int32_t clusterSize = 0;                  // "ClusterSize"
    bool doUseClusterSize = false;            // "DoUseClusterSize"
    bool useCluster = false;                  // "UseCluster"
    bool doShowPosNegBoth = false;            // "DoShowPosNegBoth"
    int32_t pnb = 0;                          // "PNB": 0 positive, 1 negative, 2 both
    bool doTransparancy = false;              // "DoTransparancy"
    float trans = 0.0f;                       // "Trans"
    bool doOverlayMaps = false;               // "DoOverlayMaps"
    char overlay[kStringParameterSize] = {};  // "Overlay": "All", or numbers and ranges
    bool useExactT = false;                   // "UseExactT": a p becomes the exact t, not the search's

    // Whether any property is to be changed ("DoSetMinP" alone selects nothing).
    bool anyChosen() const;
};

// Reads all seventeen parameters from the host, in dialog order, whatever the
// switches say. A host without "UseExactT" (a dialog script from before it)
// answers 0 for it, so such a run is what it always was.
EditingOptions readEditingOptions();

// Logs the option report: the chosen options framed by two "-----" lines, or
// "No options selected". Returns whether any option was chosen.
bool reportEditingOptions(const EditingOptions& options);

}  // namespace kelvane
