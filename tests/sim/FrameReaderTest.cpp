#include "FrameReader.h"
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace standsim;
using simtest::Cmd;
using simtest::Hex;

namespace {

std::vector<std::string> Cut(FrameReader& r, const Bytes& in, int64_t now = 0)
{
    std::vector<std::string> out;
    for (const Frame& f : r.Push(in.data(), in.size(), now))
        out.push_back(Hex(f.bytes));
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes b;
    for (const auto& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

} // namespace

TEST(FrameReader, LengthsByCommand)
{
    const std::pair<char, size_t> table[] = {{'S', 2}, {'N', 2}, {'R', 2}, {'a', 2}, {'D', 2}, {'e', 3},
                                             {'E', 4}, {'f', 4}, {'A', 5}, {'F', 36}};
    for (auto [c, n] : table)
        EXPECT_EQ(CommandLength(static_cast<uint8_t>(c)), n) << c;
    for (int c = 0; c < 256; ++c) {
        const bool known = std::string("SNRaDeEfAF").find(static_cast<char>(c)) != std::string::npos;
        EXPECT_EQ(CommandLength(static_cast<uint8_t>(c)) != 0, known && c != 0) << c;
    }
    EXPECT_EQ(Checksum8(nullptr, 0), 0);
}

TEST(FrameReader, CutsFramesAndResyncs)
{
    Bytes flash{'F', 0x00, 0x80};
    for (int i = 0; i < 32; ++i)
        flash.push_back(static_cast<uint8_t>(i));
    flash = Cmd(flash);
    const Bytes badS{'S', 0xAC};
    struct Case {
        const char* name;
        Bytes in;
        std::vector<std::string> frames;
    } cases[] = {
        {"two frames in one read", Cat({Cmd({'S'}), Cmd({'e', 0x90})}), {"53 AD", "65 90 0B"}},
        {"junk before a frame", Cat({Bytes{0x00, 0x13, 0xFF}, Cmd({'N'})}), {"4E B2"}},
        {"bad sum, then a good frame", Cat({badS, Cmd({'S'})}), {"53 AD"}},
        // 'E' swallows the start of the next frame, fails its sum, and the search
        // starts again at its second byte, finding the 'S' frame inside.
        {"bad frame hides a good one", Cat({Bytes{'E', 0x01}, Cmd({'S'})}), {"53 AD"}},
        {"long frame", flash, {Hex(flash)}},
        {"a bad byte of a long frame", [&] { Bytes b = flash; b[20] ^= 0x40; return b; }(), {}},
    };
    for (const auto& c : cases) {
        FrameReader r;
        EXPECT_EQ(Cut(r, c.in), c.frames) << c.name;
    }
}

TEST(FrameReader, FramesSplitAcrossReadsAndStaleRemains)
{
    FrameReader r;
    const Bytes f = Cmd({'A', 0x17, 0x00, 0x11});
    for (size_t i = 0; i + 1 < f.size(); ++i)
        EXPECT_TRUE(Cut(r, Bytes{f[i]}, 1000 + int64_t(i) * 50).empty());
    const auto frames = r.Push(&f.back(), 1, 1000 + 4 * 50);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, f);
    EXPECT_EQ(frames[0].firstByteUs, 1000);

    // Half a frame left on the line for long is dropped; the next frame stands alone.
    EXPECT_TRUE(Cut(r, Bytes{'F', 0x00}, 10'000).empty());
    EXPECT_EQ(r.Pending(), 2u);
    EXPECT_EQ(Cut(r, Cmd({'S'}), 10'000 + FrameReader::kStaleUs + 1), (std::vector<std::string>{"53 AD"}));
    EXPECT_EQ(r.Pending(), 0u);
}

TEST(FrameReader, RestOfAReadWaitsWithItsOwnTime)
{
    // A whole frame and the head of the next come in one read; the head is
    // kept (and only it) and finishes with the later bytes, timed by its own
    // first byte, over and over without the buffer growing.
    FrameReader r;
    const Bytes a = Cmd({'A', 0x17, 0x00, 0x11});
    int64_t now = 1000;
    EXPECT_TRUE(Cut(r, Bytes(a.begin(), a.begin() + 2), now).empty());
    for (int round = 0; round < 3; ++round) {
        Bytes in(a.begin() + 2, a.end());
        in.insert(in.end(), a.begin(), a.begin() + 2);
        const auto frames = r.Push(in.data(), in.size(), now + 40);
        ASSERT_EQ(frames.size(), 1u) << round;
        EXPECT_EQ(frames[0].bytes, a) << round;
        EXPECT_EQ(frames[0].firstByteUs, now) << round;
        EXPECT_EQ(r.Pending(), 2u) << round;
        now += 40;
    }
    EXPECT_EQ(Cut(r, Bytes(a.begin() + 2, a.end()), now + 10), (std::vector<std::string>{Hex(a)}));
    EXPECT_EQ(r.Pending(), 0u);
}
