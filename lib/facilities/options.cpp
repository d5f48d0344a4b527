#include "lib/facilities/options.h"

#include <cstring>

#include "lib/charset.h"
#include "lib/facilities/dates.h"
#include "lib/lock.h"
#include "lib/messages.h"
#include "lib/facilities/numbers.h"
#include "lib/facilities/wording.h"

namespace {

// "invalid numeric range (%d - %d)"; Japanese: "the numeric range given is not
// correct (%d~%d)".
constexpr const char* kInvalidRangeJ =
    "\x90\x94\x92l\x82\xCC\x94\xCD\x88\xCD\x8Ew\x92\xE8\x82\xAA\x90\xB3\x82\xB5\x82\xAD\x82\xA0\x82\xE8\x82\xDC"
    "\x82\xB9\x82\xF1 (%d\x81`%d)";
// "too large numeric range (%d - %d)"; Japanese: "the numeric range is too large (%d~%d)".
constexpr const char* kLargeRangeJ =
    "\x90\x94\x92l\x82\xCC\x94\xCD\x88\xCD\x82\xAA\x91\xE5\x82\xAB\x82\xB7\x82\xAC\x82\xDC\x82\xB7 (%d\x81`%d)";
// The English wording ends in a full-width colon of code page 932 too.
constexpr const char* kTooManySeparators = "too many separator\x81" "F'%s'";
// Japanese: "too many separators '-': '%s'".
constexpr const char* kTooManySeparatorsJ =
    "\x83Z\x83p\x83\x8C\x81[\x83^ '-' \x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xDC\x82\xB7\x81" "F'%s'";
// The same in every language: "%s is a larger value than %s".
constexpr const char* kLowAboveHigh = "%s \x82\xCD %s \x82\xE6\x82\xE8\x91\xE5\x82\xAB\x82\xC8\x92l\x82\xC5\x82\xB7";

// A range list yields at most this many numbers per item.
constexpr int64_t kLargestRange = 100;

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool sameNameByte(char a, char b)
{
    return a == b || (isAsciiLetter(a) && isAsciiLetter(b) && (a | 0x20) == (b | 0x20));
}

void appendNumbers(const char* value, LIntArray& list)
{
    LFieldList items;
    splitText(value, items, ',', kSplitDoubling);
    for (int32_t i = 0; i < items.count(); ++i) {
        const char* item = items.field(i);
        // A leading "-" is a sign; a later one makes the item a range.
        const char* dash = item[0] ? strchr(item + 1, '-') : nullptr;
        if (!dash) {
            list.add(textToNum(item));
            continue;
        }
        const LString low(item, int32_t(dash - item));
        const int32_t lo = textToNum(low.data());
        int32_t hi = textToNum(dash + 1);
        if (lo > hi) {
            message(kMsgGeneralError, localized("invalid numeric range (%d - %d)", kInvalidRangeJ), lo, hi);
            hi = lo;
        } else if (int64_t(hi) - lo >= kLargestRange) {
            message(kMsgGeneralError, localized("too large numeric range (%d - %d)", kLargeRangeJ), lo, hi);
            hi = lo;
        }
        for (int64_t number = lo; number <= hi; ++number)
            list.add(int32_t(number));
    }
}

// Splits "a-b,c,d-" into LStrPair elements appended to pairs.
void appendPairs(const char* value, LPtrArray& pairs)
{
    LFieldList items;
    splitText(value, items, ',', kSplitDoubling);
    for (int32_t i = 0; i < items.count(); ++i) {
        LFieldList parts;
        const int32_t cuts = splitText(items.field(i), parts, '-', kSplitDoubling);
        if (parts.count() == 0)
            continue;
        if (parts.count() > 2)
            message(kMsgGeneralError, localized(kTooManySeparators, kTooManySeparatorsJ), items.field(i));
        // "5" stands for 5-5, while "5-" leaves the upper end open.
        const char* second = parts.count() >= 2 ? parts.field(1) : cuts == 0 ? parts.field(0) : "";
        pairs.add(new LStrPair(parts.field(0), second));
    }
}

using BoundReader = int32_t (*)(const char* text);

void appendRanges(const char* value, LPtrArray& ranges, BoundReader lower, BoundReader upper)
{
    LPtrArray* pairs = new LPtrArray;
    appendPairs(value, *pairs);
    for (int32_t i = 0; i < pairs->count(); ++i) {
        const auto* pair = static_cast<const LStrPair*>((*pairs)[i]);
        const int errorsBefore = messenger().errorCount();
        const int32_t lo = pair->first.length() > 0 ? lower(pair->first.data()) : 0;
        int32_t hi = lo;
        if (messenger().errorCount() == errorsBefore) {
            hi = pair->second.length() > 0 ? upper(pair->second.data()) : INT32_MAX;
            if (lo > hi)
                message(kMsgGeneralError, kLowAboveHigh, pair->first.data(), pair->second.data());
        }
        ranges.add(new LRange{lo, hi});
    }
    deletePairList(pairs);
}

int32_t lowerNumber(const char* text) { return textToNum(text, false); }
int32_t upperNumber(const char* text) { return textToNum(text, true); }
int32_t lowerDate(const char* text) { return FTextToTime(text, false); }
int32_t upperDate(const char* text) { return FTextToTime(text, true); }

// The list an option appends to: the target's (created when null), or a scratch
// list when there is no target. A target's list that is empty after a parse can
// be given back; scratch lists always go.
template <typename List>
class ListTarget {
public:
    explicit ListTarget(List** target) : slot_(target ? *target : scratch_), isTarget_(target != nullptr)
    {
        if (!slot_)
            slot_ = new List;
    }
    ~ListTarget() { delete scratch_; }
    ListTarget(const ListTarget&) = delete;
    ListTarget& operator=(const ListTarget&) = delete;

