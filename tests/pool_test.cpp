#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "tests/harness.h"
#include "lib/pool.h"

namespace {

// The header sits just before the address handed out; going through an integer
// keeps the compiler from treating that as an out-of-bounds read.
uint32_t headerOf(void* block)
{
    const uintptr_t header = reinterpret_cast<uintptr_t>(block) - sizeof(uint32_t);
    return *reinterpret_cast<const uint32_t*>(header);
}

bool isAligned(void* block) { return reinterpret_cast<uintptr_t>(block) % kPoolAlignment == 0; }

struct Filled {
    unsigned char* block;
    uint32_t size;
    unsigned char pattern;
};

void fill(const Filled& f) { memset(f.block, f.pattern, poolUsableSize(f.size)); }

bool intact(const Filled& f)
{
    for (uint32_t i = 0; i < poolUsableSize(f.size); ++i)
        if (f.block[i] != f.pattern)
            return false;
    return headerOf(f.block) == f.size;
}

} // namespace

TEST(PoolUsableSize, FollowsTheSizeClassesAtEachBoundary)
{
    // The first range is 4-byte grained on x86 and 16-byte grained on x64, where
    // every block must be 16-byte aligned.
    const bool x64 = kPoolAlignment == 16;
    EXPECT_EQ(poolUsableSize(0), x64 ? 12u : 0u);
    EXPECT_EQ(poolUsableSize(13), x64 ? 28u : 16u);
    EXPECT_EQ(poolUsableSize(60), 60u);
    EXPECT_EQ(poolUsableSize(61), 76u);
    EXPECT_EQ(poolUsableSize(252), 252u);
    EXPECT_EQ(poolUsableSize(253), 316u);
    EXPECT_EQ(poolUsableSize(1020), 1020u);
    EXPECT_EQ(poolUsableSize(1021), 1276u);
    EXPECT_EQ(poolUsableSize(4092), 4092u);
    EXPECT_EQ(poolUsableSize(4093), 8188u);
    EXPECT_EQ(poolUsableSize(30000), 32764u);
}

TEST(PoolAlloc, RecordsTheRequestedSizeInTheHeader)
{
    for (uint32_t size : {0u, 1u, 60u, 61u, 4092u, 4093u, 100000u}) {
        void* block = poolAlloc(size);
        EXPECT_EQ(headerOf(block), size);
        EXPECT_TRUE(isAligned(block)) << size;
        poolFree(block);
    }
}

TEST(PoolAlloc, ReusesAReleasedBlockWithTheNewSizeInItsHeader)
{
    void* first = poolAlloc(10);
    poolFree(first);
    void* second = poolAlloc(12); // same size class
    EXPECT_EQ(second, first);
    EXPECT_EQ(headerOf(second), 12u);
    poolFree(second);
}

TEST(PoolAlloc, KeepsSizeClassesApart)
{
    void* small = poolAlloc(10);
    poolFree(small);
    void* larger = poolAlloc(100);
    EXPECT_NE(larger, small);
    poolFree(larger);
}

TEST(PoolAlloc, ZeroByteBlocksHaveRoomForTheFreeListLink)
{
    // Freed 0-byte blocks keep their link behind the header; it must not run into
    // the block carved next to them.
    std::vector<void*> empty, neighbours;
    for (int i = 0; i < 200; ++i) {
        empty.push_back(poolAlloc(0));
        neighbours.push_back(poolAlloc(1));
        *static_cast<unsigned char*>(neighbours.back()) = static_cast<unsigned char>(i);
    }
    for (void* block : empty)
        poolFree(block);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(headerOf(neighbours[i]), 1u);
        EXPECT_EQ(*static_cast<unsigned char*>(neighbours[i]), static_cast<unsigned char>(i));
    }
    for (void* block : neighbours)
        poolFree(block);
}

TEST(PoolAlloc, BlocksOfRandomSizesNeverOverlap)
{
    std::mt19937 random(7);
    std::vector<Filled> live;
    for (int round = 0; round < 4000; ++round) {
        if (!live.empty() && random() % 3 == 0) {
            const size_t victim = random() % live.size();
            ASSERT_TRUE(intact(live[victim])) << "size " << live[victim].size;
            poolFree(live[victim].block);
            live.erase(live.begin() + long(victim));
            continue;
        }
        const uint32_t size = random() % 4 == 0 ? random() % 20000 : random() % 300;
        Filled f{static_cast<unsigned char*>(poolAlloc(size)), size, static_cast<unsigned char>(random())};
        ASSERT_TRUE(isAligned(f.block));
        fill(f);
        live.push_back(f);
    }
    for (const Filled& f : live) {
        EXPECT_TRUE(intact(f)) << "size " << f.size;
        poolFree(f.block);
    }
}

TEST(PoolOperatorNew, AllocatesFromThePool)
{
    char* text = new char[10];
    EXPECT_EQ(headerOf(text), 10u);
    delete[] text;
    auto* number = new long long(5);
    EXPECT_EQ(headerOf(number), sizeof(long long));
    EXPECT_TRUE(isAligned(number));
    delete number;
}

CHILD_SCENARIO(PoolHeapRefusal)
{
#if UINTPTR_MAX > 0xFFFFFFFFu
    // Beyond what a 32-bit header can describe.
    volatile size_t size = size_t(1) << 33;
#else
    volatile size_t size = 0xFFFF0000u; // more than a 32-bit process can have
#endif
    void* volatile block = ::operator new(size);
    (void)block;
}

TEST(PoolAlloc, ARefusedHeapEndsTheProcessThroughTheInternalErrorStop)
{
    const ChildResult child = runChildScenario("PoolHeapRefusal");
    EXPECT_EQ(child.exitCode, 2u);
    EXPECT_EQ(child.output.rfind("Internal Error: out of memory", 0), 0u) << child.output;
}
