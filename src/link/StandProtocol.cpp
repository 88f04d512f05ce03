#include "link/StandProtocol.h"

#include "link/COM.h"

#include <cstring>

uint8_t Checksum8(const uint8_t* bytes, uint8_t count)
{
    uint8_t sum = 0;
    for (uint8_t i = 0; i < count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

std::string StandIdentityText(const StandInfo& info)
{
    return "Стенд №" + std::to_string(info.StandNumber) + " ПО v" + std::to_string(info.FirmwareVersion);
}

namespace {

// Sets the last byte so that the whole frame sums to 0.
void Seal(uint8_t* frame, uint8_t length)
{
    frame[length - 1] = static_cast<uint8_t>(0u - Checksum8(frame, static_cast<uint8_t>(length - 1)));
}

}  // namespace

bool StandLink::Exchange(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t replyLen)
{
    if (!com_.IsOpen())
        return false;
    com_.PurgeBuffers();
    // A frame that did not go out shows up as a missing reply.
    com_.Write(frame, frameLen);
    if (!com_.Read(reply, replyLen))
        return false;
    return Checksum8(reply, static_cast<uint8_t>(replyLen)) == 0;
}

bool StandLink::QueryStatus(StandStatus& status)
{
    static const uint8_t frame[2] = {'S', 0xAD};
    return Exchange(frame, sizeof frame, reinterpret_cast<uint8_t*>(&status), sizeof status);
}

bool StandLink::QueryStandInfo(StandInfo& info)
{
    static const uint8_t frame[2] = {'N', 0xB2};
    uint8_t reply[3];
    if (!Exchange(frame, sizeof frame, reply, sizeof reply))
        return false;
    info.StandNumber = reply[0];
    info.FirmwareVersion = reply[1];
    return true;
}

bool StandLink::RestartStand()
{
    static const uint8_t frame[2] = {'R', 0xAE};
    uint8_t reply[2];
    return Exchange(frame, sizeof frame, reply, sizeof reply);
}

bool StandLink::ReadEpromBlock(uint8_t address, uint8_t* dest32)
{
    uint8_t frame[3] = {'e', address, 0};
    Seal(frame, sizeof frame);
    uint8_t reply[33];
    if (!Exchange(frame, sizeof frame, reply, sizeof reply))
        return false;
    std::memcpy(dest32, reply, 32);
    return true;
}

bool StandLink::WriteEpromByte(uint8_t address, uint8_t value)
{
    uint8_t frame[4] = {'E', address, value, 0};
    Seal(frame, sizeof frame);
    uint8_t reply[2];
    return Exchange(frame, sizeof frame, reply, sizeof reply) && reply[0] == value;
}

bool StandLink::ReadFlashBlock(uint16_t address, uint8_t* dest32)
{
    uint8_t frame[4] = {'f', static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8), 0};
    Seal(frame, sizeof frame);
    uint8_t reply[33];
    if (!Exchange(frame, sizeof frame, reply, sizeof reply))
        return false;
    std::memcpy(dest32, reply, 32);
    return true;
}

bool StandLink::WriteFlashBlock(uint16_t address, const uint8_t* data32)
{
    uint8_t frame[36] = {'F', static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8)};
    std::memcpy(frame + 3, data32, 32);
    Seal(frame, sizeof frame);
    uint8_t reply[33];
    return Exchange(frame, sizeof frame, reply, sizeof reply) && std::memcmp(reply, data32, 32) == 0;
}

bool StandLink::WriteSerialNumber(uint16_t number, uint8_t year)
{
    uint8_t frame[5] = {'A', static_cast<uint8_t>(number & 0xFF), static_cast<uint8_t>(number >> 8), year, 0};
    Seal(frame, sizeof frame);
    uint8_t reply[2];
    return Exchange(frame, sizeof frame, reply, sizeof reply) && reply[0] == 'A';
}

bool StandLink::QuerySerialWriteResult(uint8_t& code)
{
    static const uint8_t frame[2] = {'a', 0x9F};
    uint8_t reply[3];
    if (!Exchange(frame, sizeof frame, reply, sizeof reply) || reply[0] != 'a')
        return false;
    code = reply[1];
    return true;
}

BoardInfoResult StandLink::QueryBoardInfo(uint8_t reply[10])
{
    static const uint8_t frame[2] = {'D', 0xBC};
    if (!com_.IsOpen())
        return BoardInfoResult::NoAnswer;
    com_.PurgeBuffers();
    com_.Write(frame, sizeof frame);
    // The readiness byte alone: 0 ends the exchange, without a check byte.
    if (!com_.Read(reply, 1))
        return BoardInfoResult::NoAnswer;
    if (reply[0] == 0)
        return BoardInfoResult::NotReady;
    if (!com_.Read(reply + 1, 9))
        return BoardInfoResult::NoAnswer;
    return Checksum8(reply, 10) == 0 ? BoardInfoResult::Ok : BoardInfoResult::NoAnswer;
}
