#include "StandModel.h"
#include "StateStore.h"
#include "SimTestUtil.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace standsim;
using simtest::Cmd;

TEST(StateStore, WritesThroughAndIsLoadedByTheNextRun)
{
    TempDir dir;
    const StateStore store(dir.file("state")); // made on first use
    std::string err;
    {
        StandModel m(ModelConfig{}, 0);
        ASSERT_TRUE(AttachStore(m, store, std::nullopt, &err)) << err;
        // Both files exist from the start.
        std::string e = dir.read("state/eprom.bin"), f = dir.read("state/flash.bin");
        ASSERT_EQ(e.size(), 256u);
        ASSERT_EQ(f.size(), 65536u);
        EXPECT_EQ(uint8_t(e[0x10]), 1);
        EXPECT_EQ(uint8_t(e[0x98]), 17);

        ASSERT_TRUE(m.Answer(Cmd({'E', 0x9E, 0x07}), 0));
        EXPECT_EQ(uint8_t(dir.read("state/eprom.bin")[0x9E]), 7);
        Bytes w{'F', 0x20, 0x80};
        for (int i = 0; i < 32; ++i)
            w.push_back(static_cast<uint8_t>(0x40 + i));
        ASSERT_TRUE(m.Answer(Cmd(w), 0));
        f = dir.read("state/flash.bin");
        EXPECT_EQ(uint8_t(f[0x8020]), 0x40);
        EXPECT_EQ(uint8_t(f[0x803F]), 0x5F);
        EXPECT_EQ(uint8_t(f[0x8040]), 0xFF);
        EXPECT_TRUE(dir.read("state/eprom.bin.tmp").empty());
    }
    // Between runs a test changes a byte; the next run reports it.
    std::string e = dir.read("state/eprom.bin");
    e[0x10] = 9;
    dir.write("state/eprom.bin", e);
    {
        StandModel m(ModelConfig{}, 0);
        ASSERT_TRUE(AttachStore(m, store, std::nullopt, &err)) << err;
        EXPECT_EQ(m.ReportedStand(), 9);
        EXPECT_EQ(m.Eprom()[0x9E], 7);
        EXPECT_EQ(m.Flash()[0x8020], 0x40);
    }
    {
        StandModel m(ModelConfig{}, 0); // --stand given: it wins over the kept number
        ASSERT_TRUE(AttachStore(m, store, uint8_t(12), &err)) << err;
        EXPECT_EQ(m.ReportedStand(), 12);
        EXPECT_EQ(uint8_t(dir.read("state/eprom.bin")[0x10]), 12);
    }
}

TEST(StateStore, RefusesBrokenFiles)
{
    TempDir dir;
    const StateStore store(dir.path());
    std::string err;
    dir.write("eprom.bin", std::string(255, '\xFF'));
    StandModel m(ModelConfig{}, 0);
    EXPECT_FALSE(AttachStore(m, store, std::nullopt, &err));
    EXPECT_NE(err.find("256"), std::string::npos) << err;
    EXPECT_EQ(dir.read("eprom.bin").size(), 255u); // left as it was

    dir.write("notadir", "x");
    const StateStore file(dir.file("notadir"));
    EXPECT_FALSE(AttachStore(m, file, std::nullopt, &err));
}

TEST(StateStore, AppendsEventLines)
{
    TempDir dir;
    const StateStore store(dir.path());
    ASSERT_TRUE(store.AppendEventLine("05 17-00001 99 3000 intact"));
    ASSERT_TRUE(store.AppendEventLine("08 17-00001 100 2100 faulted"));
    EXPECT_EQ(dir.read("events.log"), "05 17-00001 99 3000 intact\n08 17-00001 100 2100 faulted\n");
}