    List& list() { return *slot_; }
    // Hands the target's list back when it is empty, whoever made it.
    void giveBackIfEmpty()
    {
        if (isTarget_ && slot_->count() == 0) {
            delete slot_;
            slot_ = nullptr;
        }
    }
    // Frees the elements of a scratch list, which nobody else will see.
    template <typename Free>
    void dropScratch(Free free)
    {
        if (scratch_)
            free(scratch_);
    }

private:
    List* scratch_ = nullptr;
    List*& slot_;
    bool isTarget_;
};

} // namespace

void deletePairList(LPtrArray*& list)
{
    if (!list)
        return;
    for (int32_t i = 0; i < list->count(); ++i)
        delete static_cast<LStrPair*>((*list)[i]);
    delete list;
    list = nullptr;
}

void deleteRangeList(LPtrArray*& list)
{
    if (!list)
        return;
    for (int32_t i = 0; i < list->count(); ++i)
        delete static_cast<LRange*>((*list)[i]);
    delete list;
    list = nullptr;
}

const wchar_t* internWStr(const wchar_t* text)
{
    if (!text)
        return nullptr;
    static constinit LLock lock;
    static LHashTable* const table = new LHashTable(256); // never freed: the texts live on
    LLockGuard guard(lock);
    if (const LHashEntry* found = table->find(text))
        return found->key.wide;
    const size_t length = wcslen(text);
    wchar_t* copy = new wchar_t[length + 1];
    memcpy(copy, text, (length + 1) * sizeof(wchar_t));
    LHashEntry* entry = new LHashEntry;
    entry->key.wide = copy;
    entry->value = 0;
    table->put(entry);
    return copy;
}

// ------------------------------------------------------------ recognition

int32_t LOption::valueOffset(const char* argument) const
{
    if (!argument || (argument[0] != '-' && argument[0] != '/'))
        return 0;
    const char* text = argument + 1;
    int32_t i = 0;
    while (name_[i]) {
        if (isLeadByte(uint8_t(name_[i])) && name_[i + 1]) {
            if (text[i] != name_[i] || text[i + 1] != name_[i + 1])
                return 0;
            i += 2;
        } else {
            if (!sameNameByte(text[i], name_[i]))
                return 0;
            ++i;
        }
    }
    if (text[i] == '\0')
        return i + 1;
    return text[i] == ':' ? i + 2 : 0;
}

// ------------------------------------------------------------ the kinds

int LNumOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    const char* value = argument + offset;
    int32_t number = default_;
    if (*value)
        number = textToNum(value);
    else if (default_ == kValueRequired)
        message(kMsgGeneralError, "value required: %s", argument);
    if (number < min_)
        message(kMsgGeneralError, "too small option number: %s: %d < %d", argument, number, min_);
    if (max_ >= 0 && number > max_)
        message(kMsgGeneralError, "too big option number: %s: %d > %d", argument, number, max_);
    if (target_)
        *target_ = number;
    return 1;
}

int LMaskOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    const char* value = argument + offset;
    uint32_t bits = target_ ? *target_ : 0;
    if (!*value || strcmp(value, "1") == 0) {
        bits |= mask1_;
    } else if (strcmp(value, "2") == 0 && mask2_ != kNoMask) {
        bits |= mask2_;
    } else if (strcmp(value, "0") == 0) {
        bits &= ~mask1_;
        if (mask2_ != kNoMask)
            bits &= ~mask2_;
    } else {
        message(kMsgGeneralError, "illegal mask option value: %s", value);
    }
    if (target_)
        *target_ = bits;
    return 1;
}

int LSwitchOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    if (argument[offset])
        message(kMsgGeneralError, "illegal switch option: %s", argument);
    if (target_)
        *target_ = value_;
    return 1;
}

int LStrOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    const char* value = argument + offset;
    if (target_)
        *target_ = !*value && default_ ? default_ : value;
    return 1;
}

int LWStrOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    const char* value = argument + offset;
    if (!*value && default_) {
        if (target_)
            *target_ = default_;
        return 1;
    }
    LWString wide;
    appendNarrow(wide, value);
    const wchar_t* interned = internWStr(wide.data());
    if (target_)
        *target_ = interned;
    return 1;
}

int LStringOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    const char* value = argument + offset;
    if (target_)
        target_->assign(!*value && default_ ? default_ : value);
    return 1;
}

int LStrListOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    ListTarget<LPtrArray> target(target_);
    target.list().add(const_cast<char*>(argument + offset));
    return 1;
}

int LNumListOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    ListTarget<LIntArray> target(target_);
    appendNumbers(argument + offset, target.list());
    return 1;
}

int LPairListOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    ListTarget<LPtrArray> target(target_);
    appendPairs(argument + offset, target.list());
    target.giveBackIfEmpty();
    target.dropScratch(deletePairList);
    return 1;
}

int LRangeListOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    ListTarget<LPtrArray> target(target_);
    appendRanges(argument + offset, target.list(), lowerNumber, upperNumber);
    target.giveBackIfEmpty();
    target.dropScratch(deleteRangeList);
    return 1;
}

int LDateOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    const int32_t seconds = FTextToTime(argument + offset, false);
    if (target_)
        *target_ = seconds;
    return 1;
}

int LDateRangeListOption::parse(const char* argument)
{
    const int32_t offset = valueOffset(argument);
    if (!offset)
        return 0;
    ListTarget<LPtrArray> target(target_);
    appendRanges(argument + offset, target.list(), lowerDate, upperDate);
    target.giveBackIfEmpty();
    target.dropScratch(deleteRangeList);
    return 1;
}

// ------------------------------------------------------------ the set

LOption* LOptionSet::add(LOption* option)
{
    options_.add(option);
    return option;
}

LOption* LOptionSet::addNum(const char* name, int32_t* target, int32_t min, int32_t max, int32_t defaultValue)
{
    return add(new LNumOption(name, target, min, max, defaultValue));
}

LOption* LOptionSet::addMask(const char* name, uint32_t* target, uint32_t mask1, uint32_t mask2)
{
    return add(new LMaskOption(name, target, mask1, mask2));
}

LOption* LOptionSet::addSwitch(const char* name, int32_t* target, int32_t value)
{
    return add(new LSwitchOption(name, target, value));
}

LOption* LOptionSet::addStr(const char* name, const char** target, const char* defaultValue)
{
    return add(new LStrOption(name, target, defaultValue));
}

LOption* LOptionSet::addWStr(const char* name, const wchar_t** target, const wchar_t* defaultValue)
{
    return add(new LWStrOption(name, target, defaultValue));
}

LOption* LOptionSet::addString(const char* name, LString* target, const char* defaultValue)
{
    return add(new LStringOption(name, target, defaultValue));
}

LOption* LOptionSet::addStrList(const char* name, LPtrArray** target, int32_t word1, int32_t word2)
{
    return add(new LStrListOption(name, target, word1, word2));
}

LOption* LOptionSet::addNumList(const char* name, LIntArray** target) { return add(new LNumListOption(name, target)); }

LOption* LOptionSet::addPairList(const char* name, LPtrArray** target)
{
    return add(new LPairListOption(name, target));
}

LOption* LOptionSet::addRangeList(const char* name, LPtrArray** target)
{
    return add(new LRangeListOption(name, target));
}

LOption* LOptionSet::addDate(const char* name, int32_t* target) { return add(new LDateOption(name, target)); }

LOption* LOptionSet::addDateRangeList(const char* name, LPtrArray** target)
{
    return add(new LDateRangeListOption(name, target));
}

int LOptionSet::parse(const char* argument)
{
    for (int32_t i = 0; i < options_.count(); ++i)
        if (const int result = static_cast<LOption*>(options_[i])->parse(argument))
            return result;
    return 0;
}

void LOptionSet::clear()
{
    for (int32_t i = 0; i < options_.count(); ++i)
        delete static_cast<LOption*>(options_[i]);
    options_.clear();
}
