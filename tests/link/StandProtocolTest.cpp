// The protocol operations over a scripted channel: what goes out, which
// replies are taken, what lands in the caller's records.
#include "link/COM.h"
#include "link/StandProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A channel that records the calls made on it and hands out scripted bytes.
class ScriptedCom : public COM {
public:
    bool open = true;
    Bytes script;  // everything the "stand" will send
    size_t pos = 0;
    std::vector<Bytes> written;
    std::vector<std::string> calls;

    bool IsOpen() override { return open; }
    bool Purge(uint32_t flags) override
    {
        calls.push_back("purge " + std::to_string(flags));
        return open;
    }
    bool Write(const void* buffer, uint32_t count) override
    {
        calls.push_back("write " + std::to_string(count));
        const auto* p = static_cast<const uint8_t*>(buffer);
        written.emplace_back(p, p + count);
        BytesWritten = count;
        return open;
    }
    bool Read(void* buffer, uint32_t count) override
    {
        calls.push_back("read " + std::to_string(count));
        uint32_t n = static_cast<uint32_t>(std::min<size_t>(count, script.size() - pos));
        if (n > 0)
            std::memcpy(buffer, script.data() + pos, n);
        pos += n;
        BytesRead = n;
        return open && n == count;
    }
};

Bytes Sealed(Bytes b)
{
    uint8_t sum = 0;
    for (uint8_t x : b)
        sum = static_cast<uint8_t>(sum + x);
    b.push_back(static_cast<uint8_t>(0u - sum));
    return b;
}

Bytes Block(uint8_t first)
{
    Bytes b;
    for (int i = 0; i < 32; ++i)
        b.push_back(static_cast<uint8_t>(first + i * 7));
    return b;
}

Bytes Concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// What the caller ends up with after an operation, for the per-case checks.
struct Outcome {
    bool accepted = false;
    StandStatus status;
    StandInfo info;
    uint8_t block[32];
    uint8_t code = 0xEE;
    BoardInfoResult board = BoardInfoResult::NoAnswer;
    uint8_t boardReply[10];
    Outcome()
    {
        std::memset(block, 0x5A, sizeof block);
        std::memset(boardReply, 0x5A, sizeof boardReply);
        std::memset(static_cast<void*>(&status), 0xCC, sizeof status);
        info.StandNumber = 99;
        info.FirmwareVersion = 98;
    }
};

struct Case {
    const char* name;
    std::function<void(StandLink&, Outcome&)> run;
    Bytes frame;        // the one frame expected on the line
    Bytes reply;        // what the stand sends
    bool accepted;
    std::vector<std::string> reads;  // read calls expected, in order
    std::function<void(const Outcome&)> check;
};

const Bytes kStatus = Sealed({0x05, 0x34, 0x12, 0x00, 0x00, 0x07, 0x81, 0x42, 0x17, 0x00, 0x11, 0x02});

