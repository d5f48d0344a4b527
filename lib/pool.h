// The module's pool allocator: small blocks in size classes carved from 30000-byte
// chunks and recycled through per-class free lists; large blocks straight from the
// runtime heap. It is also the module's operator new and delete.
#pragma once
#include <cstdint>

void* poolAlloc(uint32_t size);
void poolFree(void* block);
// Usable bytes of the block that a request of `size` receives.
uint32_t poolUsableSize(uint32_t size);

// Header size and the alignment of the addresses handed out. A 4-byte header is
// enough on x86; with 64-bit pointers blocks are laid out so that every address
// is 16-byte aligned, as operator new must deliver there.
#if UINTPTR_MAX > 0xFFFFFFFFu
inline constexpr uint32_t kPoolAlignment = 16;
#else
inline constexpr uint32_t kPoolAlignment = 4;
#endif
inline constexpr uint32_t kPoolChunkSize = 30000;
inline constexpr uint32_t kPoolLargeGranularity = 4096;
