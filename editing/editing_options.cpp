#include "editing/editing_options.h"

#include "host/host_forwarders.h"
#include "host/host_log.h"

namespace kelvane {
namespace {

bool readSwitch(const char* name) {
    return nbGetIntParameter(name) != 0;
}

const char* shownSign(int32_t pnb) {
    if (pnb == 0) return "Positive";
    if (pnb == 1) return "Negative";
    return "Both (pos and neg)";
}

}  // namespace

bool EditingOptions::anyChosen() const {
    return doSetMin || doSetMax || doClusterSize || doUseClusterSize || doShowPosNegBoth || doTransparancy ||
           doOverlayMaps;
}

EditingOptions readEditingOptions() {
    EditingOptions o;
    o.doSetMin = readSwitch("DoSetMin");
    o.min = nbGetFloatParameter("Min");
    o.doSetMinP = readSwitch("DoSetMinP");
    o.minP = nbGetFloatParameter("MinP");
    o.doSetMax = readSwitch("DoSetMax");
    o.max = nbGetFloatParameter("Max");
    o.doClusterSize = readSwitch("DoClusterSize");
    o.clusterSize = nbGetIntParameter("ClusterSize");
    o.doUseClusterSize = readSwitch("DoUseClusterSize");
    o.useCluster = readSwitch("UseCluster");
    o.doShowPosNegBoth = readSwitch("DoShowPosNegBoth");
    o.pnb = nbGetIntParameter("PNB");
    o.doTransparancy = readSwitch("DoTransparancy");
    o.trans = nbGetFloatParameter("Trans");
    o.doOverlayMaps = readSwitch("DoOverlayMaps");
    nbGetStringParameter("Overlay", o.overlay);
    // A host that leaves the text unterminated gives its first 511 characters.
    o.overlay[kStringParameterSize - 1] = '\0';
    o.useExactT = readSwitch("UseExactT");
    return o;
}

bool reportEditingOptions(const EditingOptions& o) {
    nbLogText("Kelvane>  -----");
    if (!o.anyChosen()) {
        nbLogText("Kelvane>  No options selected");
        return false;
    }
    if (o.doSetMin && !o.doSetMinP) logLine("Kelvane>  Set Min to %3.2f", static_cast<double>(o.min));
    if (o.doSetMin && o.doSetMinP) logLine("Kelvane>  Set Min P to %1.4f", static_cast<double>(o.minP));
    if (o.doSetMin && o.doSetMinP && o.useExactT) nbLogText("Kelvane>  Use the exact t for Min P");
    if (o.doSetMax) logLine("Kelvane>  Set Max to %3.2f", static_cast<double>(o.max));
    if (o.doClusterSize) logLine("Kelvane>  Set Cluster Size to %i", o.clusterSize);
    if (o.doUseClusterSize) logLine("Kelvane>  DO%s use the cluster size threshold", o.useCluster ? "" : " NOT");
    if (o.doShowPosNegBoth) logLine("Kelvane>  Show %s", shownSign(o.pnb));
    if (o.doTransparancy) logLine("Kelvane>  Transparancy Factor %1.2f", static_cast<double>(o.trans));
    if (o.doOverlayMaps) logLine("Kelvane>  Overlay the following maps: %s", o.overlay);
    nbLogText("Kelvane>  -----");
    return true;
}

}  // namespace kelvane
