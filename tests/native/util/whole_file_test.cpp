// Whole files read at once, and the arrays that grow on the heap: on the
// host through the C library, under Wine through the system.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "ground/growable_array.h"
#include "ground/whole_file.h"

// The bytes exactly, a terminator after them, and nothing at all for a file
// over the limit or missing.
TEST(ReadWholeFile, ReadsUpToTheLimit)
{
    const struct {
        const char* name;
        std::string bytes;
        size_t limit;
        uint32_t error;
    } cases[] = {
        {"empty", "", 16, 0},
        {"log", "[Files]\r\nC:\\表\\ORVIK.exe\r\n", 64, 0},
        {"at_limit", std::string("a\0b", 3), 3, 0},
        {"over_limit", "12345", 4, kWholeFileTooLarge},
        {"large", std::string(300000, 'x') + "end", 300003, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = std::string("whole_file_") + c.name + ".tmp";
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        ASSERT_EQ(std::fwrite(c.bytes.data(), 1, c.bytes.size(), out), c.bytes.size());
        ASSERT_EQ(std::fclose(out), 0);

        WholeFile file;
        EXPECT_EQ(ReadWholeFile(path.c_str(), c.limit, &file), c.error);
        if (c.error == 0) {
            ASSERT_NE(file.bytes, nullptr);
            EXPECT_EQ(std::string(file.bytes, file.size), c.bytes);
            EXPECT_EQ(file.bytes[file.size], '\0');
        } else {
            EXPECT_EQ(file.bytes, nullptr);
            EXPECT_EQ(file.size, 0u);
        }
        std::free(file.bytes);
        std::remove(path.c_str());
    }

    WholeFile missing;
    missing.size = 7;
#ifdef _WIN32
    EXPECT_EQ(ReadWholeFile("whole_file_missing.tmp", 16, &missing), 2u);  // the uninstaller relies on it
#else
    EXPECT_NE(ReadWholeFile("whole_file_missing.tmp", 16, &missing), 0u);
#endif
    EXPECT_EQ(missing.bytes, nullptr);
    EXPECT_EQ(missing.size, 0u);
}

// Every item kept across growth; emptied, the array takes new ones; a size
// that cannot be had leaves the array as it was.
TEST(GrowableArray, KeepsEveryItem)
{
    GrowableArray<uint32_t> items;
    for (uint32_t i = 0; i < 1000; ++i)
        ASSERT_TRUE(items.Add(i * 7));
    ASSERT_EQ(items.Count(), 1000u);
    for (uint32_t i = 0; i < 1000; ++i)
        EXPECT_EQ(items[i], i * 7) << i;
    items.Clear();
    EXPECT_EQ(items.Count(), 0u);
    ASSERT_TRUE(items.Add(5));
    EXPECT_EQ(items.Items()[0], 5u);

    for (size_t itemSize : {size_t{1}, size_t{16}}) {
        void* block = nullptr;
        size_t capacity = 0;
        EXPECT_FALSE(GrowArray(&block, &capacity, SIZE_MAX / 2 / itemSize + 1, itemSize)) << itemSize;
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(capacity, 0u);
    }
}
