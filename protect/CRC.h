#pragma once
// CRC-32 as zlib and IEEE 802.3 compute it: reflected, polynomial EDB88320, table-driven.

#include <cstddef>
#include <cstdint>

namespace orvendal {

// Runs the CRC register over n bytes without initial value or final inversion.
uint32_t CRC32Update(uint32_t crc, const uint8_t* data, size_t n);
// The common CRC-32: initial value FFFFFFFF and final inversion (CRC32 of no bytes is 0).
uint32_t CRC32(const uint8_t* data, size_t n);

} // namespace orvendal
