// Private to the facilities: picks the wording of a two-language message. The
// Japanese texts are code page 932 bytes, whatever the ANSI code page is.
#pragma once

#include "lib/charset.h"

inline const char* localized(const char* english, const char* japanese)
{
    return currentLanguage() == 'J' ? japanese : english;
}
