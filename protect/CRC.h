#pragma once
// CRC-32 as in zlib and IEEE 802.3: reflected, polynomial EDB88320, over a 256-entry table.

#include <cstddef>
#include <cstdint>

namespace orvendal {

// Continues a table CRC from crc over n bytes without the initial and final inversion; the
// mode-0 container header uses it from a start of 0.
uint32_t CRC32Update(uint32_t crc, const uint8_t* data, size_t n);
// The standard CRC-32 (start FFFFFFFF, final inversion); no bytes give 0.
uint32_t CRC32(const uint8_t* data, size_t n);

} // namespace orvendal
