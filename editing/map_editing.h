#pragma once

namespace kelvane {

// One run of the plug-in's work over the maps of the current VMR.
bool editMapProperties();

}  // namespace kelvane
