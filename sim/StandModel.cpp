#include "StandModel.h"

#include <algorithm>

namespace standsim {

namespace {

constexpr size_t kBlock = 32;

// Lamps that come on when a test stage is passed: {Checks1, Checks2}.
struct Lit {
    uint8_t c1, c2;
};
constexpr Lit kLitAfterStage[status::kStages] = {
    {0x00, 0x00}, // 0 waiting for the meter
    {0x00, 0x01}, // 1 meter connected: +3.6 V regulator
    {0x01, 0x00}, // 2 temperature sensor
    {0x02, 0x00}, // 3 magnetic pulse sensor
    {0x04, 0x00}, // 4 reed switch
    {0x08, 0x00}, // 5 radio transceiver and signal level
    {0x90, 0x06}, // 6 self-test result: radio receive/send, button, tamper
    {0x00, 0x00}, // 7
    {0x00, 0x00}, // 8
    {0x00, 0x00}, // 9
    {0x00, 0x00}, // 10
    {0x00, 0x00}, // 11
    {0x00, 0x00}, // 12
    {0x00, 0x20}, // 13 valve
    {0x00, 0x00}, // 14
    {0x00, 0x08}, // 15 GSM modem
    {0x40, 0x00}, // 16 battery voltage
    {0x00, 0x10}, // 17 supercapacitor
    {0x00, 0x00}, // 18
    {0x00, 0x00}, // 19
};

constexpr uint8_t kFailCodes[] = {1, 2, 4, 5, 6};

uint16_t Le16(const std::vector<uint8_t>& m, size_t at) { return static_cast<uint16_t>(m[at] | (m[at + 1] << 8)); }

uint16_t MilliampsOf(uint16_t microamps) { return static_cast<uint16_t>(microamps / 1000); }

} // namespace

Bytes StatusReply::Encode() const
{
    Bytes b{state,
            static_cast<uint8_t>(microamps & 0xFF), static_cast<uint8_t>(microamps >> 8),
            static_cast<uint8_t>(milliamps & 0xFF), static_cast<uint8_t>(milliamps >> 8),
            stage, checks1, checks2,
            static_cast<uint8_t>(serial.number & 0xFF), static_cast<uint8_t>(serial.number >> 8), serial.year,
            events};
    AppendCheck(b);
    return b;
}

StatusReply StatusReply::Decode(const Bytes& b)
{
    StatusReply r;
    r.state = b[0];
    r.microamps = static_cast<uint16_t>(b[1] | (b[2] << 8));
    r.milliamps = static_cast<uint16_t>(b[3] | (b[4] << 8));
    r.stage = b[5];
    r.checks1 = b[6];
    r.checks2 = b[7];
    r.serial.number = static_cast<uint16_t>(b[8] | (b[9] << 8));
    r.serial.year = b[10];
    r.events = b[11];
    return r;
}

StandModel::StandModel(const ModelConfig& config, int64_t nowMs)
    : cfg_(config), eprom_(256, 0xFF), flash_(65536, 0xFF), now_(nowMs), rng_(config.seed)
{
    cfg_.cycleMs = std::max<int64_t>(cfg_.cycleMs, 10);
    eprom_[eprom::kStandNumber] = cfg_.stand;
    for (int i = 0; i < 16; ++i)
        eprom_[eprom::kFuses + i] = 0xFF;
    eprom_[eprom::kLength] = 0;
    eprom_[eprom::kLength + 1] = 0;
    eprom_[eprom::kCount] = eprom_[eprom::kCount + 1] = eprom_[eprom::kCount + 2] = 0;
    eprom_[eprom::kStartSerial] = 1;
    eprom_[eprom::kStartSerial + 1] = 0;
    eprom_[eprom::kStartSerial + 2] = 17;
    eprom_[eprom::kLastSerial] = 0xFF;
    eprom_[eprom::kLastSerial + 1] = 0xFF;
    eprom_[eprom::kLastSerial + 2] = 17;
    eprom_[eprom::kBoardVersion] = 1;
    SetEprom(eprom_);
    if (cfg_.scenario == Scenario::Production)
        StartBoard(nowMs);
}

void StandModel::SetEprom(const std::vector<uint8_t>& e)
{
    if (e.size() == eprom_.size())
        eprom_ = e;
    reportedStand_ = eprom_[eprom::kStandNumber];
    // The board in an idle stand is the one that got the last number handed out.
    if (cfg_.scenario == Scenario::Idle && !boardHasRecord_ && Count() > 0)
        boardSerial_ = Serial{static_cast<uint16_t>(StartSerial().number + Count() - 1), StartSerial().year};
}

void StandModel::SetFlash(const std::vector<uint8_t>& f)
{
    if (f.size() == flash_.size())
        flash_ = f;
}

uint32_t StandModel::Count() const
{
    return eprom_[eprom::kCount] | (eprom_[eprom::kCount + 1] << 8) | (uint32_t(eprom_[eprom::kCount + 2]) << 16);
}

Serial StandModel::StartSerial() const
{
    return {Le16(eprom_, eprom::kStartSerial), eprom_[eprom::kStartSerial + 2]};
}

Serial StandModel::LastSerial() const
{
    return {Le16(eprom_, eprom::kLastSerial), eprom_[eprom::kLastSerial + 2]};
}

std::optional<Serial> StandModel::NextSerial() const
{
    const uint32_t next = StartSerial().number + Count();
    if (next > LastSerial().number || next > 0xFFFF)
        return std::nullopt;
    return Serial{static_cast<uint16_t>(next), StartSerial().year};
}

void StandModel::SetCount(uint32_t count)
{
    eprom_[eprom::kCount] = static_cast<uint8_t>(count);
    eprom_[eprom::kCount + 1] = static_cast<uint8_t>(count >> 8);
    eprom_[eprom::kCount + 2] = static_cast<uint8_t>(count >> 16);
    if (onEpromChanged)
        onEpromChanged();
}

void StandModel::Push(const StatusReply& r)
{
    if (pending_.size() >= kMaxPending)
        pending_.pop_front();
    pending_.push_back(r);
}

void StandModel::StartBoard(int64_t at)
{
    board_ = Board{};
    board_.start = at;
    // Every board takes the same draws, so a seed always gives the same boards.
    const bool fails = Rand(6) == 0;
    const uint8_t code = kFailCodes[Rand(sizeof kFailCodes)];
    board_.failCode = fails ? code : 0;
    board_.repeat = Rand(5) == 0;
    board_.progMicroamps = static_cast<uint16_t>(3000 + Rand(3000));
    board_.passMicroamps = static_cast<uint16_t>(1900 + Rand(500));
    ++boards_;
    boardHasRecord_ = false;
    boardSerial_ = NextSerial().value_or(Serial{});
    phase_ = Phase::Programming;
}

int StandModel::StageAt(int64_t nowMs) const
{
    const int64_t testStart = board_.start + cfg_.cycleMs / 4;
    const int64_t testLen = std::max<int64_t>(cfg_.cycleMs - cfg_.cycleMs / 4, 1);
    const int64_t s = (nowMs - testStart) * status::kStages / testLen;
    return static_cast<int>(std::clamp<int64_t>(s, 0, status::kStages - 1));
}

uint8_t StandModel::LampsUpTo(int stage, bool second) const
{
    uint8_t bits = 0;
    for (int s = 0; s < stage && s < status::kStages; ++s)
        bits |= second ? kLitAfterStage[s].c2 : kLitAfterStage[s].c1;
    return bits;
}

void StandModel::Advance(int64_t nowMs)
{
    now_ = std::max(now_, nowMs);
    FinishSerialWrite(now_);
    if (cfg_.scenario != Scenario::Production)
        return;
    const int64_t c = cfg_.cycleMs;
    const int64_t rest = std::max<int64_t>(c / 10, 1);
    for (;;) {
        switch (phase_) {
        case Phase::Programming: {
            const int64_t t = board_.start + c / 5;
            if (now_ < t)
                return;
            StatusReply r;
            r.serial = boardSerial_;
            r.microamps = board_.progMicroamps;
            r.milliamps = MilliampsOf(r.microamps);
            if (board_.failCode != 0) {
                r.state = board_.failCode;
                r.events = status::kEvFailed;
                phase_ = Phase::Failed;
                phaseEnd_ = t + c / 10;
            } else {
                r.state = status::kProgrammed;
                r.events = board_.repeat ? status::kEvProgrammed : status::kEvProgrammed | status::kEvFirstTime;
                phase_ = Phase::Programmed;
                phaseEnd_ = board_.start + c / 4;
            }
            Push(r);
            break;
        }
        case Phase::Failed:
            if (now_ < phaseEnd_)
                return;
            phase_ = Phase::Resting;
            phaseEnd_ += rest;
            break;
        case Phase::Programmed:
            if (now_ < phaseEnd_)
                return;
            phase_ = Phase::Testing;
            phaseEnd_ = board_.start + c;
            break;
        case Phase::Testing: {
            if (now_ < phaseEnd_)
                return;
            const auto next = NextSerial();
            if (!next) {
                // The stand stops here until the range is widened or the count cleared.
                phase_ = Phase::UsedUp;
                break;
            }
            SetCount(Count() + 1);
            boardSerial_ = *next;
            boardHasRecord_ = true;
            boardWriter_ = reportedStand_;
            StatusReply r;
            r.state = status::kTesting;
            r.stage = status::kStages - 1;
            r.checks1 = status::kAllChecks1;
            r.checks2 = status::kAllChecks2;
            r.serial = boardSerial_;
            r.microamps = board_.passMicroamps;
            r.milliamps = MilliampsOf(r.microamps);
            r.events = status::kEvPassed;
            Push(r);
            phase_ = Phase::Resting;
            phaseEnd_ += rest;
            break;
        }
        case Phase::UsedUp:
            if (!NextSerial())
                return;
            phase_ = Phase::Resting;
            phaseEnd_ = now_ + rest;
            break;
        case Phase::Resting:
            if (now_ < phaseEnd_)
                return;
            StartBoard(phaseEnd_);
            break;
        }
    }
}

StatusReply StandModel::Live() const
{
    StatusReply r;
    r.serial = boardSerial_;
    r.microamps = static_cast<uint16_t>(5 + (now_ / 1000) % 4); // a board asleep
    if (cfg_.scenario != Scenario::Production)
        return r;
    switch (phase_) {
    case Phase::Programming:
        r.state = status::kProgramming;
        r.microamps = board_.progMicroamps;
        break;
    case Phase::Failed:
        r.state = board_.failCode;
        r.microamps = 0;
        break;
    case Phase::Programmed:
        r.state = status::kProgrammed;
        r.microamps = board_.passMicroamps;
        break;
    case Phase::Testing: {
        r.state = status::kTesting;
        const int stage = StageAt(now_);
        r.stage = static_cast<uint8_t>(stage);
        r.checks1 = LampsUpTo(stage, false);
        r.checks2 = LampsUpTo(stage, true);
        r.microamps = stage == 14 ? uint16_t(45000) : board_.passMicroamps; // the modem draws
        break;
    }
    case Phase::UsedUp:
        r.state = status::kSerialsUsedUp;
        r.microamps = 0;
        break;
    case Phase::Resting:
        break;
    }
    r.milliamps = MilliampsOf(r.microamps);
    return r;
}

uint8_t StandModel::SerialWriteResult(int64_t nowMs) const
{
    using namespace writeresult;
    if (!write_.active)
        return kNone;
    const bool busy = nowMs - write_.at < kWriteMs;
    if (write_.serial.year == kNoStatusYear)
        return busy ? kInProgress : kNone;
    if (write_.serial.number == kStuckNumber || busy)
        return kInProgress;
    return write_.serial.number == kFailNumber ? kFailed : kWritten;
}

void StandModel::FinishSerialWrite(int64_t nowMs)
{
    if (!write_.active || write_.done || SerialWriteResult(nowMs) != writeresult::kWritten)
        return;
    write_.done = true;
    boardSerial_ = write_.serial;
    boardHasRecord_ = true;
    boardWriter_ = reportedStand_;
}

Bytes StandModel::BoardInfo() const
{
    if (Live().state != status::kIdle)
        return Bytes{0x00};
    Bytes b(9, 0);
    b[0] = 1;
    if (boardHasRecord_) {
        b[1] = static_cast<uint8_t>(boardSerial_.number & 0xFF);
        b[2] = static_cast<uint8_t>(boardSerial_.number >> 8);
        b[3] = boardSerial_.year;
        b[4] = 0x00;
        b[5] = 0x62;
        b[6] = 0x19;
        b[7] = boardWriter_;
        b[8] = 1;
    }
    AppendCheck(b);
    return b;
}

std::optional<Bytes> StandModel::Answer(const Bytes& frame, int64_t nowMs)
{
    if (frame.empty() || frame.size() != CommandLength(frame[0]) || Checksum8(frame) != 0)
        return std::nullopt;
    Advance(nowMs);
    if (cfg_.scenario == Scenario::Silent)
        return std::nullopt;

    Bytes r;
    switch (frame[0]) {
    case 'S':
        if (!pending_.empty()) {
            r = pending_.front().Encode();
            pending_.pop_front();
        } else {
            r = Live().Encode();
        }
        return r;
    case 'N':
        r = {reportedStand_, cfg_.fwVersion};
        break;
    case 'R':
        reportedStand_ = eprom_[eprom::kStandNumber];
        r = {'R'};
        break;
    case 'e':
        r.reserve(kBlock + 1);  // the block and its check byte in one allocation
        for (size_t i = 0; i < kBlock; ++i)
            r.push_back(eprom_[(frame[1] + i) & 0xFF]);
        break;
    case 'E':
        eprom_[frame[1]] = frame[2];
        if (onEpromChanged)
            onEpromChanged();
        r = {eprom_[frame[1]]};
        break;
    case 'f': {
        const size_t at = frame[1] | (frame[2] << 8);
        r.reserve(kBlock + 1);
        for (size_t i = 0; i < kBlock; ++i)
            r.push_back(flash_[(at + i) & 0xFFFF]);
        break;
    }
    case 'F': {
        const size_t at = frame[1] | (frame[2] << 8);
        for (size_t i = 0; i < kBlock; ++i)
            flash_[(at + i) & 0xFFFF] = frame[3 + i];
        if (onFlashChanged)
            onFlashChanged();
        r.reserve(kBlock + 1);
        for (size_t i = 0; i < kBlock; ++i)
            r.push_back(flash_[(at + i) & 0xFFFF]);
        break;
    }
    case 'A':
        write_ = SerialWrite{true, Serial{static_cast<uint16_t>(frame[1] | (frame[2] << 8)), frame[3]}, now_, false};
        r = {'A'};
        break;
    case 'a':
        r = {'a', SerialWriteResult(now_)};
        break;
    case 'D':
        return BoardInfo();
    default:
        return std::nullopt;
    }
    AppendCheck(r);
    return r;
}

} // namespace standsim
