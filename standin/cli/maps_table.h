#pragma once
// The human report's table of the maps before and after the run.

#include <string>
#include <vector>

#include "standin/cli/terminal_text.h"
#include "standin/host/workspace.h"

namespace nimbrel {

// The before/after table of the maps' parameters: a cell that changed shows
// "before → after"; a map present only after the run is marked new.
// Names are shown with their control characters escaped. Wider than width
// columns (when not 0), the columns without a change are left out, from the
// right, and said so; if still too wide, each map gets a block of its own.
std::string mapsTable(const std::vector<VolumeMap>& before, const std::vector<VolumeMap>& after,
                      const Marks& marks = kUtf8Marks, std::size_t width = 0);

}  // namespace nimbrel
