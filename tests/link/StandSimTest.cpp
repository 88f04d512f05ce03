// The protocol against the stand simulator: every operation end to end, and
// thousands of exchanges under injected faults where the verdict of each one
// is judged again from the raw bytes that came back.
#include "link/COM.h"
#include "link/StandProtocol.h"
#include "store/Func.h"
#include "support/SimProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Records what each exchange really received, read by read.
class SpyCom : public COM {
public:
    Bytes received;
    std::vector<uint32_t> readSizes;

    bool Write(const void* buffer, uint32_t count) override
    {
        received.clear();
        readSizes.clear();
        return COM::Write(buffer, count);
    }
    bool Read(void* buffer, uint32_t count) override
    {
        const bool ok = COM::Read(buffer, count);
        const auto* p = static_cast<const uint8_t*>(buffer);
        received.insert(received.end(), p, p + BytesRead);
        readSizes.push_back(count);
        return ok;
    }
};

// A simulator linked as COM12 in a fresh data folder, and the channel on it.
class SimLink {
public:
    explicit SimLink(const std::vector<std::string>& args, uint32_t timeoutMs = 500)
    {
        saved_ = AppDataDir;
        AppDataDir = dir_.dir();
        started_ = sim_.Start(dir_.file("COM12"), args);
        com.Port = 11;
        com.BaudIndex = 11;
        com.Parity = 0;
        com.StopBits = 0;
        com.SetTimeout(timeoutMs);
        opened_ = started_ && com.Open();
    }
    ~SimLink()
    {
        com.Close();
        sim_.Stop();
        AppDataDir = saved_;
    }
    bool Ok() const { return opened_; }
    SimProcess& Sim() { return sim_; }

    SpyCom com;

private:
    TempDir dir_;
    std::string saved_;
    SimProcess sim_;
    bool started_ = false;
    bool opened_ = false;
};

uint8_t Sum(const Bytes& b)
{
    uint8_t s = 0;
    for (uint8_t x : b)
        s = static_cast<uint8_t>(s + x);
    return s;
}

TEST(StandSim, EveryOperationEndToEnd)
{
    SimLink s({"--stand", "5", "--fw-version", "3"});
    ASSERT_TRUE(s.Ok());
    StandLink link(s.com);

    StandInfo info;
    ASSERT_TRUE(link.QueryStandInfo(info));
    EXPECT_EQ(info.StandNumber, 5);
    EXPECT_EQ(info.FirmwareVersion, 3);
    EXPECT_EQ(StandIdentityText(info), "Стенд №5 ПО v3");

    StandStatus status;
    EXPECT_TRUE(link.QueryStatus(status));
    EXPECT_EQ(status.State, 255);  // idle

    uint8_t data[32];
    for (int i = 0; i < 32; ++i)
        data[i] = static_cast<uint8_t>(0xA0 ^ (i * 13));
    ASSERT_TRUE(link.WriteFlashBlock(0x8020, data));
    uint8_t back[32] = {};
    ASSERT_TRUE(link.ReadFlashBlock(0x8020, back));
    EXPECT_EQ(0, std::memcmp(data, back, 32));

    ASSERT_TRUE(link.WriteEpromByte(0xE1, 0x3C));
    uint8_t eprom[32] = {};
    ASSERT_TRUE(link.ReadEpromBlock(0xE0, eprom));
    EXPECT_EQ(eprom[1], 0x3C);
    // The stand number lives at 10h.
    ASSERT_TRUE(link.ReadEpromBlock(0x10, eprom));
    EXPECT_EQ(eprom[0], 5);

    EXPECT_TRUE(link.RestartStand());
    ASSERT_TRUE(link.WriteSerialNumber(23, 17));
    uint8_t code = 0;
    ASSERT_TRUE(link.QuerySerialWriteResult(code));
    EXPECT_EQ(code, 1);  // still writing

    uint8_t board[10];
    const BoardInfoResult r = link.QueryBoardInfo(board);
    EXPECT_NE(r, BoardInfoResult::NoAnswer);
    if (r == BoardInfoResult::NotReady)
        EXPECT_EQ(s.com.received.size(), 1u);
    else
        EXPECT_EQ(Sum(Bytes(board, board + 10)), 0);
}

// Judges one exchange from the bytes that came: what a sound implementation
// must have answered.
struct Verdict {
    bool accepted;
    const char* why;
};

