#pragma once
// The stand's side of the line: command lengths and the zero-sum check byte.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace standsim {

using Bytes = std::vector<uint8_t>;

// 8-bit sum of a run of bytes; a frame is valid when its sum, check byte included, is 0.
uint8_t Checksum8(const uint8_t* data, size_t count);
inline uint8_t Checksum8(const Bytes& b) { return Checksum8(b.data(), b.size()); }

// Appends the byte that makes the sum of the whole frame 0.
void AppendCheck(Bytes& frame);

// Length of the command frame that starts with this byte, 0 for a byte that starts no command.
size_t CommandLength(uint8_t command);

// Serial number as the stand keeps it: 16-bit number, 8-bit year.
struct Serial {
    uint16_t number = 0;
    uint8_t year = 0;
    bool operator==(const Serial&) const = default;
};

} // namespace standsim
