#include "lib/containers.h"

#include <array>

#include "lib/strings.h"

bool LIntArray::contains(int32_t element) const
{
    for (int32_t i = 0; i < count(); ++i)
        if ((*this)[i] == element)
            return true;
    return false;
}

namespace {

// Weights of keyHash: ten fixed ones, then the primes from 29 to 997.
constexpr std::array<uint32_t, 169> makeHashWeights()
{
    std::array<uint32_t, 169> weights{1, 23, 13, 2, 17, 3, 5, 7, 11, 19};
    size_t next = 10;
    for (uint32_t candidate = 29; candidate <= 997; ++candidate) {
        bool prime = true;
        for (uint32_t divisor = 2; divisor * divisor <= candidate; ++divisor)
            if (candidate % divisor == 0)
                prime = false;
        if (prime)
            weights[next++] = candidate;
    }
    return weights;
}

constexpr std::array<uint32_t, 169> kHashWeights = makeHashWeights();
static_assert(kHashWeights[10] == 29 && kHashWeights[168] == 997);

template <typename Char, typename Unsigned>
uint32_t weightedHash(const Char* text)
{
    uint32_t hash = 0;
    if (!text)
        return 0;
    for (size_t i = 0; text[i]; ++i)
        hash += uint32_t(static_cast<Unsigned>(text[i])) * kHashWeights[i % kHashWeights.size()];
    return hash;
}

} // namespace

uint32_t keyHash(const char* text) { return weightedHash<char, unsigned char>(text); }
uint32_t keyHash(const wchar_t* text) { return weightedHash<wchar_t, uint16_t>(text); }

LHashTable::LHashTable(int32_t bucketCount)
    : buckets_(new LPtrArray*[bucketCount < 1 ? 1 : bucketCount]()),
      bucketCount_(bucketCount < 1 ? 1 : bucketCount)
{
}

LHashTable::~LHashTable()
{
    for (int32_t b = 0; b < bucketCount_; ++b) {
        if (LPtrArray* bucket = buckets_[b]) {
            for (int32_t i = 0; i < bucket->count(); ++i)
                delete static_cast<LHashEntry*>((*bucket)[i]);
            delete bucket;
        }
    }
    delete[] buckets_;
}

void LHashTable::put(const char* key, int32_t value)
{
    LHashEntry* entry = new LHashEntry;
    entry->key.narrow = key;
    entry->value = value;
    add(keyHash(key), entry);
}

void LHashTable::put(LHashEntry* entry)
{
    add(keyHash(entry->key.wide), entry);
}

void LHashTable::add(uint32_t hash, LHashEntry* entry)
{
    LPtrArray*& bucket = buckets_[hash % uint32_t(bucketCount_)];
    if (!bucket)
        bucket = new LPtrArray;
    bucket->add(entry);
    ++count_;
}

const LPtrArray* LHashTable::bucketFor(uint32_t hash) const
{
    return buckets_[hash % uint32_t(bucketCount_)];
}

namespace {

const char* keyOf(const LHashEntry* entry, const char*) { return entry->key.narrow; }
const wchar_t* keyOf(const LHashEntry* entry, const wchar_t*) { return entry->key.wide; }

template <typename Char>
const LHashEntry* findInBucket(const LPtrArray* bucket, const Char* key)
{
    if (bucket)
        for (int32_t i = 0; i < bucket->count(); ++i) {
            const auto* entry = static_cast<const LHashEntry*>((*bucket)[i]);
            if (keyCompare(keyOf(entry, key), key) == 0)
                return entry;
        }
    return nullptr;
}

} // namespace

const LHashEntry* LHashTable::find(const char* key) const
{
    return findInBucket(bucketFor(keyHash(key)), key);
}

const LHashEntry* LHashTable::find(const wchar_t* key) const
{
    return findInBucket(bucketFor(keyHash(key)), key);
}
