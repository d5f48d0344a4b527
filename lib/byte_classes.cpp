#include "lib/byte_classes.h"

#include <windows.h>

namespace {

LeadByteSet systemLeadBytes(UINT codePage)
{
    LeadByteSet set;
    CPINFO info;
    if (!GetCPInfo(codePage, &info) || info.MaxCharSize != 2)
        return set;
    for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2)
        for (int byte = info.LeadByte[i]; byte <= info.LeadByte[i + 1]; ++byte)
            set.lead[byte] = set.any = true;
    return set;
}

struct ClassTable {
    uint16_t flags[256];
    LeadByteSet leadBytes;
};

ClassTable buildClassTable(UINT codePage)
{
    ClassTable table{};
    for (int byte = 0; byte < 256; ++byte) {
        uint16_t flags = 0;
        if (byte >= 'A' && byte <= 'Z')
            flags |= kClassUpper;
        if (byte >= 'a' && byte <= 'z')
            flags |= kClassLower;
        if (byte >= '0' && byte <= '9')
            flags |= kClassDigit;
        if ((byte >= 0x21 && byte <= 0x2F) || (byte >= 0x3A && byte <= 0x40) ||
            (byte >= 0x5B && byte <= 0x60) || (byte >= 0x7B && byte <= 0x7E))
            flags |= kClassPunctuation;
        if (byte == '_')
            flags |= kClassUnderscore;
        if ((byte >= 0x09 && byte <= 0x0D) || byte == 0x20)
            flags |= kClassSpace;
        if (codePage == kCodePageShiftJis && byte >= 0xA1 && byte <= 0xDF)
            flags |= kClassKatakana;
        table.flags[byte] = flags;
    }
    // Lead bytes are the system's for the ANSI code page: none for single-byte
    // code pages, where a byte like 0xE9 is a whole character.
    table.leadBytes = systemLeadBytes(codePage);
    for (int byte = 0; byte < 256; ++byte)
        if (table.leadBytes.lead[byte])
            table.flags[byte] |= kClassLeadByte;
    return table;
}

const ClassTable& classTable()
{
    static const ClassTable table = buildClassTable(GetACP());
    return table;
}

} // namespace

unsigned resolveCodePage(unsigned codePage) { return codePage == CP_ACP ? GetACP() : codePage; }

LeadByteSet leadBytesOf(unsigned codePage)
{
    return codePage == GetACP() ? classTable().leadBytes : systemLeadBytes(codePage);
}

bool startsDoubleByte(const LeadByteSet& leadBytes, const unsigned char* bytes, int32_t from, int32_t position)
{
    if (!leadBytes.lead[bytes[position]])
        return false;
    int32_t start = position;
    while (start > from && leadBytes.lead[bytes[start - 1]])
        --start;
    return (position - start) % 2 == 0;
}

uint16_t charClass(unsigned char byte) { return classTable().flags[byte]; }

bool isLeadByte(unsigned char byte) { return (charClass(byte) & kClassLeadByte) != 0; }

bool isLeadByteAt(const char* text, int32_t position)
{
    return startsDoubleByte(classTable().leadBytes, reinterpret_cast<const unsigned char*>(text), 0, position);
}

int hexDigitValue(unsigned char byte)
{
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    if ((byte | 0x20) >= 'a' && (byte | 0x20) <= 'f')
        return (byte | 0x20) - 'a' + 10;
    return -1;
}
