#pragma once
// The stand's command protocol: fixed-length frames whose bytes sum to 0.
#include <cstdint>
#include <string>

class COM;

uint8_t Checksum8(const uint8_t* bytes, uint8_t count);

#pragma pack(push, 1)
struct StandStatus {
    uint8_t State = 0;
    uint16_t CurrentMicroamps = 0;
    uint16_t CurrentMilliamps = 0;
    uint8_t Stage = 0;
    uint8_t Checks1 = 0;
    uint8_t Checks2 = 0;
    uint16_t Number = 0;
    uint8_t Year = 0;
    uint8_t Events = 0;
    uint8_t Check = 0;
};
#pragma pack(pop)
static_assert(sizeof(StandStatus) == 13, "StandStatus is the 13-byte reply as it is on the line");
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "16-bit fields are read straight from the line, low byte first");

struct StandInfo {
    uint8_t StandNumber = 0;
    uint8_t FirmwareVersion = 0;
};

// "Стенд №<n> ПО v<v>" (UTF-8), the identity text of status panel 2.
std::string StandIdentityText(const StandInfo& info);

enum class BoardInfoResult { NoAnswer, NotReady, Ok };

// The ten exchanges. Each one: closed port -> false at once; purge; write
// the frame; read the fixed reply; check the sum and the operation's own test.
class StandLink {
public:
    explicit StandLink(COM& com) : com_(com) {}

    bool QueryStatus(StandStatus& status);           // reads straight into the record
    bool QueryStandInfo(StandInfo& info);            // info changes only on success
    bool RestartStand();
    bool ReadEpromBlock(uint8_t address, uint8_t* dest32);
    bool WriteEpromByte(uint8_t address, uint8_t value);
    bool ReadFlashBlock(uint16_t address, uint8_t* dest32);
    bool WriteFlashBlock(uint16_t address, const uint8_t* data32);
    bool WriteSerialNumber(uint16_t number, uint8_t year);
    bool QuerySerialWriteResult(uint8_t& code);
    BoardInfoResult QueryBoardInfo(uint8_t reply[10]);

    COM& Channel() { return com_; }

private:
    bool Exchange(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t replyLen);
    COM& com_;
};
