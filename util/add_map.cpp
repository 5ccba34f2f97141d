#include "util/add_map.h"

#include <cstring>
#include <string>

#include "host/host_forwarders.h"

namespace kelvane {
namespace {

// Names, file names and messages are cut at this many characters.
constexpr std::size_t kMaxText = 255;

std::string cut(std::string text) {
    if (text.size() > kMaxText) text.resize(kMaxText);
    return text;
}

// The part of path after its last '/', or the whole path without one.
const char* fileNameOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

}  // namespace

bool addNRVMP(const void* sourceRecord, NRVMPsHeader& mapsHeader, void*& mapData, int32_t& mapIndex,
              NRVMPRecord& mapRecord, const char* mapName, bool appendSource) {
    if (nbCreateNRVMPsForCurrentVMR(1, 0, 0, nullptr) == 0) {
        nbMessageBox("Failed to add VMPs");
        return false;
    }
    if (mapName == nullptr) mapName = "";

    nbLogText(cut(std::string("Added the ") + mapName + " VMP").c_str());

    nbGetNRVMPsOfCurrentVMR(&mapsHeader);
    mapIndex = mapsHeader.mapCount - 1;
    mapData = nbGetNRVMPOfCurrentVMR(mapIndex, &mapRecord);

    std::string name;
    if (appendSource) {
        const char* path = sourceRecord != nullptr ? static_cast<const char*>(sourceRecord) + kSourcePathOffset : "";
        name = cut(std::string(mapName) + " of " + cut(fileNameOf(path)));
    } else {
        name = cut(mapName);
    }
    // At most kMaxText characters and the terminator.
    if (mapRecord.name != nullptr) std::memcpy(mapRecord.name, name.c_str(), name.size() + 1);

    nbSetNRVMPParametersOfCurrentVMR(mapIndex, &mapRecord);

    if (mapData == nullptr) {
        nbMessageBox(cut("Failed to get access to the " + name + " VMP").c_str());
        return false;
    }
    return true;
}

}  // namespace kelvane
