#include "ground/temporary_name.h"

namespace {

const char kPrefix[] = "ORV";
const char kSuffix[] = ".TMP";
constexpr size_t kDigits = 16;

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameIgnoringCase(const char* text, const char* expected)
{
    for (; *expected != '\0'; ++text, ++expected) {
        if (Upper(*text) != *expected)
            return false;
    }
    return true;
}

}  // namespace

void FormatTemporaryName(char* name, uint64_t unique)
{
    static const char kHex[] = "0123456789ABCDEF";
    size_t at = 0;
    for (const char* p = kPrefix; *p != '\0'; ++p)
        name[at++] = *p;
    for (size_t i = 0; i < kDigits; ++i)
        name[at++] = kHex[(unique >> (4 * (kDigits - 1 - i))) & 0xF];
    for (const char* p = kSuffix; *p != '\0'; ++p)
        name[at++] = *p;
    name[at] = '\0';
}

bool IsTemporaryName(const char* name)
{
    if (!SameIgnoringCase(name, kPrefix))
        return false;
    const char* digits = name + sizeof kPrefix - 1;
    for (size_t i = 0; i < kDigits; ++i) {
        const char c = Upper(digits[i]);
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    const char* suffix = digits + kDigits;
    return SameIgnoringCase(suffix, kSuffix) && suffix[sizeof kSuffix - 1] == '\0';
}