std::vector<Case> Cases()
{
    const Bytes data = Block(0x10);
    Bytes oneOff = data;
    oneOff[17] ^= 0x01;
    Bytes board = Sealed({0x01, 0x17, 0x00, 0x11, 0x00, 0x62, 0x19, 0x07, 0x01});
    Bytes badStatus = kStatus;
    badStatus[12] = static_cast<uint8_t>(badStatus[12] + 1);
    Bytes flashFrame = Concat({0x46, 0x00, 0x80}, data);
    flashFrame = Sealed(flashFrame);

    return {
        {"status accepted", [](StandLink& l, Outcome& o) { o.accepted = l.QueryStatus(o.status); }, {0x53, 0xAD},
         kStatus, true, {"read 13"},
         [](const Outcome& o) {
             EXPECT_EQ(o.status.State, 5);
             EXPECT_EQ(static_cast<int>(o.status.CurrentMicroamps), 0x1234);  // by value: the field is unaligned
             EXPECT_EQ(static_cast<int>(o.status.CurrentMilliamps), 0);
             EXPECT_EQ(o.status.Stage, 7);
             EXPECT_EQ(o.status.Checks1, 0x81);
             EXPECT_EQ(o.status.Checks2, 0x42);
             EXPECT_EQ(static_cast<int>(o.status.Number), 23);
             EXPECT_EQ(o.status.Year, 17);
             EXPECT_EQ(o.status.Events, 2);
         }},
        {"status check byte off by one", [](StandLink& l, Outcome& o) { o.accepted = l.QueryStatus(o.status); },
         {0x53, 0xAD}, badStatus, false, {"read 13"}, nullptr},
        {"status of 12 bytes leaves them in the record",
         [](StandLink& l, Outcome& o) { o.accepted = l.QueryStatus(o.status); }, {0x53, 0xAD},
         Bytes(kStatus.begin(), kStatus.begin() + 12), false, {"read 13"},
         [](const Outcome& o) {
             const auto* raw = reinterpret_cast<const uint8_t*>(&o.status);
             EXPECT_TRUE(std::equal(kStatus.begin(), kStatus.begin() + 12, raw));
             EXPECT_EQ(raw[12], 0xCC);
         }},
        {"identity 07 02 F7", [](StandLink& l, Outcome& o) { o.accepted = l.QueryStandInfo(o.info); }, {0x4E, 0xB2},
         {0x07, 0x02, 0xF7}, true, {"read 3"},
         [](const Outcome& o) {
             EXPECT_EQ(o.info.StandNumber, 7);
             EXPECT_EQ(o.info.FirmwareVersion, 2);
             EXPECT_EQ(StandIdentityText(o.info), "Стенд №7 ПО v2");
         }},
        {"identity with a bad sum changes nothing",
         [](StandLink& l, Outcome& o) { o.accepted = l.QueryStandInfo(o.info); }, {0x4E, 0xB2}, {0x07, 0x02, 0xF8},
         false, {"read 3"},
         [](const Outcome& o) {
             EXPECT_EQ(o.info.StandNumber, 99);
             EXPECT_EQ(o.info.FirmwareVersion, 98);
         }},
        {"restart", [](StandLink& l, Outcome& o) { o.accepted = l.RestartStand(); }, {0x52, 0xAE}, {0x52, 0xAE}, true,
         {"read 2"}, nullptr},
        {"restart without a reply", [](StandLink& l, Outcome& o) { o.accepted = l.RestartStand(); }, {0x52, 0xAE},
         {}, false, {"read 2"}, nullptr},
        {"EPROM block 90h", [](StandLink& l, Outcome& o) { o.accepted = l.ReadEpromBlock(0x90, o.block); },
         {0x65, 0x90, 0x0B}, Sealed(data), true, {"read 33"},
         [data](const Outcome& o) { EXPECT_TRUE(std::equal(data.begin(), data.end(), o.block)); }},
        {"EPROM block with a bad sum is not copied",
         [](StandLink& l, Outcome& o) { o.accepted = l.ReadEpromBlock(0x90, o.block); }, {0x65, 0x90, 0x0B},
         Concat(data, {0x00}), false, {"read 33"},
         [](const Outcome& o) { EXPECT_EQ(o.block[0], 0x5A); }},
        {"EPROM byte echoed", [](StandLink& l, Outcome& o) { o.accepted = l.WriteEpromByte(0x10, 0x03); },
         {0x45, 0x10, 0x03, 0xA8}, {0x03, 0xFD}, true, {"read 2"}, nullptr},
        {"EPROM byte wrong echo with a right check byte",
         [](StandLink& l, Outcome& o) { o.accepted = l.WriteEpromByte(0x10, 0x03); }, {0x45, 0x10, 0x03, 0xA8},
         {0x04, 0xFC}, false, {"read 2"}, nullptr},
        {"FLASH block 8020h", [](StandLink& l, Outcome& o) { o.accepted = l.ReadFlashBlock(0x8020, o.block); },
         {0x66, 0x20, 0x80, 0xFA}, Sealed(data), true, {"read 33"},
         [data](const Outcome& o) { EXPECT_TRUE(std::equal(data.begin(), data.end(), o.block)); }},
        {"FLASH write echoed", [data](StandLink& l, Outcome& o) { o.accepted = l.WriteFlashBlock(0x8000, data.data()); },
         flashFrame, Sealed(data), true, {"read 33"}, nullptr},
        {"FLASH write with one differing byte",
         [data](StandLink& l, Outcome& o) { o.accepted = l.WriteFlashBlock(0x8000, data.data()); }, flashFrame,
         Sealed(oneOff), false, {"read 33"}, nullptr},
        {"serial number 17-00023", [](StandLink& l, Outcome& o) { o.accepted = l.WriteSerialNumber(23, 17); },
         {0x41, 0x17, 0x00, 0x11, 0x97}, {0x41, 0xBF}, true, {"read 2"}, nullptr},
        {"serial number answered with another letter",
         [](StandLink& l, Outcome& o) { o.accepted = l.WriteSerialNumber(23, 17); }, {0x41, 0x17, 0x00, 0x11, 0x97},
         {0x42, 0xBE}, false, {"read 2"}, nullptr},
        {"serial write result 2", [](StandLink& l, Outcome& o) { o.accepted = l.QuerySerialWriteResult(o.code); },
         {0x61, 0x9F}, {0x61, 0x02, 0x9D}, true, {"read 3"}, [](const Outcome& o) { EXPECT_EQ(o.code, 2); }},
        {"serial write result with a wrong letter",
         [](StandLink& l, Outcome& o) { o.accepted = l.QuerySerialWriteResult(o.code); }, {0x61, 0x9F},
         {0x62, 0x02, 0x9C}, false, {"read 3"}, [](const Outcome& o) { EXPECT_EQ(o.code, 0xEE); }},
        {"board info not ready ends after one byte",
         [](StandLink& l, Outcome& o) {
             o.board = l.QueryBoardInfo(o.boardReply);
             o.accepted = o.board == BoardInfoResult::NotReady;
         },
         {0x44, 0xBC}, {0x00, 0x13, 0x77}, true, {"read 1"}, nullptr},
        {"board info of ten bytes",
         [](StandLink& l, Outcome& o) {
             o.board = l.QueryBoardInfo(o.boardReply);
             o.accepted = o.board == BoardInfoResult::Ok;
         },
         {0x44, 0xBC}, board, true, {"read 1", "read 9"},
         [board](const Outcome& o) { EXPECT_TRUE(std::equal(board.begin(), board.end(), o.boardReply)); }},
        {"board info with a bad sum",
         [](StandLink& l, Outcome& o) {
             o.board = l.QueryBoardInfo(o.boardReply);
             o.accepted = o.board != BoardInfoResult::NoAnswer;
         },
         {0x44, 0xBC}, Concat(Bytes(board.begin(), board.end() - 1), {0x00}), false, {"read 1", "read 9"}, nullptr},
        {"board info without a reply",
         [](StandLink& l, Outcome& o) {
             o.board = l.QueryBoardInfo(o.boardReply);
             o.accepted = o.board != BoardInfoResult::NoAnswer;
         },
         {0x44, 0xBC}, {}, false, {"read 1"}, nullptr},
    };
}

