// EPROM and FLASH dumps: line format, and the dumps against the simulator.
#include "service/MemoryView.h"
#include "SimStand.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t n, uint32_t mul)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>((i * mul) ^ (i >> 8));
    return b;
}

// A stand whose memories hold known patterns.
struct PatternStand {
    explicit PatternStand(std::vector<std::string> extra = {}) : stand({}, false)
    {
        std::filesystem::create_directories(stand.StateDir());
        stand.WriteStateFile("eprom.bin", eprom);
        stand.WriteStateFile("flash.bin", flash);
        std::vector<std::string> args{"--state-dir", stand.StateDir()};
        args.insert(args.end(), extra.begin(), extra.end());
        started = stand.Start(args);
    }
    Bytes eprom = Pattern(256, 37);
    Bytes flash = Pattern(65536, 13);
    SimStand stand;
    bool started = false;
};

QString Expected(const QString& label, const Bytes& memory, size_t from, size_t mask)
{
    QString line = label + ": ";
    for (size_t i = 0; i < 16; ++i)
        line += QString::asprintf("%02X ", memory[(from + i) & mask]);
    return line;
}

TEST(MemoryView, LineFormats)
{
    const Bytes ff(16, 0xFF);
    Bytes mixed(16);
    for (int i = 0; i < 16; ++i)
        mixed[i] = static_cast<uint8_t>(i * 0x11 + (i == 1 ? 0x0A : 0));
    struct Case {
        QString line;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {EpromDumpLine(0x00, ff.data()), "00: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF "},
        {EpromDumpLine(0xF0, mixed.data()), "F0: 00 1B 22 33 44 55 66 77 88 99 AA BB CC DD EE FF "},
        {EpromDumpLine(0x0A, ff.data()).left(4), "0A: "},
        {FlashDumpLine(0x8000, ff.data()), "8000: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF "},
        {FlashDumpLine(0x000C, mixed.data()), "000C: 00 1B 22 33 44 55 66 77 88 99 AA BB CC DD EE FF "},
        {FlashDumpLine(0xABCD, ff.data()).left(6), "ABCD: "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.line, QString::fromLatin1(c.expected));
}

TEST(MemoryView, EpromDump)
{
    PatternStand p;
    ASSERT_TRUE(p.started);
    const QStringList lines = DumpEprom(p.stand.link);
    ASSERT_EQ(lines.size(), 16);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(lines[i], Expected(QString::asprintf("%02X", i * 16), p.eprom, i * 16, 0xFF));
}

TEST(MemoryView, EpromDumpStopsAtTheFirstFailedBlock)
{
    PatternStand p({"--faults", "drop=1,after=3"});
    ASSERT_TRUE(p.started);
    const QStringList lines = DumpEprom(p.stand.link);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_TRUE(lines.front().startsWith("00: "));
    EXPECT_TRUE(lines.back().startsWith("50: "));
    EXPECT_EQ(lines[5], Expected("50", p.eprom, 0x50, 0xFF));

    p.stand.com.Close();
    EXPECT_TRUE(DumpEprom(p.stand.link).isEmpty()) << "stand disconnected: nothing";
}

TEST(MemoryView, FlashViewAddresses)
{
    PatternStand p;
    ASSERT_TRUE(p.started);
    struct Case {
        const char* typed;
        const char* first;
        const char* second;
        int32_t after;  // FlashViewAddress after the step
        size_t from;    // where the stand's bytes come from
    };
    const std::vector<Case> cases = {
        {"32768", "8000", "8010", 32800, 0x8000},
        {"8000", "1F40", "1F50", 8032, 8000},
        {"-5", "0000", "0010", 32, 0},
        {"abc", "0000", "0010", 32, 0},
        {"12xyz", "000C", "001C", 44, 12},
        {"  +65504", "FFE0", "FFF0", 0, 0xFFE0},          // past the last block: wraps to 0
        {"65530", "FFFA", "000A", 0x001A, 0xFFFA},         // the stand's address wraps too
        {"70000", "1170", "1180", 0x1190, 70000 & 0xFFFF},  // above FFFFh: the low 16 bits, labels included
        {"-2147483648", "0000", "0010", 32, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        FlashView view;
        view.SetAddressText(QString::fromLatin1(c.typed));
        EXPECT_GE(view.FlashViewAddress, 0);
        QStringList lines{"kept"};
        ASSERT_TRUE(view.Next(p.stand.link, lines));
        ASSERT_EQ(lines.size(), 3);
        EXPECT_EQ(lines[0], "kept") << "the list is not cleared";
        EXPECT_EQ(lines[1], Expected(c.first, p.flash, c.from, 0xFFFF));
        EXPECT_EQ(lines[2], Expected(c.second, p.flash, c.from + 16, 0xFFFF));
        EXPECT_EQ(view.FlashViewAddress, c.after);
    }
}

TEST(MemoryView, FlashViewContinues)
{
    PatternStand p;
    ASSERT_TRUE(p.started);
    FlashView view;
    EXPECT_EQ(view.AddressText(), "0");
    QStringList lines;
    ASSERT_TRUE(view.Next(p.stand.link, lines));  // before any address was typed: from 0
    ASSERT_TRUE(view.Next(p.stand.link, lines));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("0000: "));
    EXPECT_TRUE(lines[3].startsWith("0030: "));
    EXPECT_EQ(view.AddressText(), "64");
    // Typed above FFFFh, shown and kept as typed until the step.
    view.SetAddressText("70000");
    EXPECT_EQ(view.AddressText(), "70000");
}

TEST(MemoryView, FailedFlashReadAddsNothingAndKeepsTheAddress)
{
    PatternStand p({"--faults", "drop=1,after=1"});
    ASSERT_TRUE(p.started);
    FlashView view;
    view.SetAddressText("256");
    QStringList lines;
    ASSERT_TRUE(view.Next(p.stand.link, lines));
    EXPECT_EQ(view.FlashViewAddress, 288);
    EXPECT_FALSE(view.Next(p.stand.link, lines));
    EXPECT_EQ(lines.size(), 2);
    EXPECT_EQ(view.FlashViewAddress, 288) << "the next F8 asks for the same block";
    view.SetAddressText("70000");
    EXPECT_FALSE(view.Next(p.stand.link, lines));
    EXPECT_EQ(view.FlashViewAddress, 70000);
}

}  // namespace
