// Growable arrays of pointers and integers, and the keyed hash table that the
// server's name tables are built on.
#pragma once
#include <cstdint>

#include "lib/buffer.h"

// An array of pointers kept null-terminated; it does not own what they point to.
class LPtrArray : public LBuffer<void*> {
public:
    int32_t count() const noexcept { return length(); }
    void add(void* element) { appendUnit(element); }
};

// An array of 32-bit integers kept 0-terminated.
class LIntArray : public LBuffer<int32_t> {
public:
    int32_t count() const noexcept { return length(); }
    void add(int32_t element) { appendUnit(element); }
    bool contains(int32_t element) const;
};

uint32_t keyHash(const char* text);
uint32_t keyHash(const wchar_t* text);

// A table entry. The key text is neither owned nor copied: it must outlive the table.
struct LHashEntry {
    union {
        const char* narrow;
        const wchar_t* wide;
    } key;
    int32_t value;
};

// A hash table with a fixed number of buckets, each an LPtrArray of entries in
// insertion order. A table is used either with narrow or with wide keys, never
// both. Equal keys are not merged: find returns the entry put first.
class LHashTable {
public:
    explicit LHashTable(int32_t bucketCount);
    ~LHashTable();
    LHashTable(const LHashTable&) = delete;
    LHashTable& operator=(const LHashTable&) = delete;

    // Narrow keys: the table allocates the entry.
    void put(const char* key, int32_t value);
    // Wide keys: the caller allocates the entry with new; the table takes it.
    void put(LHashEntry* entry);

    const LHashEntry* find(const char* key) const;
    const LHashEntry* find(const wchar_t* key) const;

    int32_t count() const noexcept { return count_; }
    int32_t bucketCount() const noexcept { return bucketCount_; }

private:
    void add(uint32_t hash, LHashEntry* entry);
    const LPtrArray* bucketFor(uint32_t hash) const;

    LPtrArray** buckets_;
    int32_t bucketCount_;
    int32_t count_ = 0;
};
