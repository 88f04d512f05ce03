#include "Responder.h"
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace standsim;
using simtest::Cmd;

namespace {

std::vector<OutChunk> Feed(Responder& r, const Bytes& in, int64_t nowUs) { return r.Feed(in.data(), in.size(), nowUs); }

Bytes Joined(const std::vector<OutChunk>& chunks)
{
    Bytes b;
    for (const auto& c : chunks)
        b.insert(b.end(), c.bytes.begin(), c.bytes.end());
    return b;
}

ModelConfig ProductionCfg()
{
    ModelConfig c;
    c.scenario = Scenario::Production;
    c.cycleMs = 1000;
    c.seed = 3;
    return c;
}

} // namespace

TEST(Responder, WithoutPaceAReplyGoesOutAtOnceInOneWrite)
{
    StandModel m(ModelConfig{}, 0);
    Responder r(m, FaultPlan{}, 1, false);
    const auto out = Feed(r, Cmd({'e', 0x90}), 5'000'000);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].dueUs, 5'000'000);
    EXPECT_EQ(out[0].bytes.size(), 33u);
    EXPECT_EQ(Checksum8(out[0].bytes), 0);
}

TEST(Responder, PaceTakesTheWireTimeOfCommandAndReply)
{
    EXPECT_EQ(WireUs(1), 86);
    EXPECT_EQ(WireUs(115200), 10'000'000);
    StandModel m(ModelConfig{}, 0);
    Responder r(m, FaultPlan{}, 1, true);
    const int64_t t0 = 1'000'000;
    Bytes two = Cmd({'S'});
    const Bytes read = Cmd({'f', 0x00, 0x80});
    two.insert(two.end(), read.begin(), read.end());
    const auto out = Feed(r, two, t0);
    ASSERT_EQ(out.size(), 13u + 33u); // one chunk per byte
    EXPECT_EQ(Checksum8(Joined(out)), 0);
    // The status reply is complete once 2 + 13 bytes had their wire time.
    // (within a microsecond: the wire time of a byte is not a whole number of them)
    EXPECT_NEAR(out[0].dueUs, t0 + WireUs(2) + WireUs(1), 1);
    EXPECT_NEAR(out[12].dueUs, t0 + WireUs(2) + WireUs(13), 1);
    for (size_t i = 1; i < out.size(); ++i) {
        EXPECT_GE(out[i].dueUs - out[i - 1].dueUs, 86) << i;
        EXPECT_LE(out[i].dueUs - out[i - 1].dueUs, 87) << i;
    }
    // The second reply follows the first on the line.
    EXPECT_NEAR(out.back().dueUs, t0 + WireUs(2) + WireUs(13 + 33), 1);
    // A command sent long after the line went quiet starts from its own arrival.
    const auto later = Feed(r, Cmd({'N'}), t0 + 1'000'000);
    ASSERT_EQ(later.size(), 3u);
    EXPECT_NEAR(later.back().dueUs, t0 + 1'000'000 + WireUs(2 + 3), 1);
}

TEST(Responder, LateAndDroppedReplies)
{
    StandModel m(ModelConfig{}, 0);
    FaultPlan late;
    late.late = 1;
    late.after = 1;
    Responder r(m, late, 1, false);
    EXPECT_EQ(Feed(r, Cmd({'N'}), 0)[0].dueUs, 0); // the first one is left alone
    const auto out = Feed(r, Cmd({'N'}), 100);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].dueUs, 100 + 700'000);

    FaultPlan drop;
    drop.drop = 1;
    Responder d(m, drop, 1, true);
    EXPECT_TRUE(Feed(d, Cmd({'S'}), 0).empty());
}

TEST(Responder, LogsEachEventReplyOnceWithItsFate)
{
    EXPECT_EQ(Responder::EventLine(StatusReply{99, 3150, 3, 0, 0, 0, Serial{23, 17}, 0x05}, false),
              "05 17-00023 99 3150 intact");
    EXPECT_EQ(Responder::EventLine(StatusReply{100, 2150, 2, 19, 0xDF, 0x3F, Serial{65535, 5}, 0x08}, true),
              "08 05-65535 100 2150 faulted");

    StandModel m(ProductionCfg(), 0);
    std::vector<std::string> lines;
    FaultPlan s;
    s.corrupt = 1;
    s.after = 1; // the first event reply goes out intact, the second is corrupted
    Responder r(m, s, 1, false, [&](const std::string& l) { lines.push_back(l); });
    m.Advance(1050); // the first board: programmed, passed
    Feed(r, Cmd({'S'}), 1'050'000);
    Feed(r, Cmd({'S'}), 1'050'000);
    Feed(r, Cmd({'S'}), 1'050'000); // live status: nothing to log
    EXPECT_EQ(lines.size(), 2u);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 15), "01 17-00001 99 "); // seed 3: a repeated programming
    EXPECT_TRUE(lines[0].ends_with(" intact"));
    EXPECT_EQ(lines[1].substr(0, 16), "08 17-00001 100 ");
    EXPECT_TRUE(lines[1].ends_with(" faulted"));
}
