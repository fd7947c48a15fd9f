#include "ground/growable_array.h"

#include <cstdint>

bool GrowArray(void** items, size_t* capacity, size_t count, size_t itemSize)
{
    if (count < *capacity)
        return true;
    size_t wanted = *capacity ? *capacity : 64;
    while (wanted <= count) {
        if (wanted > SIZE_MAX / 2)
            return false;
        wanted *= 2;
    }
    if (wanted > SIZE_MAX / itemSize)
        return false;
    void* grown = std::realloc(*items, wanted * itemSize);
    if (!grown)
        return false;
    *items = grown;
    *capacity = wanted;
    return true;
}
