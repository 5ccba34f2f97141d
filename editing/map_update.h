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

// For each map in turn: get its record, set the chosen fields, log its line and
// hand the record back. A map the host cannot give is left alone. overlaid
// holds one entry per map when "DoOverlayMaps" is on.
void updateMaps(const EditingOptions& options, int32_t mapCount, const std::vector<unsigned char>& overlaid);

// Writes the first overlaid map once more, off and then on, so that the host
// redraws the overlay. Logs nothing.
void refreshOverlay(int32_t mapCount);

}  // namespace kelvane
