// The PNG writer: the published check values of its checksums, and a file
// read back chunk by chunk and block by block.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "png_writer.h"

namespace {

uint32_t BigEndian(const std::string& s, size_t at)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24 | static_cast<uint8_t>(s[at + 1]) << 16 |
           static_cast<uint8_t>(s[at + 2]) << 8 | static_cast<uint8_t>(s[at + 3]);
}

const uint8_t* Bytes(const std::string& s, size_t at = 0)
{
    return reinterpret_cast<const uint8_t*>(s.data() + at);
}

}  // namespace

TEST(PngWriter, ChecksumsGiveThePublishedCheckValues)
{
    EXPECT_EQ(Crc32(Bytes("123456789"), 9), 0xCBF43926u);
    EXPECT_EQ(Adler32(Bytes("Wikipedia"), 9), 0x11E60398u);
    // Continued in two parts, as the chunk and stream code does.
    EXPECT_EQ(Crc32(Bytes("6789"), 4, Crc32(Bytes("12345"), 5)), 0xCBF43926u);
}

// 150 x 150 RGB: 67,650 bytes of rows, more than one stored block holds.
TEST(PngWriter, ImageReadsBackThroughChunksAndStoredBlocks)
{
    const uint32_t width = 150, height = 150;
    std::vector<uint8_t> rgb(width * height * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(i * 7 + i / 451);
    const std::string png = EncodePng(width, height, rgb);
    EXPECT_TRUE(EncodePng(width, height + 1, rgb).empty());
    ASSERT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);

    std::vector<std::string> types;
    std::string header, zlib;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = BigEndian(png, at);
        ASSERT_LE(at + 12 + length, png.size());
        EXPECT_EQ(BigEndian(png, at + 8 + length), Crc32(Bytes(png, at + 4), 4 + length));
        types.push_back(png.substr(at + 4, 4));
        if (types.back() == "IHDR")
            header = png.substr(at + 8, length);
        else if (types.back() == "IDAT")
            zlib += png.substr(at + 8, length);
        at += 12 + length;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    ASSERT_EQ(header.size(), 13u);
    EXPECT_EQ(BigEndian(header, 0), width);
    EXPECT_EQ(BigEndian(header, 4), height);
    EXPECT_EQ(header.substr(8), std::string("\x08\x02\x00\x00\x00", 5));

    // zlib header, stored blocks (the last one flagged), Adler-32 of the data.
    ASSERT_GE(zlib.size(), 6u);
    EXPECT_EQ((static_cast<uint8_t>(zlib[0]) * 256 + static_cast<uint8_t>(zlib[1])) % 31, 0);
    std::string data;
    size_t at = 2, blocks = 0;
    for (bool last = false; !last; ++blocks) {
        ASSERT_LE(at + 5, zlib.size());
        last = zlib[at] == 1;
        EXPECT_TRUE(zlib[at] == 0 || last);
        const unsigned length = static_cast<uint8_t>(zlib[at + 1]) | static_cast<uint8_t>(zlib[at + 2]) << 8;
        const unsigned inverse = static_cast<uint8_t>(zlib[at + 3]) | static_cast<uint8_t>(zlib[at + 4]) << 8;
        EXPECT_EQ(length ^ inverse, 0xFFFFu);
        ASSERT_LE(at + 5 + length, zlib.size());
        data += zlib.substr(at + 5, length);
        at += 5 + length;
    }
    EXPECT_EQ(blocks, 2u);
    ASSERT_EQ(at + 4, zlib.size());
    EXPECT_EQ(BigEndian(zlib, at), Adler32(Bytes(data), data.size()));

    // Each row: filter type 0, then its pixels unchanged.
    ASSERT_EQ(data.size(), (width * 3 + 1) * height);
    for (uint32_t y = 0; y < height; ++y) {
        EXPECT_EQ(data[y * (width * 3 + 1)], '\0') << y;
        EXPECT_EQ(std::memcmp(&data[y * (width * 3 + 1) + 1], &rgb[y * width * 3], width * 3), 0) << y;
    }
}
