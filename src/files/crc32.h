// The CRC-32 of zlib and PNG (polynomial 0xEDB88320): chunk checksums of the LCD
// pictures, and the name by which a ROM image's breakpoints are kept.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// crc continues an earlier sum over the bytes before data (0 to start afresh).
uint32_t crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0);

}  // namespace vantrel
