#include "Protocol.h"

namespace standsim {

uint8_t Checksum8(const uint8_t* data, size_t count)
{
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + data[i]);
    return sum;
}

void AppendCheck(Bytes& frame)
{
    frame.push_back(static_cast<uint8_t>(0u - Checksum8(frame)));
}

size_t CommandLength(uint8_t command)
{
    switch (command) {
    case 'S': case 'N': case 'R': case 'a': case 'D':
        return 2;
    case 'e':
        return 3;
    case 'E': case 'f':
        return 4;
    case 'A':
        return 5;
    case 'F':
        return 36;
    default:
        return 0;
    }
}

} // namespace standsim
