// The serial channel over a real pseudo-terminal: port mapping, time-outs,
// purging, exclusivity, the trace and a port that vanishes.
#include "PtyPort.h"

#include "link/COM.h"
#include "link/StandProtocol.h"
#include "platform/Text.h"

#include <QDateTime>
#include <QLocale>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <sys/stat.h>

namespace {

using Clock = std::chrono::steady_clock;

// Runs the test body in a temporary current folder, and returns to the old one.
class CwdGuard {
public:
    explicit CwdGuard(const std::string& dir)
    {
        char buf[PATH_MAX];
        if (getcwd(buf, sizeof buf))
            saved_ = buf;
        ok_ = chdir(dir.c_str()) == 0;
    }
    ~CwdGuard()
    {
        if (!saved_.empty())
            (void)chdir(saved_.c_str());
    }
    bool Ok() const { return ok_; }

private:
    std::string saved_;
    bool ok_ = false;
};

TEST(ComPort, Tables)
{
    EXPECT_EQ(COM::BaudTable[7], 19200u);
    EXPECT_EQ(COM::BaudTable[9], 56000u);
    EXPECT_EQ(COM::BaudTable[11], 115200u);
    const uint32_t multipliers[12] = {100, 35, 18, 9, 5, 3, 2, 1, 1, 1, 1, 1};
    for (uint32_t i = 0; i < 12; ++i)
        EXPECT_EQ(COM::Multiplier(i), multipliers[i]) << i;
    COM fresh;
    EXPECT_EQ(fresh.Port, 1);
    EXPECT_EQ(fresh.BaudIndex, 7u);
    EXPECT_EQ(fresh.StopBits, 2);
    EXPECT_EQ(fresh.TimeoutConstant, 100u);
    EXPECT_EQ(fresh.Handle, -1);
    EXPECT_FALSE(fresh.IsOpen());
}

TEST(ComPort, DevicePathMapping)
{
    PtyPort pty(9);
    ASSERT_TRUE(pty.Ok());
    // Port 9 is COM10: the entry in the data folder wins.
    EXPECT_EQ(COM::DevicePath(9), pty.Dir().dir() + "COM10");
    EXPECT_EQ(COM::DevicePath(0), "/dev/ttyS0");
    EXPECT_EQ(COM::DevicePath(3), "/dev/ttyS3");
    // A dangling link is still the entry: the open fails on it, not elsewhere.
    ASSERT_EQ(symlink(pty.Dir().file("nowhere").c_str(), pty.Dir().file("COM4").c_str()), 0);
    EXPECT_EQ(COM::DevicePath(3), pty.Dir().dir() + "COM4");
    COM com;
    com.Port = 3;
    com.BaudIndex = 11;
    com.StopBits = 0;
    EXPECT_FALSE(com.Open());
    EXPECT_EQ(com.Handle, -1);
    // Something that is not a terminal does not take line settings.
    pty.Dir().write("COM6", "not a port");
    com.Port = 5;
    EXPECT_FALSE(com.Open());
    EXPECT_EQ(com.Handle, -1);

    COM ten;
    pty.Configure(ten);
    ASSERT_TRUE(ten.Open());
    pty.Send({0x5A});
    uint8_t b = 0;
    EXPECT_TRUE(ten.GetByte(b));
    EXPECT_EQ(b, 0x5A);
}

TEST(ComPort, ReplyThatNeverComesCostsTheTimeOut)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    COM com;
    pty.Configure(com, 500);
    ASSERT_TRUE(com.Open());
    uint8_t buf[13];
    auto t0 = Clock::now();
    EXPECT_FALSE(com.Read(buf, 13));
    const int64_t ms = ElapsedMs(t0);
    EXPECT_GE(ms, 450);
    EXPECT_LE(ms, 900);
    EXPECT_EQ(com.BytesRead, 0u);
    EXPECT_EQ(com.LastFailed, 1);
}

TEST(ComPort, ShortReplyKeepsTheBytesThatCame)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    COM com;
    pty.Configure(com, 100);
    ASSERT_TRUE(com.Open());
    pty.Send({1, 2, 3, 4, 5});
    uint8_t buf[13];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_FALSE(com.Read(buf, 13));
    EXPECT_EQ(com.BytesRead, 5u);
    EXPECT_EQ(com.LastFailed, 1);
    const uint8_t expected[13] = {1, 2, 3, 4, 5, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(0, std::memcmp(buf, expected, 13));

    pty.Send({9, 8, 7});
    EXPECT_TRUE(com.Read(buf, 3));
    EXPECT_EQ(com.BytesRead, 3u);
    EXPECT_EQ(com.LastFailed, 0);
    EXPECT_EQ(buf[2], 7);
}

