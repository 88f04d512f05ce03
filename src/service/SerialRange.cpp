#include "service/SerialRange.h"

#include "store/Decimal.h"

namespace {

int32_t Value(const QString& text) { return LeadingInt(text.toStdString()); }

void AddNumber(std::vector<EpromWrite>& writes, uint8_t address, uint8_t typedYear, uint16_t typedNumber,
               uint8_t readYear, uint16_t readNumber)
{
    if (typedYear == readYear && typedNumber == readNumber)
        return;
    writes.emplace_back(address, static_cast<uint8_t>(typedNumber & 0xFF));
    writes.emplace_back(static_cast<uint8_t>(address + 1), static_cast<uint8_t>(typedNumber >> 8));
    writes.emplace_back(static_cast<uint8_t>(address + 2), typedYear);
}

}  // namespace

SerialRange ParseSerialRange(const uint8_t block[32])
{
    SerialRange range;
    range.count = block[0] | (block[1] << 8) | (static_cast<uint32_t>(block[2]) << 16);
    range.startNumber = static_cast<uint16_t>(block[4] | (block[5] << 8));
    range.startYear = block[6];
    range.lastNumber = static_cast<uint16_t>(block[8] | (block[9] << 8));
    range.lastYear = block[10];
    return range;
}

SerialRangeTexts SerialRangeToTexts(const SerialRange& range)
{
    return {QString::number(range.startYear), QString::number(range.startNumber), QString::number(range.lastYear),
            QString::number(range.lastNumber), QString::number(range.count)};
}

std::vector<EpromWrite> SerialRangeWrites(const SerialRange& read, const SerialRangeTexts& edited)
{
    std::vector<EpromWrite> writes;
    AddNumber(writes, 0x96, static_cast<uint8_t>(Value(edited.curYear)), static_cast<uint16_t>(Value(edited.curNum)),
              read.startYear, read.startNumber);
    AddNumber(writes, 0x9A, static_cast<uint8_t>(Value(edited.lastYear)), static_cast<uint16_t>(Value(edited.lastNum)),
              read.lastYear, read.lastNumber);
    const uint32_t count = static_cast<uint32_t>(Value(edited.count));
    if (count != read.count) {
        writes.emplace_back(0x92, static_cast<uint8_t>(count));
        writes.emplace_back(0x93, static_cast<uint8_t>(count >> 8));
        writes.emplace_back(0x94, static_cast<uint8_t>(count >> 16));
    }
    return writes;
}
