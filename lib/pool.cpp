#include "lib/pool.h"

#include <cstdlib>
#include <new>

#include "lib/lock.h"
#include "lib/memory_marks.h"
#include "lib/output.h"

namespace {

constexpr uint32_t kHeaderSize = 4;
constexpr int kClassCount = 65;           // index 0 unused
constexpr uint32_t kLargestPooled = 4096; // total size, header included
// Where the first block of a chunk starts, so that addresses behind headers align.
constexpr uint32_t kChunkStart = kPoolAlignment - kHeaderSize;
// A free block keeps its free-list link behind the header, so even the block of a
// 0-byte request must have room for it.
constexpr uint32_t kMinimumTotal = kHeaderSize + sizeof(void*) > kPoolAlignment
                                       ? kHeaderSize + sizeof(void*)
                                       : kPoolAlignment;

struct SizeClass {
    uint64_t total; // block size including the header
    int index;      // 0 for a large block
};

uint64_t roundUp(uint64_t value, uint32_t granularity)
{
    return (value + granularity - 1) / granularity * granularity;
}

SizeClass sizeClassOf(uint32_t size)
{
    const uint64_t n = uint64_t(size) + kHeaderSize;
    if (n <= 64) {
        const uint64_t total = roundUp(n, kPoolAlignment > 4 ? kPoolAlignment : 4);
        return {total, int(total / 4)};
    }
    if (n <= 256) {
        const uint64_t total = roundUp(n, 16);
        return {total, int(total / 16 + 16)};
    }
    if (n <= 1024) {
        const uint64_t total = roundUp(n, 64);
        return {total, int(total / 64 + 32)};
    }
    if (n <= kLargestPooled) {
        const uint64_t total = roundUp(n, 256);
        return {total, int(total / 256 + 48)};
    }
    return {roundUp(n, kPoolLargeGranularity), 0};
}

struct FreeBlock {
    FreeBlock* next;
};

struct PoolState {
    FreeBlock* freeLists[kClassCount];
    char* chunk;
    uint32_t chunkUsed;
};

// Constant-initialised: operator new may run before any dynamic initialiser.
constinit PoolState pool = {{}, nullptr, kPoolChunkSize};
constinit LLock poolLock;

uint32_t& headerOf(void* block)
{
    return *reinterpret_cast<uint32_t*>(static_cast<char*>(block) - kHeaderSize);
}

[[noreturn]] void outOfMemory(uint64_t bytes)
{
    internalError("out of memory (%llu bytes requested)", static_cast<unsigned long long>(bytes));
}

// Called with the lock held; returns the address behind the block's header.
void* carve(uint64_t total)
{
    const uint32_t blockSize = uint32_t(total < kMinimumTotal ? kMinimumTotal : total);
    if (blockSize > kPoolChunkSize - pool.chunkUsed) {
        char* fresh = static_cast<char*>(malloc(kPoolChunkSize));
        if (!fresh) {
            poolLock.release();
            outOfMemory(kPoolChunkSize);
        }
        markUnusable(fresh, kPoolChunkSize);
        pool.chunk = fresh;
        pool.chunkUsed = kChunkStart;
    }
    char* block = pool.chunk + pool.chunkUsed;
    pool.chunkUsed += blockSize;
    return block + kHeaderSize;
}

void* allocateLarge(uint64_t total)
{
    const uint64_t bytes = total + kChunkStart;
    char* base = bytes <= SIZE_MAX ? static_cast<char*>(malloc(size_t(bytes))) : nullptr;
    if (!base)
        outOfMemory(bytes);
    markUnusable(base, size_t(bytes));
    return base + kChunkStart + kHeaderSize;
}

} // namespace

uint32_t poolUsableSize(uint32_t size)
{
    const uint64_t usable = sizeClassOf(size).total - kHeaderSize;
    return usable > UINT32_MAX ? UINT32_MAX : uint32_t(usable);
}

void* poolAlloc(uint32_t size)
{
    const SizeClass sizeClass = sizeClassOf(size);
    void* block;
    if (sizeClass.index == 0) {
        block = allocateLarge(sizeClass.total);
        markUsable(static_cast<char*>(block) - kHeaderSize, size_t(sizeClass.total));
    } else {
        LLockGuard guard(poolLock);
        FreeBlock*& head = pool.freeLists[sizeClass.index];
        if (head) {
            block = head;
            head = head->next;
        } else {
            block = carve(sizeClass.total);
        }
        // Header and usable bytes; under the lock, because a block's header shares
        // a sanitizer shadow byte with its neighbour's tail, which poolFree marks.
        markUsable(static_cast<char*>(block) - kHeaderSize, size_t(sizeClass.total));
    }
    headerOf(block) = size;
    return block;
}

void poolFree(void* block)
{
    if (!block)
        return;
    const SizeClass sizeClass = sizeClassOf(headerOf(block));
    if (sizeClass.index == 0) {
        free(static_cast<char*>(block) - kHeaderSize - kChunkStart);
        return;
    }
    LLockGuard guard(poolLock);
    FreeBlock* freed = static_cast<FreeBlock*>(block);
    freed->next = pool.freeLists[sizeClass.index];
    pool.freeLists[sizeClass.index] = freed;
    // The link stays readable: the leak checker follows no pointer in unusable bytes.
    markUnusable(freed + 1, size_t(sizeClass.total - kHeaderSize) - sizeof(FreeBlock));
}

// The module's global allocation operators. Over-aligned types keep the runtime's
// aligned operators.

namespace {
void* newBlock(size_t size)
{
    if (size > UINT32_MAX - kPoolLargeGranularity)
        outOfMemory(size);
    return poolAlloc(uint32_t(size));
}
} // namespace

void* operator new(size_t size) { return newBlock(size); }
void* operator new[](size_t size) { return newBlock(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return newBlock(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return newBlock(size); }
void operator delete(void* block) noexcept { poolFree(block); }
void operator delete[](void* block) noexcept { poolFree(block); }
void operator delete(void* block, size_t) noexcept { poolFree(block); }
void operator delete[](void* block, size_t) noexcept { poolFree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { poolFree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { poolFree(block); }
