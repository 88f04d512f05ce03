#pragma once
// The stand's serial-number range as the serial number window reads and writes it.
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

constexpr uint8_t SerialRangeEpromAddress = 0x92;  // one 32-byte block from here holds it all

struct SerialRange {
    uint32_t count = 0;  // 24-bit, EPROM 92h..94h
    uint16_t startNumber = 0;  // 96h, 97h
    uint8_t startYear = 0;     // 98h
    uint16_t lastNumber = 0;   // 9Ah, 9Bh
    uint8_t lastYear = 0;      // 9Ch
};

// Block byte 0 is EPROM 92h.
SerialRange ParseSerialRange(const uint8_t block32[32]);

// The texts of EditCurYear, EditCurNum, EditLastYear, EditLastNum and LabelQ.
struct SerialRangeTexts {
    QString curYear, curNum, lastYear, lastNum, count;
};

SerialRangeTexts SerialRangeToTexts(const SerialRange& range);

using EpromWrite = std::pair<uint8_t, uint8_t>;  // address, value

// What "OK" writes, in order: the start number (96h, 97h, 98h) when its year or
// number differs from what was read, then the last one (9Ah..9Ch), then the count
// (92h..94h). Years are the typed values' low 8 bits, numbers their low 16 bits.
std::vector<EpromWrite> SerialRangeWrites(const SerialRange& read, const SerialRangeTexts& edited);
