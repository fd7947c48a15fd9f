// CRC-32 (the reflected polynomial 0xEDB88320 of zip and PNG): the sum the
// build stores beside each payload archive, so that the setup can tell the
// archive is as the build checked it without decoding it again.
#pragma once

#include <cstddef>
#include <cstdint>

// Returns crc updated with count bytes; a computation starts from 0.
uint32_t Crc32Update(uint32_t crc, const void* bytes, size_t count);
