// Option parsing: every line of the input is an argument for a set with one
// option of each kind. An argument is claimed exactly when it names an option;
// texts point into their argument; lists grow within their bounds; a range
// stored backwards was reported.
#include <cstring>
#include <vector>

#include "fuzz/harness.h"
#include "lib/messages.h"
#include "lib/facilities/options.h"

namespace {

struct Targets {
    int32_t number = 0, required = 0, switched = 0, date = 0;
    uint32_t mask = 0;
    const char* str = nullptr;
    const wchar_t* wide = nullptr;
    LString text;
    LPtrArray* strList = nullptr;
    LIntArray* numList = nullptr;
    LPtrArray* pairs = nullptr;
    LPtrArray* ranges = nullptr;
    LPtrArray* dateRanges = nullptr;

    ~Targets()
    {
        delete strList;
        delete numList;
        deletePairList(pairs);
        deleteRangeList(ranges);
        deleteRangeList(dateRanges);
    }
};

const char* const kNames[] = {"n", "req", "m", "s", "str", "w", "text", "sl", "nl", "pl", "rl", "d", "dr"};

void addAll(LOptionSet& set, Targets& t)
{
    set.addNum("n", &t.number, -100, 100, 7);
    set.addNum("req", &t.required, 0, -1, LNumOption::kValueRequired);
    set.addMask("m", &t.mask, 1, 2);
    set.addSwitch("s", &t.switched, 5);
    set.addStr("str", &t.str, "def");
    set.addWStr("w", &t.wide, L"dw");
    set.addString("text", &t.text, "d");
    set.addStrList("sl", &t.strList);
    set.addNumList("nl", &t.numList);
    set.addPairList("pl", &t.pairs);
    set.addRangeList("rl", &t.ranges);
    set.addDate("d", &t.date);
    set.addDateRangeList("dr", &t.dateRanges);
}

bool sameName(const char* text, const char* name)
{
    for (; *name; ++text, ++name) {
        const char a = *text, b = *name;
        const bool letters = ((a | 0x20) >= 'a' && (a | 0x20) <= 'z') && (b | 0x20) == (a | 0x20);
        if (a != b && !letters)
            return false;
    }
    return *text == '\0' || *text == ':';
}

// Whether some option's name follows the argument's "-" or "/".
bool namesAnOption(const char* argument)
{
    if (argument[0] != '-' && argument[0] != '/')
        return false;
    for (const char* name : kNames)
        if (sameName(argument + 1, name))
            return true;
    return false;
}

bool pointsInto(const char* pointer, const std::string& argument)
{
    return pointer >= argument.c_str() && pointer <= argument.c_str() + argument.size();
}

int32_t countOf(const LPtrArray* list) { return list ? list->count() : 0; }

} // namespace

FUZZ_SILENT_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> arguments;
    std::string all(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0; start <= all.size();) {
        const size_t end = std::min(all.find('\n', start), all.size());
        arguments.push_back(textOf(reinterpret_cast<const uint8_t*>(all.data()) + start, end - start));
        start = end + 1;
    }
    Targets t;
    LOptionSet set;
    addAll(set, t);
    for (const std::string& argument : arguments) {
        const int32_t numbersBefore = t.numList ? t.numList->count() : 0;
        const int32_t rangesBefore = countOf(t.ranges);
        const int32_t stringsBefore = countOf(t.strList);
        const int errorsBefore = messenger().errorCount();
        const char* const strBefore = t.str;
        const int result = set.parse(argument.c_str());
        FUZZ_CHECK(result == (namesAnOption(argument.c_str()) ? 1 : 0));
        FUZZ_CHECK(t.str == strBefore || !strcmp(t.str, "def") || pointsInto(t.str, argument));
        // A list item is at most 100 numbers, and items are separated by commas.
        const int32_t numbersAdded = (t.numList ? t.numList->count() : 0) - numbersBefore;
        FUZZ_CHECK(numbersAdded <= 100 * (int32_t(argument.size()) + 1));
        for (int32_t i = rangesBefore; i < countOf(t.ranges); ++i) {
            const auto* range = static_cast<const LRange*>((*t.ranges)[i]);
            FUZZ_CHECK(range->lo <= range->hi || messenger().errorCount() > errorsBefore);
        }
        for (int32_t i = stringsBefore; i < countOf(t.strList); ++i)
            FUZZ_CHECK(pointsInto(static_cast<const char*>((*t.strList)[i]), argument));
        FUZZ_CHECK(t.date >= -1);
        FUZZ_CHECK(t.mask <= 3);
    }
    return 0;
}