TEST(StandProtocol, Checksum8)
{
    const uint8_t s[] = {0x53, 0xAD};
    EXPECT_EQ(Checksum8(s, 0), 0);
    EXPECT_EQ(Checksum8(s, 2), 0);
    EXPECT_EQ(Checksum8(s, 1), 0x53);
    uint8_t many[255];
    std::memset(many, 0xFF, sizeof many);
    EXPECT_EQ(Checksum8(many, 255), static_cast<uint8_t>(255 * 0xFF));
}

TEST(StandProtocol, ExchangesTable)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        ScriptedCom com;
        com.script = c.reply;
        StandLink link(com);
        Outcome o;
        c.run(link, o);
        EXPECT_EQ(o.accepted, c.accepted);
        ASSERT_EQ(com.written.size(), 1u);
        EXPECT_EQ(com.written[0], c.frame);
        std::vector<std::string> expected{"purge 13", "write " + std::to_string(c.frame.size())};
        expected.insert(expected.end(), c.reads.begin(), c.reads.end());
        EXPECT_EQ(com.calls, expected);
        if (c.check)
            c.check(o);
    }
}

TEST(StandProtocol, ClosedChannelSendsNothing)
{
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        ScriptedCom com;
        com.open = false;
        com.script = c.reply;
        StandLink link(com);
        Outcome o;
        c.run(link, o);
        EXPECT_FALSE(o.accepted);
        EXPECT_TRUE(com.calls.empty());
        EXPECT_EQ(o.info.StandNumber, 99);
        EXPECT_EQ(o.code, 0xEE);
        EXPECT_EQ(o.block[0], 0x5A);
    }
}

TEST(StandProtocol, IdentityText)
{
    EXPECT_EQ(StandIdentityText({3, 2}), "Стенд №3 ПО v2");
    EXPECT_EQ(StandIdentityText({254, 0}), "Стенд №254 ПО v0");
}

}  // namespace