// At 110 baud a 13-byte read may last 100*13 + c ms in all, but the gap
// after the last byte ends it after c ms; bytes closer than c keep it going.
TEST(ComPort, IntervalBetweenBytes)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    COM com;
    pty.Configure(com, 300);
    com.BaudIndex = 0;
    ASSERT_TRUE(com.Open());

    uint8_t buf[13];
    pty.Send({1, 2, 3, 4, 5});
    auto t0 = Clock::now();
    EXPECT_FALSE(com.Read(buf, 13));
    int64_t ms = ElapsedMs(t0);
    EXPECT_EQ(com.BytesRead, 5u);
    EXPECT_GE(ms, 270);
    EXPECT_LE(ms, 1100);  // well below the total of 1600 ms

    // A slow stand: one byte every 40 ms, 520 ms in all, longer than c.
    std::thread stand([&pty] {
        for (uint8_t i = 0; i < 13; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            pty.Send({i});
        }
    });
    t0 = Clock::now();
    bool ok = com.Read(buf, 13);
    ms = ElapsedMs(t0);
    stand.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(com.BytesRead, 13u);
    EXPECT_EQ(buf[12], 12);
    EXPECT_GE(ms, 400);
}

TEST(ComPort, StaleByteIsPurgedBeforeTheNextCommand)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    COM com;
    pty.Configure(com, 300);
    ASSERT_TRUE(com.Open());
    // A late byte of an earlier exchange waits in the input queue.
    pty.Send({0xEE});
    ASSERT_TRUE(WaitReadable(com.Handle));
    com.ClearErrors();
    EXPECT_EQ(com.CommStat.InQueue, 1u);
    EXPECT_EQ(com.CommErrors, 0u);

    Bytes frame;
    std::thread stand([&] {
        frame = pty.Receive(2);
        pty.Send({0x07, 0x02, 0xF7});
    });
    StandLink link(com);
    StandInfo info;
    bool ok = link.QueryStandInfo(info);
    stand.join();
    EXPECT_EQ(frame, (Bytes{0x4E, 0xB2}));
    EXPECT_TRUE(ok);
    EXPECT_EQ(info.StandNumber, 7);
    EXPECT_EQ(info.FirmwareVersion, 2);
}

TEST(ComPort, OpenCloseAndTimeOutStates)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    COM com;
    pty.Configure(com);
    EXPECT_TRUE(com.Close());  // closed: nothing to do
    // Stored while closed, in force from the next open.
    EXPECT_FALSE(com.SetTimeout(150));
    EXPECT_EQ(com.TimeoutConstant, 150u);
    EXPECT_FALSE(com.Purge(PURGE_RXCLEAR));
    EXPECT_FALSE(com.EscapeFunction(SETDTR));
    EXPECT_EQ(com.GetModemStatus(), 0u);

    ASSERT_TRUE(com.Open());
    const int handle = com.Handle;
    EXPECT_FALSE(com.Open());
    EXPECT_EQ(com.Handle, handle);
    uint8_t buf[13];
    auto t0 = Clock::now();
    EXPECT_FALSE(com.Read(buf, 13));
    int64_t ms = ElapsedMs(t0);
    EXPECT_GE(ms, 140);
    EXPECT_LE(ms, 450);

    // Queue sizes of 0 mean the default.
    EXPECT_TRUE(com.Close());
    EXPECT_FALSE(com.IsOpen());
    com.InQueueSize = 0;
    com.OutQueueSize = 0;
    ASSERT_TRUE(com.Open());
    EXPECT_EQ(com.InQueueSize, 4096u);
    EXPECT_EQ(com.OutQueueSize, 4096u);

    // Settings the line cannot take close the port again.
    com.Close();
    com.StopBits = 1;
    EXPECT_FALSE(com.Open());
    EXPECT_FALSE(com.IsOpen());
    com.StopBits = 0;
    com.Parity = 5;
    EXPECT_FALSE(com.Open());
    EXPECT_FALSE(com.IsOpen());
    com.Parity = 0;
    com.BaudIndex = 12;  // past the table
    EXPECT_FALSE(com.Open());
    EXPECT_FALSE(com.IsOpen());
    com.BaudIndex = 11;
    EXPECT_TRUE(com.Open());
}

