// The production scenario, driven by the clock.
#include "StandModel.h"
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace standsim;
using simtest::Cmd;

namespace {

ModelConfig Production(uint64_t seed, int64_t cycleMs = 1000)
{
    ModelConfig c;
    c.scenario = Scenario::Production;
    c.cycleMs = cycleMs;
    c.seed = seed;
    c.stand = 4;
    return c;
}

StatusReply Poll(StandModel& m, int64_t now)
{
    auto r = m.Answer(Cmd({'S'}), now);
    EXPECT_TRUE(r && r->size() == 13 && Checksum8(*r) == 0);
    return r ? StatusReply::Decode(*r) : StatusReply{};
}

// Polls every stepMs up to endMs and returns every reply.
std::vector<StatusReply> PollAll(StandModel& m, int64_t stepMs, int64_t endMs)
{
    std::vector<StatusReply> all;
    for (int64_t t = 0; t <= endMs; t += stepMs)
        all.push_back(Poll(m, t));
    while (m.PendingEvents() > 0) // what the last poll left behind
        all.push_back(Poll(m, endMs));
    return all;
}

std::vector<StatusReply> EventsOf(const std::vector<StatusReply>& all)
{
    std::vector<StatusReply> ev;
    for (const auto& r : all)
        if (r.events)
            ev.push_back(r);
    return ev;
}

bool Same(const StatusReply& a, const StatusReply& b) { return a.Encode() == b.Encode(); }

} // namespace

