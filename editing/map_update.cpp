#include "editing/map_update.h"

#include <cmath>
#include <unordered_map>

#include "host/host_forwarders.h"
#include "host/host_log.h"
#include "host/nrvmp_record.h"
#include "stats/critical_t.h"
#include "stats/student_t_tail.h"

namespace kelvane {
namespace {

// A search's t whose two-tailed p lies further than this share of "MinP" from
// it gets a line in the log. The search is within a fraction of a percent of
// the p for the common p values nearly everywhere, and a quarter or more off
// in its narrow windows; a tenth lies well between the two, and it is where a
// p quoted to one digit, as papers quote 0.05 or 0.005, stops reading as the
// p asked for (0.0045 and 0.0055 for 0.005).
constexpr double kFarFromAskedShare = 0.1;

// Whether a p value and degrees of freedom give a t value at all.
bool convertibleToT(float p, int32_t degreesOfFreedom) {
    return degreesOfFreedom >= 1 && p > 0.0f && p <= 1.0f;
}

// A t-map's lower threshold for the run's "MinP", and what the log says of it.
struct LowerThreshold {
    int32_t degreesOfFreedom = 0;
    float t = 0.0f;
    double exactT = 0.0;        // the exact critical t, where the log names it
    double p = 0.0;             // the two-tailed p that t gives, where the log names it
    bool farFromAsked = false;  // the search's t gives a p too far from "MinP"
};

LowerThreshold lowerThreshold(const EditingOptions& o, int32_t degreesOfFreedom) {
    LowerThreshold threshold;
    threshold.degreesOfFreedom = degreesOfFreedom;
    if (o.useExactT) {
        threshold.t = exactTThresholdFor(degreesOfFreedom, o.minP);
        threshold.exactT = static_cast<double>(threshold.t);
        threshold.p = static_cast<double>(o.minP);
        return threshold;
    }
    threshold.t = tThresholdFor(degreesOfFreedom, o.minP);
    threshold.p = pOfThreshold(degreesOfFreedom, threshold.t);
    threshold.farFromAsked = farFromAskedP(threshold.p, o.minP);
    if (threshold.farFromAsked)
        threshold.exactT = solveCriticalT(static_cast<double>(degreesOfFreedom), static_cast<double>(o.minP)).t;
    return threshold;
}

// The threshold of each degrees of freedom this run has met, for its one
// "MinP": maps of one VMR share few degrees of freedom, and criticalT gives
// the same t for the same arguments, so each is computed once.
using ThresholdsByDegreesOfFreedom = std::unordered_map<int32_t, LowerThreshold>;

const LowerThreshold& thresholdFor(const EditingOptions& o, int32_t degreesOfFreedom,
                                   ThresholdsByDegreesOfFreedom& thresholds) {
    const auto known = thresholds.find(degreesOfFreedom);
    if (known != thresholds.end()) return known->second;
    return thresholds.emplace(degreesOfFreedom, lowerThreshold(o, degreesOfFreedom)).first->second;
}

// A p with the four decimals of the option report, or with as many more as the
// p asked for needs to show two significant digits (0.00010, not 0.0001).
int pDecimals(float asked) {
    constexpr int kMostDecimals = 50;  // the smallest float p has 45 zeros after the point
    int decimals = 4;
    for (double shown = static_cast<double>(asked) * 1e4; shown < 9.5 && decimals < kMostDecimals; shown *= 10.0)
        ++decimals;
    return decimals;
}

// The line a t-map's threshold adds after the map's own, if any: the exact t
// it was given, or the search's t that is far from the p asked for.
void logThresholdNote(const EditingOptions& o, const LowerThreshold& threshold, int32_t mapNumber) {
    const int decimals = pDecimals(o.minP);
    if (o.useExactT) {
        logLine("Kelvane>  Map %i: exact t %.4f for P %.*f with %i degrees of freedom", mapNumber, threshold.exactT,
                decimals, threshold.p, threshold.degreesOfFreedom);
    } else if (threshold.farFromAsked) {
        logLine("Kelvane>  Map %i: t %.4f gives p %.*f for the P asked, %.*f; the exact t is %.4f", mapNumber,
                static_cast<double>(threshold.t), decimals, threshold.p, decimals, static_cast<double>(o.minP),
                threshold.exactT);
    }
}

// Sets the lower threshold; the threshold a p gave a t-map, or null.
const LowerThreshold* setLowerThreshold(const EditingOptions& o, NRVMPRecord& record, int32_t mapNumber,
                                        ThresholdsByDegreesOfFreedom& thresholds) {
    if (!o.doSetMin) return nullptr;
    if (!o.doSetMinP) {
        record.thresholdMin = o.min;
        return nullptr;
    }
    if (record.mapType != kTMapType) {
        logLine("Kelvane>  Map %i is not a T-map, setting of P threshold not supported", mapNumber);
        return nullptr;
    }
    if (!convertibleToT(o.minP, record.degreesOfFreedom)) {
        logLine("Kelvane>  Map %i: cannot turn P %g into a t value with %i degrees of freedom, threshold kept",
                mapNumber, static_cast<double>(o.minP), record.degreesOfFreedom);
        return nullptr;
    }
    const LowerThreshold& threshold = thresholdFor(o, record.degreesOfFreedom, thresholds);
    record.thresholdMin = threshold.t;
    return &threshold;
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

float exactTThresholdFor(int32_t degreesOfFreedom, float p) {
    return static_cast<float>(solveCriticalT(static_cast<double>(degreesOfFreedom), static_cast<double>(p)).t);
}

double pOfThreshold(int32_t degreesOfFreedom, float t) {
    return studentTwoTailed(static_cast<double>(degreesOfFreedom), static_cast<double>(t)).p;
}

bool farFromAskedP(double given, float asked) {
    const double p = static_cast<double>(asked);
    return std::fabs(given - p) > kFarFromAskedShare * p;
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
        const LowerThreshold* threshold = setLowerThreshold(o, record, mapNumber, thresholds);
        if (o.doSetMax) record.thresholdMax = o.max;
        if (o.doClusterSize) record.clusterSize = o.clusterSize;
        if (o.doUseClusterSize) record.useClusterSize = o.useCluster ? 1 : 0;
        if (o.doShowPosNegBoth) record.showPosNeg = shownSignCode(o.pnb);
        if (o.doTransparancy) record.transparency = o.trans;
        if (o.doOverlayMaps) record.overlay = overlaid[static_cast<size_t>(index)];
        logLine("Kelvane>  Setting parameters for map %i", mapNumber);
        nbSetNRVMPParametersOfCurrentVMR(index, &record);
        if (threshold != nullptr) logThresholdNote(o, *threshold, mapNumber);
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
