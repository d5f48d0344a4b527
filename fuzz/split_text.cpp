// splitText in every mode: the fields put back together give the text again
// (doubling literal separators, collapsing runs), and trimming only trims.
#include <cstring>

#include "fuzz/harness.h"
#include "lib/facilities/numbers.h"

namespace {

std::string joined(const LFieldList& fields, char separator, bool doubled)
{
    std::string text;
    for (int32_t i = 0; i < fields.count(); ++i) {
        if (i > 0)
            text += separator;
        for (const char* c = fields.field(i); *c; ++c) {
            text += *c;
            if (doubled && *c == separator)
                text += separator;
        }
    }
    return text;
}

std::string collapsedRuns(const std::string& text, char separator)
{
    std::string out;
    for (char c : text)
        if (c != separator || out.empty() || out.back() != separator)
            out += c;
    return out;
}

std::string trimmed(const char* field)
{
    std::string text(field);
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

FUZZ_SILENT_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const char separator = char(data[0]);
    const int mode = data[1] & 7; // 3 and above: not a mode, behaves as kSplitEach
    const std::string text = textOf(data + 2, size - 2);

    LFieldList fields;
    const int32_t cuts = splitText(text.c_str(), fields, separator, mode, false);
    FUZZ_CHECK(cuts >= 0);
    FUZZ_CHECK(fields.count() == cuts || fields.count() == cuts + 1);
    // An empty last field is left out: the text then ended in a separator.
    const bool droppedLast = cuts > 0 && fields.count() == cuts;
    const std::string rebuilt = joined(fields, separator, mode == kSplitDoubling) + (droppedLast ? std::string(1, separator) : "");
    if (separator == '\0')
        FUZZ_CHECK(cuts == 0);
    else
        FUZZ_CHECK(rebuilt == (mode == kSplitRuns ? collapsedRuns(text, separator) : text));

    LFieldList trimmedFields;
    FUZZ_CHECK(splitText(text.c_str(), trimmedFields, separator, mode, true) == cuts);
    FUZZ_CHECK(trimmedFields.count() == fields.count());
    for (int32_t i = 0; i < fields.count(); ++i)
        FUZZ_CHECK(trimmed(fields.field(i)) == trimmedFields.field(i));
    return 0;
}
