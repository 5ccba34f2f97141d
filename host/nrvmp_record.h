#pragma once
// The per-map parameter record and the maps header exchanged with the host.
// Both layouts are agreed with the host byte for byte.

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace kelvane {

// Map type code of a t-map; no other code is interpreted.
inline constexpr int32_t kTMapType = 1;

// One map's display parameters, as the host fills them (112 bytes, 8-aligned).
// The plug-in edits a record the host has just filled and hands it back: every
// byte it does not set, the opaque ranges and the name pointer included, goes
// back exactly as the host gave it.
struct NRVMPRecord {
    char* name;       // host-owned storage; the pointer is never changed
    int32_t mapType;  // 1 = t-map; read only
    float thresholdMin;
    float thresholdMax;
    unsigned char opaque20[4];
    int32_t clusterSize;
    int32_t useClusterSize;    // 0 or 1
    int32_t degreesOfFreedom;  // read only
    unsigned char opaque36[8];
    int32_t showPosNeg;  // 1 positive, 2 negative, 3 both
    unsigned char opaque48[36];
    float transparency;
    unsigned char opaque88[16];
    int32_t overlay;  // 0 or 1
    unsigned char opaque108[4];
};

static_assert(std::is_standard_layout_v<NRVMPRecord>);
static_assert(std::is_trivially_copyable_v<NRVMPRecord>);
static_assert(sizeof(void*) == 8, "the host is a 64-bit process");
static_assert(sizeof(NRVMPRecord) == 112);
static_assert(alignof(NRVMPRecord) == 8);
static_assert(offsetof(NRVMPRecord, name) == 0);
static_assert(offsetof(NRVMPRecord, mapType) == 8);
static_assert(offsetof(NRVMPRecord, thresholdMin) == 12);
static_assert(offsetof(NRVMPRecord, thresholdMax) == 16);
static_assert(offsetof(NRVMPRecord, opaque20) == 20);
static_assert(offsetof(NRVMPRecord, clusterSize) == 24);
static_assert(offsetof(NRVMPRecord, useClusterSize) == 28);
static_assert(offsetof(NRVMPRecord, degreesOfFreedom) == 32);
static_assert(offsetof(NRVMPRecord, opaque36) == 36);
static_assert(offsetof(NRVMPRecord, showPosNeg) == 44);
static_assert(offsetof(NRVMPRecord, opaque48) == 48);
static_assert(offsetof(NRVMPRecord, transparency) == 84);
static_assert(offsetof(NRVMPRecord, opaque88) == 88);
static_assert(offsetof(NRVMPRecord, overlay) == 104);
static_assert(offsetof(NRVMPRecord, opaque108) == 108);

// The header the caller provides to nbGetNRVMPsOfCurrentVMR (400 bytes). Only
// the map count at byte 0 is read; the rest belongs to the host.
struct NRVMPsHeader {
    int32_t mapCount;
    unsigned char hostOwned[396];
};

static_assert(std::is_standard_layout_v<NRVMPsHeader>);
static_assert(sizeof(NRVMPsHeader) == 400);
static_assert(offsetof(NRVMPsHeader, mapCount) == 0);

}  // namespace kelvane
