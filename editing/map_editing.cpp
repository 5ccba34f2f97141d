#include "editing/map_editing.h"

namespace kelvane {

bool editMapProperties() { return false; }

}  // namespace kelvane
