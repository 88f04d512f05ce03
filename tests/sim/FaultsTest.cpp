#include "Faults.h"
#include "SimTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace standsim;
using simtest::Cmd;

TEST(FaultPlan, Parses)
{
    FaultPlan s;
    std::string err;
    ASSERT_TRUE(ParseFaultPlan("drop=0.05,truncate=0.04,corrupt=0.03,late=0.02,noise=0.01", s, &err)) << err;
    EXPECT_DOUBLE_EQ(s.drop, 0.05);
    EXPECT_DOUBLE_EQ(s.truncate, 0.04);
    EXPECT_DOUBLE_EQ(s.corrupt, 0.03);
    EXPECT_DOUBLE_EQ(s.late, 0.02);
    EXPECT_DOUBLE_EQ(s.noise, 0.01);
    EXPECT_EQ(s.after, 0u);
    ASSERT_TRUE(ParseFaultPlan("drop=1,after=18", s, &err)) << err;
    EXPECT_DOUBLE_EQ(s.drop, 1);
    EXPECT_DOUBLE_EQ(s.noise, 0);
    EXPECT_EQ(s.after, 18u);
    ASSERT_TRUE(ParseFaultPlan("", s, &err));
    EXPECT_FALSE(s.Any());

    for (const char* bad : {"drop", "drop=", "drop=2", "drop=-0.1", "drop=0.1x", "drop=nan", "flood=0.1",
                            "after=x", "after=-1", "drop=0.6,noise=0.6"}) {
        FaultPlan keep;
        keep.late = 0.25;
        err.clear();
        EXPECT_FALSE(ParseFaultPlan(bad, keep, &err)) << bad;
        EXPECT_FALSE(err.empty()) << bad;
        EXPECT_DOUBLE_EQ(keep.late, 0.25) << "untouched on failure: " << bad;
    }
}

TEST(FaultInjector, AfterNLeavesTheFirstRepliesAlone)
{
    FaultPlan s;
    s.drop = 1;
    s.after = 18;
    FaultInjector f(s, 1);
    const Bytes reply = Cmd({'A'});
    for (int i = 1; i <= 18; ++i)
        EXPECT_EQ(f.Apply(reply).bytes, reply) << i;
    for (int i = 19; i <= 25; ++i) {
        const FaultedReply r = f.Apply(reply);
        EXPECT_EQ(r.kind, FaultKind::Drop);
        EXPECT_TRUE(r.bytes.empty());
    }
}

TEST(FaultInjector, EachKindDoesWhatItSays)
{
    Bytes reply(32);
    for (size_t i = 0; i < reply.size(); ++i)
        reply[i] = static_cast<uint8_t>(i * 11);
    reply = Cmd(reply);
    auto only = [](double FaultPlan::*field) {
        FaultPlan s;
        s.*field = 1;
        return s;
    };

    FaultInjector trunc(only(&FaultPlan::truncate), 7);
    FaultInjector late(only(&FaultPlan::late), 7);
    FaultInjector noise(only(&FaultPlan::noise), 7);
    FaultInjector corrupt(only(&FaultPlan::corrupt), 7);
    int validSum = 0, badSum = 0;
    for (int i = 0; i < 200; ++i) {
        const FaultedReply t = trunc.Apply(reply);
        ASSERT_TRUE(!t.bytes.empty() && t.bytes.size() < reply.size());
        EXPECT_TRUE(std::equal(t.bytes.begin(), t.bytes.end(), reply.begin()));

        const FaultedReply l = late.Apply(reply);
        EXPECT_TRUE(l.late);
        EXPECT_EQ(l.bytes, reply);

        const FaultedReply n = noise.Apply(reply);
        ASSERT_GT(n.bytes.size(), reply.size());
        EXPECT_LE(n.bytes.size(), reply.size() + 8);
        EXPECT_TRUE(std::equal(reply.begin(), reply.end(), n.bytes.end() - static_cast<long>(reply.size())));

        const FaultedReply c = corrupt.Apply(reply);
        ASSERT_EQ(c.bytes.size(), reply.size());
        int differing = 0;
        for (size_t k = 0; k < reply.size(); ++k)
            differing += c.bytes[k] != reply[k];
        if (Checksum8(c.bytes) == 0) {
            ++validSum; // the first byte changed, the check byte made up for it
            EXPECT_NE(c.bytes.front(), reply.front());
            EXPECT_EQ(differing, 2);
        } else {
            ++badSum;
            EXPECT_EQ(differing, 1);
        }
    }
    EXPECT_GT(validSum, 50);
    EXPECT_GT(badSum, 50);

    // A one-byte reply cannot be cut short: truncation sends nothing.
    FaultInjector trunc1(only(&FaultPlan::truncate), 7);
    EXPECT_TRUE(trunc1.Apply(Bytes{0x00}).bytes.empty());
}

TEST(FaultInjector, RatesAreKeptAndASeedRepeatsItself)
{
    FaultPlan s;
    std::string err;
    ASSERT_TRUE(ParseFaultPlan("drop=0.1,truncate=0.1,corrupt=0.1,late=0.1,noise=0.1", s, &err));
    FaultInjector a(s, 42), b(s, 42);
    std::map<FaultKind, int> counts;
    const Bytes reply = Cmd({1, 2, 3});
    for (int i = 0; i < 5000; ++i) {
        const FaultedReply ra = a.Apply(reply), rb = b.Apply(reply);
        ASSERT_EQ(ra.kind, rb.kind);
        ASSERT_EQ(ra.bytes, rb.bytes);
        counts[ra.kind]++;
    }
    for (FaultKind k : {FaultKind::Drop, FaultKind::Truncate, FaultKind::Corrupt, FaultKind::Late, FaultKind::Noise})
        EXPECT_NEAR(counts[k], 500, 100) << FaultName(k);
    EXPECT_NEAR(counts[FaultKind::None], 2500, 150);
}
