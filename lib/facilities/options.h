// Command-line style options: a caller declares its options once, each bound to a
// variable of its own (the target), then hands every argument to the option set,
// which recognises "-name" or "/name", optionally followed by ":value", converts the
// value and writes the target. Arguments no option claims are left to the caller.
//
// Problems with a value are reported (error 15000) and the option still counts as
// consumed. A null target is allowed: the value is checked and stored nowhere.
// Options keep pointers to their names, and the text kinds to the argument texts:
// both must outlive the set and the targets.
#pragma once
#include <cstdint>

#include "lib/containers.h"
#include "lib/strings.h"

// An element of the pair lists: "a-b" gives (a, b).
struct LStrPair {
    LStrPair(const char* firstText, const char* secondText) : first(firstText), second(secondText) {}
    LString first;
    LString second;
};

// An element of the range and date-range lists.
struct LRange {
    int32_t lo;
    int32_t hi;
};

// Frees a pair or range list and its elements, and sets the pointer to null.
void deletePairList(LPtrArray*& list);
void deleteRangeList(LPtrArray*& list);

// One process-wide copy of each wide text, never freed: equal texts give equal
// pointers. Null gives null.
const wchar_t* internWStr(const wchar_t* text);

class LOption {
public:
    explicit LOption(const char* name) : name_(name) {}
    virtual ~LOption() = default;
    LOption(const LOption&) = delete;
    LOption& operator=(const LOption&) = delete;

    // 0: the argument is not this option; 1: recognised and consumed.
    virtual int parse(const char* argument) = 0;
    const char* name() const { return name_; }

protected:
    // Where the value text starts in the argument (at its NUL when there is no
    // value), or 0 when the argument is not this option. The name compares without
    // regard to the case of A-Z; a double-byte character compares whole.
    int32_t valueOffset(const char* argument) const;

private:
    const char* name_;
};

// An integer within min and max (max < 0: no upper bound); default when the value
// is left out, or kValueRequired to demand one.
class LNumOption final : public LOption {
public:
    static constexpr int32_t kValueRequired = -10000;
    LNumOption(const char* name, int32_t* target, int32_t min, int32_t max, int32_t defaultValue)
        : LOption(name), target_(target), min_(min), max_(max), default_(defaultValue)
    {
    }
    int parse(const char* argument) override;

private:
    int32_t* target_;
    int32_t min_;
    int32_t max_;
    int32_t default_;
};

// Bits: "" or "1" sets mask1, "2" sets mask2, "0" clears both.
class LMaskOption final : public LOption {
public:
    static constexpr uint32_t kNoMask = 0xFFFFFFFF;
    LMaskOption(const char* name, uint32_t* target, uint32_t mask1, uint32_t mask2)
        : LOption(name), target_(target), mask1_(mask1), mask2_(mask2)
    {
    }
    int parse(const char* argument) override;

private:
    uint32_t* target_;
    uint32_t mask1_;
    uint32_t mask2_;
};

// Sets the value; a value text is reported but the switch is still set.
class LSwitchOption final : public LOption {
public:
    LSwitchOption(const char* name, int32_t* target, int32_t value) : LOption(name), target_(target), value_(value) {}
    int parse(const char* argument) override;

private:
    int32_t* target_;
    int32_t value_;
};

// A pointer to the value text inside the argument; the default for an empty value
// when there is one.
class LStrOption final : public LOption {
public:
    LStrOption(const char* name, const char** target, const char* defaultValue)
        : LOption(name), target_(target), default_(defaultValue)
    {
    }
    int parse(const char* argument) override;

private:
    const char** target_;
    const char* default_;
};

// The value as an interned wide text (internWStr).
class LWStrOption final : public LOption {
public:
    LWStrOption(const char* name, const wchar_t** target, const wchar_t* defaultValue)
        : LOption(name), target_(target), default_(defaultValue)
    {
    }
    int parse(const char* argument) override;

private:
    const wchar_t** target_;
    const wchar_t* default_;
};

// A copy of the value text; an empty value gives the default, or an empty string.
class LStringOption final : public LOption {
public:
    LStringOption(const char* name, LString* target, const char* defaultValue)
        : LOption(name), target_(target), default_(defaultValue)
    {
    }
    int parse(const char* argument) override;

private:
    LString* target_;
    const char* default_;
};

