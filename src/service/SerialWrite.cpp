#include "service/SerialWrite.h"

#include "link/COM.h"
#include "link/StandProtocol.h"
#include "store/Decimal.h"

uint16_t SerialWireNumber(int32_t number)
{
    const auto low = static_cast<uint8_t>(number & 0xFF);
    const auto high = static_cast<uint8_t>((number / 256) & 0xFF);
    return static_cast<uint16_t>(low | (high << 8));
}

SerialWriter::Start SerialWriter::ButtonWriteSN(StandLink& link, const QString& yearText, const QString& numberText)
{
    Start start{SerialLamp::Silver, std::nullopt, std::nullopt};
    if (!link.Channel().IsOpen())
        return start;
    const int32_t year = LeadingInt(yearText.toStdString());
    const int32_t number = LeadingInt(numberText.toStdString());
    start.yearText = QString::number(year);
    start.numberText = QString::number(number);
    if (!link.WriteSerialNumber(SerialWireNumber(number), static_cast<uint8_t>(year & 0xFF)))
        return start;
    SerialWriteState = 1;
    SerialWriteStart = clock_();
    start.lamp = SerialLamp::Yellow;
    return start;
}

std::optional<QColor> SerialWriter::CheckSerialWrite(StandLink& link)
{
    if (!link.Channel().IsOpen()) {
        SerialWriteState = 0;
        return std::nullopt;
    }
    if (static_cast<uint32_t>(clock_() - SerialWriteStart) > SerialWriteTimeoutMs) {
        SerialWriteState = 0;
        return SerialLamp::Orange;
    }
    uint8_t code = 0;
    if (!link.QuerySerialWriteResult(code))
        return std::nullopt;
    SerialWriteState = code;
    if (code == 2)
        return SerialLamp::Lime;
    if (code == 3)
        return SerialLamp::Red;
    return std::nullopt;
}
