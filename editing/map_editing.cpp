#include "editing/map_editing.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "editing/editing_options.h"
#include "editing/map_selection.h"
#include "editing/map_update.h"
#include "host/host_forwarders.h"
#include "host/nrvmp_record.h"

namespace kelvane {
namespace {

// The number of maps on the current VMR, as the host reports it; a negative
// count means none.
int32_t currentMapCount() {
    NRVMPsHeader header{};
    nbGetNRVMPsOfCurrentVMR(&header);
    return std::max<int32_t>(header.mapCount, 0);
}

}  // namespace

bool editMapProperties() {
    const EditingOptions options = readEditingOptions();
    if (!reportEditingOptions(options)) return false;

    const int32_t mapCount = currentMapCount();
    OverlaySelection selection;
    if (options.doOverlayMaps) {
        selection = selectOverlaidMaps(options.overlay, mapCount);
        for (const std::string& message : selection.messages) nbLogText(message.c_str());
    }

    updateMaps(options, mapCount, selection.overlaid);
    refreshOverlay(mapCount);
    nbUpdateActiveWindow();
    nbLogText("Kelvane>");
    nbLogText("Kelvane>  Finished!");
    return true;
}

}  // namespace kelvane
