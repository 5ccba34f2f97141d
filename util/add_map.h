#pragma once

#include <cstddef>
#include <cstdint>

#include "host/nrvmp_record.h"

namespace kelvane {

// Where a source record holds its zero-terminated path.
inline constexpr std::size_t kSourcePathOffset = 56;

// Adds one map to the current VMR, takes it to be the last map, names it and
// hands its record back to the host.
//  - sourceRecord: any record holding a zero-terminated path inline from byte
//    kSourcePathOffset; read only when appendSource is true (null reads as an
//    empty path).
//  - mapsHeader, mapData, mapIndex, mapRecord: filled from the host once the
//    map exists (mapData is what nbGetNRVMPOfCurrentVMR returned for it).
//  - mapName: the new map's name; with appendSource the name becomes
//    "<mapName> of <file name of the path>".
// The name is cut at 255 characters and written, terminated, into the storage
// mapRecord.name points to (nothing when that is null), before the record is
// set. False with a message box when the host creates no map (no output
// written) or gives no access to the new one (every output written).
bool addNRVMP(const void* sourceRecord, NRVMPsHeader& mapsHeader, void*& mapData, int32_t& mapIndex,
              NRVMPRecord& mapRecord, const char* mapName, bool appendSource);

}  // namespace kelvane