// Each value text (also an empty one) appended as a pointer into its argument. The
// two words are kept for the caller and read by no parse.
class LStrListOption final : public LOption {
public:
    LStrListOption(const char* name, LPtrArray** target, int32_t word1, int32_t word2)
        : LOption(name), target_(target), word1_(word1), word2_(word2)
    {
    }
    int parse(const char* argument) override;
    int32_t word1() const { return word1_; }
    int32_t word2() const { return word2_; }

private:
    LPtrArray** target_;
    int32_t word1_;
    int32_t word2_;
};

// "1,3-5,7": numbers and ranges of at most 100 numbers, expanded.
class LNumListOption final : public LOption {
public:
    LNumListOption(const char* name, LIntArray** target) : LOption(name), target_(target) {}
    int parse(const char* argument) override;

private:
    LIntArray** target_;
};

// "a-b,c,d-": LStrPair elements (a, b), (c, c), (d, ""). A doubled separator is a
// literal one: "a--b" is the single text "a-b".
class LPairListOption final : public LOption {
public:
    LPairListOption(const char* name, LPtrArray** target) : LOption(name), target_(target) {}
    int parse(const char* argument) override;

private:
    LPtrArray** target_;
};

// "1k-2k,-5,7-": LRange elements of numbers, an open end 0 or 2147483647.
class LRangeListOption final : public LOption {
public:
    LRangeListOption(const char* name, LPtrArray** target) : LOption(name), target_(target) {}
    int parse(const char* argument) override;

private:
    LPtrArray** target_;
};

// Calendar seconds of a slash-form date-time text, the start of its period.
class LDateOption final : public LOption {
public:
    LDateOption(const char* name, int32_t* target) : LOption(name), target_(target) {}
    int parse(const char* argument) override;

private:
    int32_t* target_;
};

// As LRangeListOption with slash-form date-time texts: the start of the lower
// bound's period to the end of the upper bound's.
class LDateRangeListOption final : public LOption {
public:
    LDateRangeListOption(const char* name, LPtrArray** target) : LOption(name), target_(target) {}
    int parse(const char* argument) override;

private:
    LPtrArray** target_;
};

// List targets: a null list is created when its option is first met, and the caller
// owns it from then on. The pair, range and date-range kinds give a list they have
// just created back (and reset the target to null) when it stayed empty.
class LOptionSet {
public:
    LOptionSet() = default;
    ~LOptionSet() { clear(); }
    LOptionSet(const LOptionSet&) = delete;
    LOptionSet& operator=(const LOptionSet&) = delete;

    // Each add returns the new option, which the set owns.
    LOption* addNum(const char* name, int32_t* target, int32_t min, int32_t max, int32_t defaultValue);
    LOption* addNum(const char* name, int32_t& target, int32_t min, int32_t max, int32_t defaultValue)
    {
        return addNum(name, &target, min, max, defaultValue);
    }
    LOption* addMask(const char* name, uint32_t* target, uint32_t mask1, uint32_t mask2 = LMaskOption::kNoMask);
    LOption* addSwitch(const char* name, int32_t* target, int32_t value);
    LOption* addStr(const char* name, const char** target, const char* defaultValue = nullptr);
    LOption* addStr(const char* name, const char*& target, const char* defaultValue = nullptr)
    {
        return addStr(name, &target, defaultValue);
    }
    LOption* addWStr(const char* name, const wchar_t** target, const wchar_t* defaultValue = nullptr);
    LOption* addWStr(const char* name, const wchar_t*& target, const wchar_t* defaultValue = nullptr)
    {
        return addWStr(name, &target, defaultValue);
    }
    LOption* addString(const char* name, LString* target, const char* defaultValue = nullptr);
    LOption* addString(const char* name, LString& target, const char* defaultValue = nullptr)
    {
        return addString(name, &target, defaultValue);
    }
    LOption* addStrList(const char* name, LPtrArray** target, int32_t word1 = 0, int32_t word2 = 0);
    LOption* addStrList(const char* name, LPtrArray*& target, int32_t word1 = 0, int32_t word2 = 0)
    {
        return addStrList(name, &target, word1, word2);
    }
    LOption* addNumList(const char* name, LIntArray** target);
    LOption* addNumList(const char* name, LIntArray*& target) { return addNumList(name, &target); }
    LOption* addPairList(const char* name, LPtrArray** target);
    LOption* addRangeList(const char* name, LPtrArray** target);
    LOption* addDate(const char* name, int32_t* target);
    LOption* addDateRangeList(const char* name, LPtrArray** target);

    // The first non-zero result of the options in the order they were added; 0
    // when none claims the argument.
    int parse(const char* argument);
    void clear();
    int32_t count() const { return options_.count(); }

private:
    LOption* add(LOption* option);

    LPtrArray options_;
};
