#pragma once
// Writing the chosen options into every map of the current VMR.

#include <cstdint>
#include <vector>

#include "editing/editing_options.h"

namespace kelvane {

// The tolerance, in p, of the t threshold found for a p value.
inline constexpr double kCriticalTTolerance = 1e-7;

// The lower threshold a t-map with these degrees of freedom gets for "MinP" p
// (degreesOfFreedom >= 1, 0 < p <= 1): criticalT, narrowed to the record's float.
float tThresholdFor(int32_t degreesOfFreedom, float p);

// The same with "UseExactT" on: the exact critical t (criticalT's solver),
// narrowed to the record's float.
float exactTThresholdFor(int32_t degreesOfFreedom, float p);

// The two-tailed p that a stored threshold t gives with these degrees of freedom.
double pOfThreshold(int32_t degreesOfFreedom, float t);

// Whether the p a threshold gives is too far from the p asked for to pass
// without a word in the log.
bool farFromAskedP(double given, float asked);

// For each map in turn: get its record, set the chosen fields, log its line and
// hand the record back. A map the host cannot give is left alone. overlaid
// holds one entry per map when "DoOverlayMaps" is on.
void updateMaps(const EditingOptions& options, int32_t mapCount, const std::vector<unsigned char>& overlaid);

// Writes the first overlaid map once more, off and then on, so that the host
// redraws the overlay. Logs nothing.
void refreshOverlay(int32_t mapCount);

}  // namespace kelvane
