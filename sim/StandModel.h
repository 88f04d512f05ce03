#pragma once
// The stand as the PC sees it: EPROM, FLASH, identity, serial range, the board in
// the stand and what happens to it. Time comes in from outside (milliseconds on
// every call), so tests drive it without waiting.
#include "Protocol.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <vector>

namespace standsim {

enum class Scenario { Idle, Production, Silent };

struct ModelConfig {
    Scenario scenario = Scenario::Idle;
    uint8_t stand = 1;
    uint8_t fwVersion = 2;
    int64_t cycleMs = 30000; // one board, from the start of programming to its test result
    uint64_t seed = 1;
};

// Stand EPROM addresses the model works with.
namespace eprom {
constexpr uint8_t kStandNumber = 0x10;
constexpr uint8_t kFuses = 0x80;
constexpr uint8_t kLength = 0x90;
constexpr uint8_t kCount = 0x92;      // 24-bit
constexpr uint8_t kStartSerial = 0x96; // number (16-bit), year
constexpr uint8_t kLastSerial = 0x9A;  // number (16-bit), year
constexpr uint8_t kBoardVersion = 0x9E;
} // namespace eprom

// Status codes, event bits and lamp bits of the status reply.
namespace status {
constexpr uint8_t kProgramming = 0;
constexpr uint8_t kSerialsUsedUp = 3;
constexpr uint8_t kProgrammed = 99;
constexpr uint8_t kTesting = 100;
constexpr uint8_t kIdle = 255;
constexpr uint8_t kEvProgrammed = 0x01;
constexpr uint8_t kEvFailed = 0x02;
constexpr uint8_t kEvFirstTime = 0x04;
constexpr uint8_t kEvPassed = 0x08;
constexpr uint8_t kAllChecks1 = 0xDF; // bit 5 lights no lamp
constexpr uint8_t kAllChecks2 = 0x3F; // bits 6, 7 light no lamp
constexpr int kStages = 20;
} // namespace status

// Serial write results of 'a'.
namespace writeresult {
constexpr uint8_t kNone = 0, kInProgress = 1, kWritten = 2, kFailed = 3;
constexpr int64_t kWriteMs = 300;
// Test hooks: these serial writes never succeed.
constexpr uint16_t kFailNumber = 0;        // 3 after the write time
constexpr uint16_t kStuckNumber = 65535;   // 1 for ever
constexpr uint8_t kNoStatusYear = 0xEE;    // 0 after the write time
} // namespace writeresult

struct StatusReply {
    uint8_t state = status::kIdle;
    uint16_t microamps = 0;
    uint16_t milliamps = 0;
    uint8_t stage = 0;
    uint8_t checks1 = 0;
    uint8_t checks2 = 0;
    Serial serial;
    uint8_t events = 0;

    Bytes Encode() const; // 13 bytes, check included
    static StatusReply Decode(const Bytes& b); // b holds at least 12 bytes
};

class StandModel {
public:
    StandModel(const ModelConfig& config, int64_t nowMs);

    // Answers one command frame (valid length and sum); nothing when the stand keeps silent.
    std::optional<Bytes> Answer(const Bytes& frame, int64_t nowMs);
    // Lets the stand's own work run up to nowMs (the production timeline, serial writes).
    void Advance(int64_t nowMs);

    // Memories. Setting them does not notify; the changes made by commands do.
    const std::vector<uint8_t>& Eprom() const { return eprom_; }
    const std::vector<uint8_t>& Flash() const { return flash_; }
    void SetEprom(const std::vector<uint8_t>& e); // 256 bytes; the reported stand number follows 10h
    void SetFlash(const std::vector<uint8_t>& f); // 65536 bytes
    std::function<void()> onEpromChanged;
    std::function<void()> onFlashChanged;

    const ModelConfig& Config() const { return cfg_; }
    uint8_t ReportedStand() const { return reportedStand_; }
    StatusReply Live() const;                       // what a status query shows when no event is pending
    size_t PendingEvents() const { return pending_.size(); }
    uint64_t BoardsStarted() const { return boards_; }

    // Serial range as held in the EPROM.
    uint32_t Count() const;
    Serial StartSerial() const;
    Serial LastSerial() const;
    // The next serial the range gives, or nothing when it is used up.
    std::optional<Serial> NextSerial() const;

    static constexpr size_t kMaxPending = 4096; // nobody polling: the oldest events go

private:
    enum class Phase { Programming, Failed, Programmed, Testing, UsedUp, Resting };

    struct Board {
        int64_t start = 0;
        uint8_t failCode = 0; // 0: programs fine
        bool repeat = false;  // programmed before: bit 2 stays clear
        uint16_t progMicroamps = 0;
        uint16_t passMicroamps = 0;
    };

    struct SerialWrite {
        bool active = false;
        Serial serial;
        int64_t at = 0;
        bool done = false;
    };

    uint8_t SerialWriteResult(int64_t nowMs) const;
    void FinishSerialWrite(int64_t nowMs);
    void StartBoard(int64_t at);
    void Push(const StatusReply& r);
    void SetCount(uint32_t count);
    uint8_t LampsUpTo(int stage, bool second) const;
    int StageAt(int64_t nowMs) const;
    Bytes BoardInfo() const;
    uint32_t Rand(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

    ModelConfig cfg_;
    std::vector<uint8_t> eprom_;
    std::vector<uint8_t> flash_;
    uint8_t reportedStand_ = 0;
    int64_t now_ = 0;
    std::mt19937_64 rng_;

    // The board in the stand.
    Serial boardSerial_;
    bool boardHasRecord_ = false;
    uint8_t boardWriter_ = 0;
    SerialWrite write_;

    // Production.
    Phase phase_ = Phase::Resting;
    Board board_;
    int64_t phaseEnd_ = 0;
    uint64_t boards_ = 0;
    std::deque<StatusReply> pending_;
};

} // namespace standsim