TEST(ComPort, ExclusiveOpen)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    COM first;
    COM second;
    pty.Configure(first, 200);
    pty.Configure(second, 200);
    ASSERT_TRUE(first.Open());
    EXPECT_FALSE(second.Open());
    EXPECT_EQ(second.Handle, -1);

    pty.Send({0x31, 0x32});
    uint8_t buf[2];
    EXPECT_TRUE(first.Read(buf, 2));
    EXPECT_EQ(buf[1], 0x32);
    EXPECT_TRUE(first.Write("ab", 2));
    EXPECT_EQ(pty.Receive(2), (Bytes{'a', 'b'}));

    // Once the first lets go, the port is free again.
    EXPECT_TRUE(first.Close());
    EXPECT_TRUE(second.Open());
    pty.Send({0x33});
    EXPECT_TRUE(second.Read(buf, 1));
    EXPECT_EQ(buf[0], 0x33);
}

TEST(ComPort, Transact)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    COM com;
    pty.Configure(com, 100);
    ASSERT_TRUE(com.Open());
    pty.Send({0xEE});
    ASSERT_TRUE(WaitReadable(com.Handle));

    Bytes frame;
    std::thread stand([&] {
        frame = pty.Receive(2);
        pty.Send({0x52, 0xAE, 0x01});
    });
    uint8_t reply[3] = {};
    EXPECT_TRUE(com.Transact("\x52\xAE", 2, reply, 3, 1000, true));
    stand.join();
    EXPECT_EQ(frame, (Bytes{0x52, 0xAE}));
    EXPECT_EQ(com.BytesWritten, 2u);
    EXPECT_EQ(com.BytesRead, 3u);
    EXPECT_EQ(reply[2], 0x01);

    // Two of three bytes: false with the count that came.
    pty.Send({0x10, 0x20});
    EXPECT_FALSE(com.Transact("x", 1, reply, 3, 300, false));
    EXPECT_EQ(com.BytesRead, 2u);
    EXPECT_EQ(reply[1], 0x20);

    // Nothing to read: nothing is taken from the queue.
    pty.Drain();
    pty.Send({0x44});
    ASSERT_TRUE(WaitReadable(com.Handle));
    EXPECT_TRUE(com.Transact("y", 1, nullptr, 0, 300, false));
    EXPECT_EQ(com.BytesRead, 0u);
    EXPECT_EQ(com.GetByte(), 0x44);

    com.Close();
    EXPECT_FALSE(com.Transact("z", 1, reply, 3, 300, true));
    EXPECT_EQ(com.BytesWritten, 0u);
}

TEST(ComPort, PortVanishingMidRun)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    COM com;
    pty.Configure(com, 500);
    ASSERT_TRUE(com.Open());
    std::thread stand([&] {
        pty.Receive(2);
        pty.Send({0x07, 0x02, 0xF7});
    });
    StandLink link(com);
    StandInfo info;
    EXPECT_TRUE(link.QueryStandInfo(info));
    stand.join();

    pty.CloseMaster();
    auto t0 = Clock::now();
    EXPECT_FALSE(com.Write("SS", 2));
    EXPECT_EQ(com.LastFailed, 1);
    uint8_t buf[13];
    EXPECT_FALSE(com.Read(buf, 13));
    EXPECT_EQ(com.LastFailed, 1);
    uint8_t b = 0;
    EXPECT_FALSE(com.GetByte(b));
    StandStatus status;
    for (int i = 0; i < 50; ++i) {
        EXPECT_FALSE(link.QueryStatus(status));
        EXPECT_FALSE(link.WriteEpromByte(1, 2));
    }
    // Each exchange fails at once rather than after its 500 ms time-out.
    EXPECT_LE(ElapsedMs(t0), 400);
    // Like a Windows handle, the channel stays open until it is closed.
    EXPECT_TRUE(com.IsOpen());
    EXPECT_TRUE(com.Close());
    EXPECT_FALSE(com.IsOpen());
}

