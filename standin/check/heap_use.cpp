#include "standin/check/heap_use.h"

#include <vector>

#include "standin/check/sanitizer_build.h"

#if defined(NIMBREL_SANITIZED_HEAP)
#include <cstddef>
// The sanitizer runtime's own count (its header is not installed with every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(_WIN32)
#include <windows.h>
#else
#include <malloc.h>
#endif

namespace nimbrel::check {

#if defined(NIMBREL_SANITIZED_HEAP)

// The sanitizer's allocator serves every allocation, and counts them.
std::int64_t heapBytesInUse() {
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
}

#elif defined(_WIN32)

std::int64_t heapBytesInUse() {
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
    }
    std::int64_t bytes = 0;
    for (DWORD h = 0; h < count && h < heaps.size(); ++h) {
        if (!HeapLock(heaps[h])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[h], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        HeapUnlock(heaps[h]);
    }
    return bytes;
}

#else

std::int64_t heapBytesInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
}

#endif

}  // namespace nimbrel::check
