#pragma once
// How many bytes this process holds in heap allocations right now: what a
// plug-in that leaks makes grow.

#include <cstdint>

namespace nimbrel::check {

// Bytes in live heap blocks, every heap of the process included (a plug-in
// may allocate from its own runtime's heap).
std::int64_t heapBytesInUse();

}  // namespace nimbrel::check