// Expected trace stamps for the current second and the one before.
std::vector<std::string> RecentStamps()
{
    std::vector<std::string> stamps;
    QLocale locale = QLocale::system();
    QDateTime now = QDateTime::currentDateTime();
    for (int back = 0; back <= 2; ++back) {
        QDateTime t = now.addSecs(-back);
        stamps.push_back(ToCp1251(locale.toString(t.date(), QLocale::ShortFormat) + " " +
                                  locale.toString(t.time(), QLocale::LongFormat) + ": "));
    }
    return stamps;
}

TEST(ComPort, TraceLines)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    TempDir cwd;
    CwdGuard guard(cwd.path());
    ASSERT_TRUE(guard.Ok());
    COM com;
    pty.Configure(com, 50);
    com.TraceOn = 1;
    uint8_t buf[13];
    uint8_t b = 0;

    struct Step {
        const char* line;
        std::function<void()> act;
    };
    const std::vector<Step> steps = {
        {"W=2 Not opened...\r\n", [&] { com.Write("SS", 2); }},
        {"R=13 Not opened...\r\n", [&] { com.Read(buf, 13); }},
        {"P=41 Not opened...\r\n", [&] { com.PutByte(static_cast<uint8_t>(0x41)); }},
        {"G: Not opened...\r\n", [&] { com.GetByte(b); }},
        {"W=2\r\n", [&] { ASSERT_TRUE(com.Open()); com.Write("SS", 2); }},
        {"P=A5\r\n", [&] { com.PutByte(static_cast<uint8_t>(0xA5)); }},
        {"R=3\r\n", [&] { pty.Send({1, 2, 3}); com.Read(buf, 3); }},
        {"R=13 (5)\r\n", [&] { pty.Send({1, 2, 3, 4, 5}); com.Read(buf, 13); }},
        {"G=0B\r\n", [&] { pty.Send({0x0B}); com.GetByte(b); }},
        {"G: Err=0\r\n", [&] { com.GetByte(b); }},
        {"W=2 Err=1\r\n", [&] { pty.CloseMaster(); com.Write("SS", 2); }},
        {"P=41 Err=1\r\n", [&] { com.PutByte(static_cast<int8_t>(0x41)); }},
        {"R=13 Err=1\r\n", [&] { com.Read(buf, 13); }},
        {"G: Err=1\r\n", [&] { com.GetByte(b); }},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.line);
        s.act();
        const std::string log = cwd.read("Com.log");
        const std::string line = s.line;
        ASSERT_GE(log.size(), line.size());
        EXPECT_EQ(log.substr(log.size() - line.size()), line);
        const std::string stamp = log.substr(0, log.size() - line.size());
        const auto stamps = RecentStamps();
        EXPECT_NE(std::find(stamps.begin(), stamps.end(), stamp), stamps.end()) << stamp;
        EXPECT_EQ(std::string(com.TraceBuffer), line);
    }
}

TEST(ComPort, NoTraceFileWhenTraceIsOff)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    TempDir cwd;
    CwdGuard guard(cwd.path());
    ASSERT_TRUE(guard.Ok());
    COM com;
    pty.Configure(com, 50);
    uint8_t buf[4];
    com.Write("SS", 2);
    com.Read(buf, 4);
    ASSERT_TRUE(com.Open());
    com.Write("SS", 2);
    pty.Send({1, 2});
    com.Read(buf, 4);
    com.GetByte();
    com.PutByte(static_cast<uint8_t>(1));
    com.TraceLine(true);
    struct stat st{};
    EXPECT_NE(lstat(cwd.file("Com.log").c_str(), &st), 0);
    // The line was still formatted; only the file is skipped.
    EXPECT_EQ(std::string(com.TraceBuffer), "P=01\r\n");
}

TEST(ComPort, ClosedPortSendsNothing)
{
    PtyPort pty;
    ASSERT_TRUE(pty.Ok());
    COM com;
    pty.Configure(com, 50);
    ASSERT_TRUE(com.Open());
    ASSERT_TRUE(com.Close());
    StandLink link(com);
    StandStatus status;
    uint8_t block[32];
    EXPECT_FALSE(link.QueryStatus(status));
    EXPECT_FALSE(link.ReadFlashBlock(0x8000, block));
    EXPECT_FALSE(com.Write("SS", 2));
    EXPECT_EQ(com.BytesWritten, 0u);
    EXPECT_EQ(com.LastFailed, 1);
    EXPECT_FALSE(com.Read(block, 3));
    EXPECT_EQ(com.BytesRead, 0u);
    EXPECT_TRUE(pty.Drain().empty());
}

}  // namespace
