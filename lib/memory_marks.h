// Tells AddressSanitizer (in the native sanitizer build) which bytes of the
// pool's chunks a caller may touch, so that overruns within a chunk are caught
// as they are in blocks of the runtime heap. Does nothing in other builds.
#pragma once
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VEXA_MARK_MEMORY 1
#endif
#endif

#if defined(VEXA_MARK_MEMORY)
#include <sanitizer/asan_interface.h>
inline void markUsable(const void* begin, size_t bytes) { ASAN_UNPOISON_MEMORY_REGION(begin, bytes); }
inline void markUnusable(const void* begin, size_t bytes) { ASAN_POISON_MEMORY_REGION(begin, bytes); }
#else
inline void markUsable(const void*, size_t) {}
inline void markUnusable(const void*, size_t) {}
#endif
