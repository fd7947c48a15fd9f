#include "ground/device_name.h"

namespace {

// CON to NUL and the numbered ports on every system; CONIN$ and CONOUT$ are
// the consoles on the NT family, CLOCK$ the clock driver on the 9x family.
const char* const kDeviceNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};

char AsciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Byte by byte: every device name is ASCII, and no lead or trail byte of a
// double-byte character can stand in for one of its letters.
bool BaseIs(const char* base, size_t length, const char* device)
{
    size_t i = 0;
    for (; i < length && device[i] != '\0'; ++i) {
        if (AsciiUpper(base[i]) != device[i])
            return false;
    }
    return i == length && device[i] == '\0';
}

}  // namespace

bool IsDeviceName(const char* name, size_t length)
{
    // The system drops the extension and the blanks before it: "con .txt"
    // is the console.
    size_t base = 0;
    while (base < length && name[base] != '.')
        ++base;
    while (base > 0 && name[base - 1] == ' ')
        --base;
    for (const char* device : kDeviceNames) {
        if (BaseIs(name, base, device))
            return true;
    }
    return base == 4 && (BaseIs(name, 3, "COM") || BaseIs(name, 3, "LPT")) && name[3] >= '1' && name[3] <= '9';
}
