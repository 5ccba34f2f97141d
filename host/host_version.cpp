#include "host/host_version.h"

namespace kelvane {

bool versionAtLeast(int32_t foundMajor, int32_t foundMinor, int32_t foundRelease, int32_t neededMajor,
                    int32_t neededMinor, int32_t neededRelease) {
    if (foundMajor != neededMajor) return foundMajor > neededMajor;
    if (foundMinor != neededMinor) return foundMinor > neededMinor;
    return foundRelease >= neededRelease;
}

}  // namespace kelvane