TEST(StandSim, FaultyRepliesAreNeverTakenAndGoodOnesAlways)
{
    // A short time-out keeps dropped and truncated replies cheap; late ones
    // (700 ms) then land in later exchanges, which is part of the test.
    SimLink s({"--faults", "drop=0.03,truncate=0.07,corrupt=0.14,late=0.02,noise=0.07", "--seed", "11"}, 40);
    ASSERT_TRUE(s.Ok());
    StandLink link(s.com);
    std::mt19937 rng(20240611);
    auto byte = [&rng] { return static_cast<uint8_t>(rng()); };

    int accepted = 0;
    int rejected = 0;
    int sumFailures = 0;
    int contentFailures = 0;
    int shortReplies = 0;
    const int kExchanges = 2500;
    for (int n = 0; n < kExchanges; ++n) {
        const int op = static_cast<int>(rng() % 10);
        bool got = false;
        size_t length = 0;
        bool contentOk = true;  // the operation's own test, judged from the raw bytes
        const Bytes& raw = s.com.received;
        switch (op) {
        case 0: {
            StandStatus st;
            got = link.QueryStatus(st);
            length = 13;
            break;
        }
        case 1: {
            StandInfo info{200, 201};
            got = link.QueryStandInfo(info);
            length = 3;
            if (got) {
                EXPECT_EQ(info.StandNumber, raw[0]);
                EXPECT_EQ(info.FirmwareVersion, raw[1]);
            } else {
                EXPECT_EQ(info.StandNumber, 200);
            }
            break;
        }
        case 2: {
            got = link.RestartStand();
            length = 2;
            break;
        }
        case 3:
        case 4: {
            uint8_t dest[32];
            std::memset(dest, 0x77, sizeof dest);
            const bool flash = op == 4;
            got = flash ? link.ReadFlashBlock(static_cast<uint16_t>(rng()), dest) : link.ReadEpromBlock(byte(), dest);
            length = 33;
            if (got)
                EXPECT_TRUE(std::equal(raw.begin(), raw.begin() + 32, dest));
            else
                EXPECT_EQ(dest[0], 0x77);
            break;
        }
        case 5: {
            const uint8_t value = byte();
            got = link.WriteEpromByte(static_cast<uint8_t>(0xC0 | (rng() & 0x3F)), value);
            length = 2;
            contentOk = !raw.empty() && raw[0] == value;
            break;
        }
        case 6: {
            uint8_t data[32];
            for (auto& d : data)
                d = byte();
            got = link.WriteFlashBlock(static_cast<uint16_t>(0x8000 + 32 * (rng() % 1024)), data);
            length = 33;
            contentOk = raw.size() >= 32 && std::equal(data, data + 32, raw.begin());
            break;
        }
        case 7: {
            got = link.WriteSerialNumber(static_cast<uint16_t>(1 + rng() % 60000), 24);
            length = 2;
            contentOk = !raw.empty() && raw[0] == 'A';
            break;
        }
        case 8: {
            uint8_t code = 0xEE;
            got = link.QuerySerialWriteResult(code);
            length = 3;
            contentOk = !raw.empty() && raw[0] == 'a';
            if (got)
                EXPECT_EQ(code, raw[1]);
            else
                EXPECT_EQ(code, 0xEE);
            break;
        }
        case 9: {
            uint8_t reply[10];
            const BoardInfoResult r = link.QueryBoardInfo(reply);
            if (!raw.empty() && raw[0] == 0) {
                EXPECT_EQ(r, BoardInfoResult::NotReady) << n;
                EXPECT_EQ(raw.size(), 1u);
                EXPECT_EQ(s.com.readSizes, std::vector<uint32_t>{1});
                ++accepted;
                continue;
            }
            got = r == BoardInfoResult::Ok;
            EXPECT_NE(r, BoardInfoResult::NotReady);
            length = 10;
            break;
        }
        }
        const bool full = raw.size() == length;
        const bool valid = full && Sum(raw) == 0 && contentOk;
        EXPECT_EQ(got, valid) << "exchange " << n << " op " << op << " bytes " << raw.size();
        if (got)
            ++accepted;
        else
            ++rejected;
        if (!full)
            ++shortReplies;
        else if (Sum(raw) != 0)
            ++sumFailures;
        else if (!contentOk)
            ++contentFailures;
    }
    // The run really met every kind of bad reply, and mostly good ones.
    EXPECT_GT(accepted, kExchanges / 2);
    EXPECT_GT(shortReplies, 50);
    EXPECT_GT(sumFailures, 100);
    EXPECT_GT(contentFailures, 10);
    RecordProperty("accepted", accepted);
    RecordProperty("rejected", rejected);
}

TEST(StandSim, SimulatorKilledMidRun)
{
    SimLink s({});
    ASSERT_TRUE(s.Ok());
    StandLink link(s.com);
    StandStatus status;
    ASSERT_TRUE(link.QueryStatus(status));
    s.Sim().Kill();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 20; ++i) {
        EXPECT_FALSE(link.QueryStatus(status));
        uint8_t block[32];
        EXPECT_FALSE(link.ReadFlashBlock(0x8000, block));
    }
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    // Forty exchanges on a vanished port, none of them waiting out its 500 ms.
    EXPECT_LT(ms, 400);
    EXPECT_TRUE(s.com.IsOpen());
    EXPECT_TRUE(s.com.Close());
}

}  // namespace
