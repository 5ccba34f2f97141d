#pragma once

#include <cstdint>

namespace kelvane {

// True when the version found (major, minor, release) is the same as or later
// than the version needed; each number compares as a signed integer, most
// significant first.
bool versionAtLeast(int32_t foundMajor, int32_t foundMinor, int32_t foundRelease, int32_t neededMajor,
                    int32_t neededMinor, int32_t neededRelease);

}  // namespace kelvane
