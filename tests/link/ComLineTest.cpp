// The line settings the channel gives the terminal, read back from the kernel.
#include "PtyPort.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <gtest/gtest.h>

namespace {

struct LineCase {
    uint32_t baudIndex;
    int32_t parity;
    int32_t stopBits;
    uint32_t speed;
    tcflag_t parityBits;
    bool twoStops;
};

TEST(ComLine, SettingsFromTheFields)
{
    const LineCase cases[] = {
        {11, 0, 0, 115200, 0, false},
        {7, 0, 2, 19200, 0, true},
        {9, 2, 0, 56000, PARENB, false},
        {0, 1, 0, 110, PARENB | PARODD, false},
        {10, 3, 2, 57600, PARENB | PARODD | CMSPAR, true},
        {6, 4, 0, 9600, PARENB | CMSPAR, false},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.speed);
        PtyPort pty;
        ASSERT_TRUE(pty.Ok());
        COM com;
        pty.Configure(com);
        com.BaudIndex = c.baudIndex;
        com.Parity = c.parity;
        com.StopBits = c.stopBits;
        ASSERT_TRUE(com.Open());
        struct termios2 tio{};
        ASSERT_EQ(ioctl(com.Handle, TCGETS2, &tio), 0);
        EXPECT_EQ(tio.c_ospeed, c.speed);
        EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        // A pseudo-terminal drops PARENB (it has no wire); the rest stays.
        EXPECT_EQ(tio.c_cflag & (PARODD | CMSPAR), c.parityBits & (PARODD | CMSPAR));
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStops);
        EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.parity != 0);
        EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
        // Raw: no echo, no line editing, no translation, no flow control.
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
        EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        // Every byte value passes unchanged in both directions.
        Bytes all;
        for (int i = 0; i < 256; ++i)
            all.push_back(static_cast<uint8_t>(i));
        pty.Send(all);
        uint8_t got[256];
        ASSERT_TRUE(com.Read(got, 256));
        EXPECT_TRUE(std::equal(all.begin(), all.end(), got));
        ASSERT_TRUE(com.Write(all.data(), 256));
        EXPECT_EQ(pty.Receive(256), all);
    }
}

}  // namespace
