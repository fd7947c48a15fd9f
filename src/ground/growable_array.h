// Arrays on the heap that grow as items are added, for lists as long as
// their input (a log's lines, a sheet's pages, an archive's members): the
// shipped programs carry no C++ containers, which would bring the exception
// runtime along. Portable; memory from the C runtime's heap.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <type_traits>

// Makes room in *items (*capacity items of itemSize bytes, count of them
// used) for one item more, doubling from 64; false when memory runs out,
// the array unchanged then.
bool GrowArray(void** items, size_t* capacity, size_t count, size_t itemSize);

// Items of a plain type, added at the end; a failed addition leaves the
// array as it was.
template <typename T>
class GrowableArray {
    static_assert(std::is_trivially_copyable<T>::value, "items are moved as bytes");

public:
    GrowableArray() = default;
    GrowableArray(const GrowableArray&) = delete;
    GrowableArray& operator=(const GrowableArray&) = delete;
    ~GrowableArray() { std::free(items_); }

    // False when memory runs out.
    bool Add(const T& item)
    {
        if (!GrowArray(reinterpret_cast<void**>(&items_), &capacity_, count_, sizeof(T)))
            return false;
        items_[count_++] = item;
        return true;
    }
    // Empties the array, keeping its memory for the next items.
    void Clear() { count_ = 0; }
    size_t Count() const { return count_; }
    T* Items() { return items_; }
    const T* Items() const { return items_; }
    T& operator[](size_t index) { return items_[index]; }
    const T& operator[](size_t index) const { return items_[index]; }

private:
    T* items_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};
