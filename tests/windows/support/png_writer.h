// Screenshots as PNG files a browser shows at once: 8-bit RGB, the image
// data in stored (uncompressed) deflate blocks, so no compression library
// is needed. Portable: no <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The PNG file of a width x height image given as rows of R, G, B bytes,
// top row first; empty when rgb does not hold width * height pixels.
std::string EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);

// The checksums of a PNG file: CRC-32 of each chunk, Adler-32 of the zlib
// stream; each continues from the value given.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t size, uint32_t adler = 1);