TEST(Production, EveryEventOnceInOrderWhateverThePollRate)
{
    StandModel fast(Production(1), 0), slow(Production(1), 0);
    const auto evFast = EventsOf(PollAll(fast, 7, 40'000));
    const auto evSlow = EventsOf(PollAll(slow, 5'000, 40'000)); // several events pile up between polls
    ASSERT_EQ(evFast.size(), evSlow.size());
    for (size_t i = 0; i < evFast.size(); ++i)
        EXPECT_TRUE(Same(evFast[i], evSlow[i])) << "event " << i;

    // Board by board: a failure alone, or programming then the passed test.
    uint16_t nextNumber = 1;
    int failures = 0, repeats = 0, firsts = 0, passes = 0;
    for (size_t i = 0; i < evFast.size(); ++i) {
        const StatusReply& e = evFast[i];
        SCOPED_TRACE("event " + std::to_string(i));
        EXPECT_EQ(e.serial, (Serial{nextNumber, 17})); // what the board gets or would have got
        if (e.events == status::kEvFailed) {
            ++failures;
            EXPECT_TRUE(e.state >= 1 && e.state <= 6 && e.state != 3) << int(e.state);
            continue;
        }
        ASSERT_TRUE(e.events == 0x05 || e.events == 0x01) << int(e.events);
        (e.events == 0x05 ? firsts : repeats)++;
        EXPECT_EQ(e.state, status::kProgrammed);
        EXPECT_NE(e.milliamps, 0); // programming draws milliamps
        if (i + 1 >= evFast.size())
            break; // the run ended while this board was tested
        const StatusReply& pass = evFast[++i];
        ASSERT_EQ(pass.events, status::kEvPassed);
        EXPECT_EQ(pass.state, status::kTesting);
        EXPECT_EQ(pass.stage, 19);
        EXPECT_EQ(pass.checks1, status::kAllChecks1);
        EXPECT_EQ(pass.checks2, status::kAllChecks2);
        EXPECT_EQ(pass.milliamps, pass.microamps / 1000);
        ++passes;
        ++nextNumber;
    }
    EXPECT_GT(failures, 0);
    EXPECT_GT(repeats, 0);
    EXPECT_GT(firsts, repeats);
    EXPECT_GT(passes, 20);
    EXPECT_EQ(fast.Count(), static_cast<uint32_t>(passes));
    EXPECT_EQ(fast.Eprom(), slow.Eprom());
}

TEST(Production, TestStagesRunInOrderAndLampsOnlyComeOn)
{
    StandModel m(Production(3), 0);
    int lastStage = -1;
    uint8_t lastC1 = 0, lastC2 = 0;
    std::vector<uint8_t> statesSeen;
    int stagesSeen = 0;
    for (int64_t t = 0; t <= 1050; t += 5) { // the first board (cycle 1000 ms), then rest
        const StatusReply s = Poll(m, t);
        if (statesSeen.empty() || statesSeen.back() != s.state)
            statesSeen.push_back(s.state);
        if (s.state != status::kTesting || s.events)
            continue;
        EXPECT_GE(s.stage, lastStage);
        EXPECT_EQ(s.checks1 & lastC1, lastC1);
        EXPECT_EQ(s.checks2 & lastC2, lastC2);
        EXPECT_EQ(s.checks1 & 0x20, 0);
        EXPECT_EQ(s.checks2 & 0xC0, 0);
        if (s.stage == 0) {
            EXPECT_EQ(s.checks1 | s.checks2, 0);
        }
        stagesSeen += s.stage != lastStage;
        lastStage = s.stage;
        lastC1 = s.checks1;
        lastC2 = s.checks2;
    }
    EXPECT_EQ(stagesSeen, 20);
    EXPECT_EQ(lastC1, status::kAllChecks1);
    EXPECT_EQ(lastC2, status::kAllChecks2);
    EXPECT_EQ(statesSeen, (std::vector<uint8_t>{0, 99, 100, 255})) << "seed 3 programs its first board fine";
}

TEST(Production, SeedsGiveTheirOwnBoards)
{
    auto eventsFor = [](uint64_t seed) {
        StandModel m(Production(seed), 0);
        std::vector<uint8_t> ev;
        for (const auto& e : EventsOf(PollAll(m, 50, 30'000)))
            ev.push_back(e.events == status::kEvFailed ? e.state : e.events);
        return ev;
    };
    EXPECT_EQ(eventsFor(5), eventsFor(5));
    EXPECT_NE(eventsFor(5), eventsFor(6));
}

TEST(Production, CountIsPersistedAndARangeUsedUpStopsTheStand)
{
    StandModel m(Production(2), 0);
    int persisted = 0;
    m.onEpromChanged = [&] { ++persisted; };
    std::vector<uint8_t> e = m.Eprom();
    e[0x96] = 100; // range 18-00100 .. 18-00102
    e[0x98] = 18;
    e[0x9A] = 102;
    e[0x9B] = 0;
    m.SetEprom(e);

    std::vector<Serial> handedOut;
    int64_t t = 0;
    bool stopped = false;
    for (; t < 60'000 && !stopped; t += 20) {
        const StatusReply s = Poll(m, t);
        if (s.events & status::kEvPassed)
            handedOut.push_back(s.serial);
        stopped = s.state == status::kSerialsUsedUp;
    }
    ASSERT_TRUE(stopped);
    EXPECT_EQ(handedOut, (std::vector<Serial>{{100, 18}, {101, 18}, {102, 18}}));
    EXPECT_EQ(m.Count(), 3u);
    EXPECT_EQ(m.Eprom()[0x92], 3);
    EXPECT_EQ(persisted, 3);
    // Stuck while nothing changes.
    for (int i = 0; i < 10; ++i, t += 1000)
        EXPECT_EQ(Poll(m, t).state, status::kSerialsUsedUp);
    EXPECT_EQ(m.Answer(Cmd({'D'}), t), Bytes{0x00}); // not in mode selection
    // The engineer clears the count: production goes on from the start of the range.
    for (uint8_t a : {0x92, 0x93, 0x94})
        ASSERT_TRUE(m.Answer(Cmd({'E', a, 0}), t));
    std::vector<Serial> after;
    for (int64_t end = t + 10'000; t < end; t += 20) {
        const StatusReply s = Poll(m, t);
        if (s.events & status::kEvPassed)
            after.push_back(s.serial);
    }
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), (Serial{100, 18}));
}

TEST(Production, BoardInfoOnlyWhenIdleAndForAPassedBoard)
{
    StandModel m(Production(3), 0);
    EXPECT_EQ(m.Answer(Cmd({'D'}), 10), Bytes{0x00}); // programming
    EXPECT_EQ(m.Answer(Cmd({'D'}), 500), Bytes{0x00}); // testing
    // The first board passes at 1000 ms and rests until 1100 ms.
    const auto info = m.Answer(Cmd({'D'}), 1050);
    ASSERT_TRUE(info && info->size() == 10);
    EXPECT_EQ(Checksum8(*info), 0);
    EXPECT_EQ(*info, Cmd({1, 1, 0, 17, 0, 0x62, 0x19, 4, 1}));
}

TEST(Production, EventRepliesAreQueuedAndLiveStatusGoesOn)
{
    StandModel m(Production(3), 0);
    // Nobody asked during the first board: its two events wait in order.
    m.Advance(1050);
    EXPECT_EQ(m.PendingEvents(), 2u);
    EXPECT_EQ(Poll(m, 1050).events, 0x01); // seed 3: its first board was programmed before
    EXPECT_EQ(Poll(m, 1050).events, 0x08);
    const StatusReply live = Poll(m, 1050);
    EXPECT_EQ(live.events, 0);
    EXPECT_EQ(live.state, 255);
    EXPECT_EQ(live.serial, (Serial{1, 17})); // in every state, the board's serial
}
