#pragma once

namespace kelvane {

// One run of the plug-in's work: read and report the options, then set them on
// every map of the current VMR and redraw. False when no option was chosen.
bool editMapProperties();

}  // namespace kelvane
