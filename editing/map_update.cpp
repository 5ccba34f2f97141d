#include "editing/map_update.h"

#include <unordered_map>

#include "host/host_forwarders.h"
#include "host/host_log.h"
#include "host/nrvmp_record.h"
#include "stats/critical_t.h"

namespace kelvane {
namespace {

// Whether a p value and degrees of freedom give a t value at all.
bool convertibleToT(float p, int32_t degreesOfFreedom) {
    return degreesOfFreedom >= 1 && p > 0.0f && p <= 1.0f;
}

// The t threshold of each degrees of freedom this run has met, for its one
// "MinP": maps of one VMR share few degrees of freedom, and criticalT gives
// the same t for the same arguments, so each is computed once.
using ThresholdsByDegreesOfFreedom = std::unordered_map<int32_t, float>;

float thresholdFor(const EditingOptions& o, int32_t degreesOfFreedom, ThresholdsByDegreesOfFreedom& thresholds) {
    const auto known = thresholds.find(degreesOfFreedom);
    if (known != thresholds.end()) return known->second;
    return thresholds.emplace(degreesOfFreedom, tThresholdFor(degreesOfFreedom, o.minP)).first->second;
}

void setLowerThreshold(const EditingOptions& o, NRVMPRecord& record, int32_t mapNumber,
                       ThresholdsByDegreesOfFreedom& thresholds) {
    if (!o.doSetMin) return;
    if (!o.doSetMinP) {
        record.thresholdMin = o.min;
        return;
    }
    if (record.mapType != kTMapType) {
        logLine("Kelvane>  Map %i is not a T-map, setting of P threshold not supported", mapNumber);
        return;
    }
    if (!convertibleToT(o.minP, record.degreesOfFreedom)) {
        logLine("Kelvane>  Map %i: cannot turn P %g into a t value with %i degrees of freedom, threshold kept",
                mapNumber, static_cast<double>(o.minP), record.degreesOfFreedom);
        return;
    }
    record.thresholdMin = thresholdFor(o, record.degreesOfFreedom, thresholds);
}

// "PNB" 0, 1, 2 become 1 positive, 2 negative, 3 both; any other value is
// passed on plus one, wrapping rather than overflowing.
int32_t shownSignCode(int32_t pnb) {
    return static_cast<int32_t>(static_cast<uint32_t>(pnb) + 1u);
}

}  // namespace

float tThresholdFor(int32_t degreesOfFreedom, float p) {
    return static_cast<float>(
        criticalT(static_cast<double>(degreesOfFreedom), static_cast<double>(p), kCriticalTTolerance));
}

void updateMaps(const EditingOptions& o, int32_t mapCount, const std::vector<unsigned char>& overlaid) {
    NRVMPRecord record;
    ThresholdsByDegreesOfFreedom thresholds;
    for (int32_t index = 0; index < mapCount; ++index) {
        const int32_t mapNumber = index + 1;
        // No map may ever receive another map's record.
        if (nbGetNRVMPOfCurrentVMR(index, &record) == nullptr) {
            logLine("Kelvane>  Map %i could not be read, left unchanged", mapNumber);
            continue;
        }
        setLowerThreshold(o, record, mapNumber, thresholds);
        if (o.doSetMax) record.thresholdMax = o.max;
        if (o.doClusterSize) record.clusterSize = o.clusterSize;
        if (o.doUseClusterSize) record.useClusterSize = o.useCluster ? 1 : 0;
        if (o.doShowPosNegBoth) record.showPosNeg = shownSignCode(o.pnb);
        if (o.doTransparancy) record.transparency = o.trans;
        if (o.doOverlayMaps) record.overlay = overlaid[static_cast<size_t>(index)];
        logLine("Kelvane>  Setting parameters for map %i", mapNumber);
        nbSetNRVMPParametersOfCurrentVMR(index, &record);
    }
}

void refreshOverlay(int32_t mapCount) {
    NRVMPRecord record;
    for (int32_t index = 0; index < mapCount; ++index) {
        if (nbGetNRVMPOfCurrentVMR(index, &record) == nullptr) continue;
        if (record.overlay != 1) continue;
        record.overlay = 0;
        nbSetNRVMPParametersOfCurrentVMR(index, &record);
        record.overlay = 1;
        nbSetNRVMPParametersOfCurrentVMR(index, &record);
        return;
    }
}

}  // namespace kelvane
