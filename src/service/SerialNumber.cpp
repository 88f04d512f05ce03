#include "service/SerialNumber.h"

QString FormatSerialNumber(uint8_t year, uint16_t number)
{
    return QString::asprintf("%02u-%05u", static_cast<unsigned>(year), static_cast<unsigned>(number));
}
