#pragma once
// The text form of a board's serial number: year and number, "%02d-%05d".
#include <QString>
#include <cstdint>

// 17, 23 -> "17-00023"; wider values are shown in full (255, 65535 -> "255-65535").
QString FormatSerialNumber(uint8_t year, uint16_t number);
