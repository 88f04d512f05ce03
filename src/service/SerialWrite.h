#pragma once
// Writing one serial number into the board in the stand (ButtonWriteSN) and
// collecting the stand's report of it (CheckSerialWrite, on poll ticks).
#include "platform/Clock.h"
#include "platform/Colors.h"

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>

class StandLink;

// ShapeSN lamp colours.
namespace SerialLamp {
inline const QColor& Gray = Colors::Gray;  // at start
inline const QColor& Silver = Colors::Silver;
inline const QColor& Yellow = Colors::Yellow;
inline const QColor& Lime = Colors::Lime;
inline const QColor& Red = Colors::Red;
inline const QColor& Orange = Colors::Orange;
}  // namespace SerialLamp

constexpr uint32_t SerialWriteTimeoutMs = 2000;

// The number as the stand receives it: low byte of the value, and the value
// divided by 256 toward zero, to 8 bits (so -5 goes as FB 00).
uint16_t SerialWireNumber(int32_t number);

class SerialWriter {
public:
    explicit SerialWriter(TickSource clock = MonotonicTickCount) : clock_(std::move(clock)) {}

    uint8_t SerialWriteState = 0;   // 0 nothing awaited, 1 awaited, else the stand's last report
    uint32_t SerialWriteStart = 0;  // tick count when the stand accepted the write

    struct Start {
        QColor lamp;  // silver, or yellow once the stand accepted the write
        // The values as read, for EditYear and EditNum; absent when the port is
        // closed (the fields stay as typed).
        std::optional<QString> yearText;
        std::optional<QString> numberText;
    };
    // ButtonWriteSNClick with the texts of EditYear and EditNum.
    Start ButtonWriteSN(StandLink& link, const QString& yearText, const QString& numberText);

    // True when the poll is to call CheckSerialWrite on this tick (before its status query).
    bool Awaited() const { return SerialWriteState == 1; }
    // The new lamp colour, or nothing to keep the lamp as it is.
    std::optional<QColor> CheckSerialWrite(StandLink& link);

private:
    TickSource clock_;
};
