// The frame server in-process, on a thread of its own, as a test can run it.
#include "PtyServer.h"
#include "SimTestUtil.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

using namespace standsim;
using simtest::Cmd;

TEST(PtyServer, RunsOnAThreadAndStopsOnRequest)
{
    TempDir dir;
    const std::string link = dir.file("COM3");
    ModelConfig cfg;
    cfg.stand = 8;
    StandModel model(cfg, PtyServer::NowUs() / 1000);
    Responder responder(model, FaultPlan{}, 1, false);
    PtyServer server;
    std::string err;
    ASSERT_TRUE(server.Open(link, &err)) << err;
    volatile std::sig_atomic_t never = 0;
    bool ran = false;
    std::thread t([&] { ran = server.Run(responder, &never, &err); });
    {
        simtest::Port port(link);
        ASSERT_TRUE(port.ok());
        EXPECT_EQ(port.Exchange(Cmd({'N'}), 3), Cmd({8, 2}));
        EXPECT_EQ(port.Exchange(Cmd({'E', 0x40, 0x77}), 2), Cmd({0x77}));
    }
    server.RequestStop();
    t.join();
    EXPECT_TRUE(ran) << err;
    EXPECT_EQ(model.Eprom()[0x40], 0x77);
    server.Close();
    struct stat st{};
    EXPECT_NE(lstat(link.c_str(), &st), 0);
}
