#include "StandModel.h"
#include "SimTestUtil.h"

#include <gtest/gtest.h>

#include <map>

using namespace standsim;
using simtest::Cmd;
using simtest::Hex;

namespace {

ModelConfig Idle(uint8_t stand = 1, uint8_t fw = 2)
{
    ModelConfig c;
    c.stand = stand;
    c.fwVersion = fw;
    return c;
}

Bytes Ask(StandModel& m, const Bytes& frame, int64_t now)
{
    auto r = m.Answer(frame, now);
    EXPECT_TRUE(r.has_value()) << Hex(frame);
    return r.value_or(Bytes{});
}

Bytes Body(Bytes reply) // without the check byte, after checking it
{
    EXPECT_EQ(Checksum8(reply), 0) << Hex(reply);
    if (!reply.empty())
        reply.pop_back();
    return reply;
}

} // namespace

TEST(StandModel, AnswersEveryCommandOfAFreshIdleStand)
{
    Bytes mapAt90(32, 0xFF); // 90h..AFh of a fresh EPROM
    const uint8_t head[] = {0x00, 0x00, 0, 0, 0, 0xFF, 1, 0, 17, 0xFF, 0xFF, 0xFF, 17, 0xFF, 1};
    std::copy(std::begin(head), std::end(head), mapAt90.begin());
    struct Case {
        Bytes frame;
        std::string reply; // whole reply, check byte included
    } cases[] = {
        {Cmd({'S'}), "FF 05 00 00 00 00 00 00 00 00 00 00 FC"},
        {Cmd({'N'}), "03 07 F6"},
        {Cmd({'R'}), "52 AE"},
        {Cmd({'e', 0x90}), Hex(Cmd(mapAt90))},
        {Cmd({'e', 0x10}), Hex(Cmd(Bytes{0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                         0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}))},
        {Cmd({'E', 0x10, 0x03}), "03 FD"},
        {Cmd({'f', 0x20, 0x80}), Hex(Cmd(Bytes(32, 0xFF)))},
        {Cmd({'A', 0x17, 0x00, 0x11}), "41 BF"},
        {Cmd({'a'}), "61 01 9E"}, // just after the write
        {Cmd({'D'}), "01 00 00 00 00 00 00 00 00 FF"}, // no serial record: markers wrong
    };
    StandModel m(Idle(3, 7), 0);
    for (const auto& c : cases)
        EXPECT_EQ(Hex(Ask(m, c.frame, 0)), c.reply) << "frame " << Hex(c.frame);
    // The frames the PC sends are the ones worked out by hand.
    EXPECT_EQ(Hex(Cmd({'e', 0x90})), "65 90 0B");
    EXPECT_EQ(Hex(Cmd({'f', 0x20, 0x80})), "66 20 80 FA");
    EXPECT_EQ(Hex(Cmd({'A', 0x17, 0x00, 0x11})), "41 17 00 11 97");
}

TEST(StandModel, RejectsFramesOfWrongLengthOrSum)
{
    StandModel m(Idle(), 0);
    EXPECT_FALSE(m.Answer(Bytes{'S', 0xAC}, 0));
    EXPECT_FALSE(m.Answer(Bytes{'S'}, 0));
    EXPECT_FALSE(m.Answer(Bytes{'S', 0xAD, 0x00}, 0));
    EXPECT_FALSE(m.Answer(Bytes{'x', 0x88}, 0));
    Bytes badWrite = Cmd({'E', 0x20, 0x55});
    badWrite.back() ^= 1;
    EXPECT_FALSE(m.Answer(badWrite, 0));
    EXPECT_EQ(m.Eprom()[0x20], 0xFF);
}

TEST(StandModel, MemoriesWrapAndHoldWhatIsWritten)
{
    StandModel m(Idle(), 0);
    int epromChanges = 0, flashChanges = 0;
    m.onEpromChanged = [&] { ++epromChanges; };
    m.onFlashChanged = [&] { ++flashChanges; };

    EXPECT_EQ(Body(Ask(m, Cmd({'E', 0xFF, 0x5A}), 0)), Bytes{0x5A});
    EXPECT_EQ(Body(Ask(m, Cmd({'E', 0x00, 0xA5}), 0)), Bytes{0xA5});
    const Bytes wrapped = Body(Ask(m, Cmd({'e', 0xF0}), 0));
    ASSERT_EQ(wrapped.size(), 32u);
    EXPECT_EQ(wrapped[15], 0x5A);
    EXPECT_EQ(wrapped[16], 0xA5);
    EXPECT_EQ(wrapped[17], 0xFF);

    Bytes block;
    for (int i = 0; i < 32; ++i)
        block.push_back(static_cast<uint8_t>(i * 7 + 1));
    Bytes write{'F', 0xF0, 0xFF};
    write.insert(write.end(), block.begin(), block.end());
    EXPECT_EQ(Body(Ask(m, Cmd(write), 0)), block); // returned as now held
    EXPECT_EQ(m.Flash()[0xFFFF], block[15]);
    EXPECT_EQ(m.Flash()[0x0000], block[16]);
    EXPECT_EQ(m.Flash()[0x000F], block[31]);
    EXPECT_EQ(m.Flash()[0x0010], 0xFF);
    EXPECT_EQ(Body(Ask(m, Cmd({'f', 0xF0, 0xFF}), 0)), block);
    EXPECT_EQ(epromChanges, 2);
    EXPECT_EQ(flashChanges, 1);
}

