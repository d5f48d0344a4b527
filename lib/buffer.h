// LBuffer: the growable, terminator-kept storage under the library's strings and
// arrays. Capacity grows to 5/4 of the need, rounded up to the pool's size class,
// so the storage always fills the whole block that the pool hands out.
#pragma once
#include <cstdint>
#include <cstring>

#include "lib/output.h"
#include "lib/pool.h"

template <typename T>
class LBuffer {
public:
    LBuffer() : data_(allocate(1)) { data_[0] = T(); }
    ~LBuffer() { poolFree(data_); }
    LBuffer(const LBuffer& other) : LBuffer() { append(other.data_, other.length_); }
    LBuffer& operator=(const LBuffer& other)
    {
        if (this != &other)
            assign(other.data_, other.length_);
        return *this;
    }

    T* data() noexcept { return data_; }
    const T* data() const noexcept { return data_; }
    int32_t length() const noexcept { return length_; }
    int32_t capacity() const noexcept { return capacity_; }
    T operator[](int32_t index) const noexcept { return data_[index]; }

    // Inserts n units of source at position (-1 appends; n -1 reads the source up
    // to its terminator; a null source does nothing). A position beyond the length
    // is a broken invariant of the caller.
    void insert(const T* source, int32_t position, int32_t n)
    {
        if (!source)
            return;
        if (position > length_)
            internalErrorNumber(kErrorBadPosition);
        if (n < 0)
            n = terminatedLength(source);
        if (overlapsStorage(source, n)) {
            // Growing would free the very units being inserted: copy them first.
            LBuffer copy;
            copy.append(source, n);
            insert(copy.data_, position, n);
            return;
        }
        grow(int64_t(length_) + n);
        if (position < 0)
            position = length_;
        memmove(data_ + position + n, data_ + position, size_t(length_ - position + 1) * sizeof(T));
        memcpy(data_ + position, source, size_t(n) * sizeof(T));
        length_ += n;
    }

    void append(const T* source, int32_t n = -1) { insert(source, -1, n); }
    void assign(const T* source, int32_t n = -1)
    {
        if (source && overlapsStorage(source, n < 0 ? terminatedLength(source) : n)) {
            LBuffer copy;
            copy.append(source, n);
            assign(copy.data_, copy.length_);
            return;
        }
        clear();
        append(source, n);
    }

    void appendUnit(T unit)
    {
        grow(int64_t(length_) + 1);
        data_[length_++] = unit;
        data_[length_] = T();
    }

    // Removes n units at position (n -1: everything from position on) and returns
    // the unit formerly at position.
    T remove(int32_t position, int32_t n)
    {
        if (position < 0 || position > length_)
            internalErrorNumber(kErrorBadPosition);
        const T removed = data_[position];
        if (n < 0) {
            length_ = position;
        } else {
            if (int64_t(position) + n > length_)
                internalErrorNumber(kErrorBadPosition);
            memmove(data_ + position, data_ + position + n,
                    size_t(length_ - position - n) * sizeof(T));
            length_ -= n;
        }
        data_[length_] = T();
        return removed;
    }

    void reserve(int32_t n) { grow(n); }

    // Room for n more units past the length, to be written in place and then
    // counted with commitAppend; a producer that knows its worst case writes
    // without an append call per unit.
    T* prepareAppend(int32_t n)
    {
        grow(int64_t(length_) + n);
        return data_ + length_;
    }
    // Takes in n units written at prepareAppend's pointer (n no more than prepared).
    void commitAppend(int32_t n)
    {
        if (n < 0 || int64_t(length_) + n > capacity_)
            internalErrorNumber(kErrorBadPosition);
        length_ += n;
        data_[length_] = T();
    }

    // Re-sizes the storage to the smallest block that holds n units and the
    // terminator, without the growth margin.
    void setCapacity(int32_t n)
    {
        if (n < length_)
            internalErrorNumber(kErrorBadPosition);
        resize(capacityForBytes(byteCount(n)));
    }

    void clear()
    {
        length_ = 0;
        data_[0] = T();
        setCapacity(0);
    }

    // Growth rule: room for m units becomes 5/4 of m, rounded up to the size class.
    void grow(int64_t m)
    {
        if (m <= capacity_)
            return;
        const int32_t newCapacity = capacityForBytes(byteCount(m * 5 / 4));
        if (newCapacity != capacity_)
            resize(newCapacity);
    }

    static int32_t terminatedLength(const T* source)
    {
        int32_t n = 0;
        while (source[n] != T())
            ++n;
        return n;
    }

private:
    // The largest storage a buffer may ask for; beyond it lengths would overflow.
    static constexpr uint64_t kMaxBytes = 0x7FFF0000u;

    static uint64_t byteCount(int64_t units) { return uint64_t(units + 1) * sizeof(T); }

    static int32_t capacityForBytes(uint64_t bytes)
    {
        if (bytes > kMaxBytes)
            internalError("out of memory (%llu bytes requested)", static_cast<unsigned long long>(bytes));
        return int32_t(poolUsableSize(uint32_t(bytes)) / sizeof(T)) - 1;
    }

    static T* allocate(int32_t units) { return static_cast<T*>(poolAlloc(uint32_t(units * sizeof(T)))); }

    void resize(int32_t newCapacity)
    {
        T* fresh = allocate(newCapacity + 1);
        memcpy(fresh, data_, size_t(length_ + 1) * sizeof(T));
        poolFree(data_);
        data_ = fresh;
        capacity_ = newCapacity;
    }

    bool overlapsStorage(const T* source, int32_t n) const
    {
        const auto first = reinterpret_cast<uintptr_t>(source);
        const auto last = first + size_t(n) * sizeof(T);
        const auto begin = reinterpret_cast<uintptr_t>(data_);
        const auto end = begin + size_t(capacity_ + 1) * sizeof(T);
        return first < end && last > begin;
    }

    T* data_;
    int32_t capacity_ = 0;
    int32_t length_ = 0;
};
