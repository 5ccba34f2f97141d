#pragma once
// NIMBREL_SANITIZED_HEAP is defined in a build whose address sanitizer serves
// and counts every allocation (no guard-page allocator then, and the heap is
// measured through the sanitizer's own count).

#if defined(__SANITIZE_ADDRESS__)
#define NIMBREL_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NIMBREL_SANITIZED_HEAP 1
#endif
#endif
