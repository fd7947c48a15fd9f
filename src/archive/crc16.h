// CRC-16/ARC (reflected polynomial 0xA001, initial value 0, no final XOR):
// the header check of level-2 headers and the data check of every member.
#pragma once

#include <cstddef>

// Returns crc updated with count bytes. With bytes null it returns 0, which
// is how a computation is started: crc = Crc16Update(0, nullptr, 0).
unsigned int Crc16Update(unsigned int crc, const void* bytes, size_t count);
