// The library's language setting.
#include "lib/charset.h"

#include <atomic>
#include <clocale>

#include "lib/lock.h"
#include "lib/messages.h"

namespace {
std::atomic<char> language{'E'};
constinit LLock languageLock;
} // namespace

void setLanguage(char newLanguage)
{
    LLockGuard guard(languageLock);
    if (newLanguage == language.load())
        return;
    const char* localeName = newLanguage == 'J' ? "jpn" : "eng";
    if (!setlocale(LC_ALL, localeName))
        message(kMsgGeneralWarning, "failed to set locale to %s", localeName);
    language.store(newLanguage);
}

char currentLanguage() { return language.load(); }