TEST(StandModel, ReportsANewStandNumberOnlyAfterRestart)
{
    StandModel m(Idle(4, 2), 0);
    EXPECT_EQ(Hex(Ask(m, Cmd({'N'}), 0)), "04 02 FA");
    Ask(m, Cmd({'E', 0x10, 0x05}), 0);
    EXPECT_EQ(Body(Ask(m, Cmd({'N'}), 0)), (Bytes{4, 2}));
    Ask(m, Cmd({'R'}), 0);
    EXPECT_EQ(Body(Ask(m, Cmd({'N'}), 0)), (Bytes{5, 2}));
    EXPECT_EQ(m.ReportedStand(), 5);
}

TEST(StandModel, SerialWriteResultsAndHooks)
{
    struct Case {
        uint16_t number;
        uint8_t year;
        uint8_t busy, done, muchLater; // results at 299 ms, 300 ms, 60 s
        bool written;
    } cases[] = {
        {23, 17, 1, 2, 2, true},
        {0, 17, 1, 3, 3, false},      // hook: fails
        {65535, 17, 1, 1, 1, false},  // hook: never ends
        {42, 0xEE, 1, 0, 0, false},   // hook: no status
        {65535, 0xEE, 1, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.number) + "/" + std::to_string(c.year));
        StandModel m(Idle(6), 1000);
        const Bytes a = Cmd({'A', uint8_t(c.number & 0xFF), uint8_t(c.number >> 8), c.year});
        EXPECT_EQ(Hex(Ask(m, a, 1000)), "41 BF");
        EXPECT_EQ(Body(Ask(m, Cmd({'a'}), 1000)), (Bytes{'a', 1}));
        EXPECT_EQ(Body(Ask(m, Cmd({'a'}), 1299)), (Bytes{'a', c.busy}));
        EXPECT_EQ(Body(Ask(m, Cmd({'a'}), 1300)), (Bytes{'a', c.done}));
        EXPECT_EQ(Body(Ask(m, Cmd({'a'}), 61000)), (Bytes{'a', c.muchLater}));
        const Bytes info = Body(Ask(m, Cmd({'D'}), 61000));
        const StatusReply s = StatusReply::Decode(Ask(m, Cmd({'S'}), 61000));
        if (c.written) {
            EXPECT_EQ(info, (Bytes{1, uint8_t(c.number & 0xFF), uint8_t(c.number >> 8), c.year, 0, 0x62, 0x19, 6, 1}));
            EXPECT_EQ(s.serial, (Serial{c.number, c.year}));
        } else {
            EXPECT_EQ(info, (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0}));
            EXPECT_EQ(s.serial, Serial{});
        }
    }
}

TEST(StandModel, NoSerialWriteNoResult)
{
    StandModel m(Idle(), 0);
    EXPECT_EQ(Body(Ask(m, Cmd({'a'}), 5000)), (Bytes{'a', 0}));
}

TEST(StandModel, BoardRecordNamesTheStandNumberReportedWhenWritten)
{
    StandModel m(Idle(2), 0);
    Ask(m, Cmd({'E', 0x10, 9}), 0); // not yet restarted: still stand 2
    Ask(m, Cmd({'A', 7, 0, 18}), 0);
    EXPECT_EQ(Body(Ask(m, Cmd({'D'}), 400))[7], 2);
    Ask(m, Cmd({'R'}), 500);
    Ask(m, Cmd({'A', 8, 0, 18}), 500);
    const Bytes info = Body(Ask(m, Cmd({'D'}), 900));
    EXPECT_EQ(info[1], 8);
    EXPECT_EQ(info[7], 9);
}

TEST(StandModel, IdleShowsTheLastBoardsSerialFromTheCount)
{
    StandModel m(Idle(), 0);
    std::vector<uint8_t> e = m.Eprom();
    e[0x92] = 5; // five handed out from 17-00001
    m.SetEprom(e);
    const StatusReply s = StatusReply::Decode(Ask(m, Cmd({'S'}), 0));
    EXPECT_EQ(s.state, 255);
    EXPECT_EQ(s.stage, 0);
    EXPECT_EQ(s.milliamps, 0);
    EXPECT_LT(s.microamps, 100);
    EXPECT_EQ(s.serial, (Serial{5, 17}));
    EXPECT_EQ(s.events, 0);
}

TEST(StandModel, SilentStandAnswersNothing)
{
    ModelConfig c = Idle();
    c.scenario = Scenario::Silent;
    StandModel m(c, 0);
    for (const Bytes& f : {Cmd({'S'}), Cmd({'N'}), Cmd({'D'}), Cmd({'e', 0}), Cmd({'E', 0x20, 1})})
        EXPECT_FALSE(m.Answer(f, 0)) << Hex(f);
}
