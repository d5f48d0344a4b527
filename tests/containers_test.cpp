#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/harness.h"
#include "lib/containers.h"
#include "lib/pool.h"

namespace {

const bool kX64 = kPoolAlignment == 16;

std::vector<int32_t> capacitiesForNeeds(LBuffer<void*>& array, const std::vector<int>& needs)
{
    std::vector<int32_t> capacities;
    for (int need : needs) {
        array.grow(need);
        capacities.push_back(array.capacity());
    }
    return capacities;
}

int tag(int i) { return i * 10 + 1; }
void* pointerTo(int i) { return reinterpret_cast<void*>(intptr_t(tag(i))); }

} // namespace

TEST(LPtrArray, StartsEmptyAndTerminated)
{
    LPtrArray array;
    EXPECT_EQ(array.count(), 0);
    EXPECT_EQ(array.capacity(), 0);
    EXPECT_EQ(array[0], nullptr);
}

TEST(LPtrArray, GrowsToFiveQuartersOfTheNeedRoundedToTheSizeClass)
{
    const std::vector<int> needs = {1, 2, 3, 4, 6, 8, 11, 14, 20, 50, 100};
    LPtrArray array;
    const std::vector<int32_t> x86 = {1, 2, 3, 5, 7, 10, 13, 18, 26, 62, 126};
    const std::vector<int32_t> x64 = {2, 2, 4, 4, 8, 8, 14, 14, 26, 62, 126};
    EXPECT_EQ(capacitiesForNeeds(array, needs), kX64 ? x64 : x86);
}

TEST(LIntArray, GrowsByTheSameRule)
{
    LIntArray array;
    std::vector<int32_t> capacities;
    for (int need : {1, 2, 3, 4, 6, 8, 11}) {
        array.grow(need);
        capacities.push_back(array.capacity());
    }
    const std::vector<int32_t> x86 = {1, 2, 3, 5, 7, 10, 13};
    const std::vector<int32_t> x64 = {2, 2, 6, 6, 6, 10, 14};
    EXPECT_EQ(capacities, kX64 ? x64 : x86);
}

TEST(LPtrArray, InsertsAtAPositionAndKeepsTheTerminator)
{
    void* source[] = {pointerTo(1), pointerTo(2), pointerTo(3), nullptr};
    LPtrArray array;
    array.insert(source, -1, -1); // 1 2 3
    void* middle[] = {pointerTo(9)};
    array.insert(middle, 1, 1); // 1 9 2 3
    array.insert(source, array.count(), 1); // position count appends: 1 9 2 3 1
    ASSERT_EQ(array.count(), 5);
    const int expected[] = {1, 9, 2, 3, 1};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(array[i], pointerTo(expected[i])) << i;
    EXPECT_EQ(array[5], nullptr);
    array.insert(nullptr, 0, 3);
    EXPECT_EQ(array.count(), 5);
}

TEST(LPtrArray, InsertsItsOwnElements)
{
    LPtrArray array;
    for (int i = 0; i < 3; ++i)
        array.add(pointerTo(i));
    // The storage grows while the elements are read from it.
    array.insert(array.data(), 1, array.count());
    const int expected[] = {0, 0, 1, 2, 1, 2};
    ASSERT_EQ(array.count(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(array[i], pointerTo(expected[i])) << i;
}

TEST(LPtrArray, ClearShrinksToTheSmallestBlock)
{
    LPtrArray array;
    for (int i = 0; i < 100; ++i)
        array.add(pointerTo(i));
    array.clear();
    EXPECT_EQ(array.count(), 0);
    EXPECT_EQ(array[0], nullptr);
    EXPECT_EQ(array.capacity(), 0);
    array.setCapacity(40);
    EXPECT_EQ(array.capacity(), kX64 ? 46 : 42);
}

CHILD_SCENARIO(PtrArrayInsertBeyondCount)
{
    void* element[] = {pointerTo(1)};
    LPtrArray array;
    array.insert(element, 1, 1);
}

TEST(LPtrArray, InsertBeyondTheCountIsInternalError161)
{
    const ChildResult child = runChildScenario("PtrArrayInsertBeyondCount");
    EXPECT_EQ(child.exitCode, 2u);
    EXPECT_EQ(child.output, "Internal Error: 161\n");
}

TEST(KeyHash, WeighsCharactersByPosition)
{
    EXPECT_EQ(keyHash(static_cast<const char*>(nullptr)), 0u);
    EXPECT_EQ(keyHash(""), 0u);
    EXPECT_EQ(keyHash("A"), 65u);
    EXPECT_EQ(keyHash("AB"), 1583u);
    EXPECT_EQ(keyHash(L"A"), 65u);
    EXPECT_EQ(keyHash(L"AB"), 1583u);
    EXPECT_EQ(keyHash("\xFF"), 255u); // bytes count unsigned
    EXPECT_EQ(keyHash(L"\xFFFF"), 65535u);
}

TEST(KeyHash, WrapsTheWeightsAfter169Characters)
{
    // The 170th character is weighed like the first (weight 1).
    const std::string a169(169, 'A');
    EXPECT_EQ(keyHash((a169 + "B").c_str()) - keyHash(a169.c_str()), 66u);
    const std::string b(10, 'B');
    EXPECT_EQ(keyHash("A\x01") - keyHash("A"), 23u);
    EXPECT_EQ(keyHash(b.c_str()), 66u * (1 + 23 + 13 + 2 + 17 + 3 + 5 + 7 + 11 + 19));
}

TEST(LHashTable, FindsNarrowKeysCaseSensitively)
{
    LHashTable table(256);
    table.put("CTRL", 17);
    table.put("SHIFT", 16);
    ASSERT_NE(table.find("CTRL"), nullptr);
    EXPECT_EQ(table.find("CTRL")->value, 17);
    EXPECT_EQ(table.find("SHIFT")->value, 16);
    EXPECT_EQ(table.find("ctrl"), nullptr);
    EXPECT_EQ(table.find("CTR"), nullptr);
    EXPECT_EQ(table.count(), 2);
}

TEST(LHashTable, KeepsDuplicatesAndFindsTheFirst)
{
    LHashTable table(256);
    table.put("KEY", 1);
    table.put("KEY", 2);
    EXPECT_EQ(table.count(), 2);
    EXPECT_EQ(table.find("KEY")->value, 1);
}

TEST(LHashTable, KeepsInsertionOrderWithinABucket)
{
    LHashTable table(1); // every key in one bucket
    const char* keys[] = {"one", "two", "three", "four", "five", "six", "seven"};
    for (int i = 0; i < 7; ++i)
        table.put(keys[i], i);
    for (int i = 0; i < 7; ++i) {
        ASSERT_NE(table.find(keys[i]), nullptr) << keys[i];
        EXPECT_EQ(table.find(keys[i])->value, i);
        EXPECT_EQ(table.find(keys[i])->key.narrow, keys[i]) << "keys are kept, not copied";
    }
}

TEST(LHashTable, TakesWideEntriesFromTheCaller)
{
    LHashTable table(256);
    for (const auto& [name, id] : {std::pair{L"sendKeys", 290}, std::pair{L"version", 100}}) {
        auto* entry = new LHashEntry;
        entry->key.wide = name;
        entry->value = id;
        table.put(entry);
    }
    ASSERT_NE(table.find(L"sendKeys"), nullptr);
    EXPECT_EQ(table.find(L"sendKeys")->value, 290);
    EXPECT_EQ(table.find(L"version")->value, 100);
    EXPECT_EQ(table.find(L"SendKeys"), nullptr);
}
