// The HEX reader: hand-made files for the format's corners, files written by
// independent tools (srec_cat, objcopy) for random images, and malformed input.
#include "service/FirmwareImage.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::string Hex2(unsigned v)
{
    char buf[3];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFF);
    return buf;
}

// One record line; sumError spoils the checksum byte.
std::string Rec(unsigned type, unsigned address, const Bytes& data, unsigned count, int sumError = 0,
                const char* end = "\r\n")
{
    unsigned sum = count + (address >> 8) + (address & 0xFF) + type;
    std::string line = ":" + Hex2(count) + Hex2(address >> 8) + Hex2(address) + Hex2(type);
    for (uint8_t b : data) {
        line += Hex2(b);
        sum += b;
    }
    return line + Hex2(0u - sum + static_cast<unsigned>(sumError)) + end;
}
std::string Rec(unsigned type, unsigned address, const Bytes& data) { return Rec(type, address, data, static_cast<unsigned>(data.size())); }
std::string Data(unsigned address, const Bytes& data) { return Rec(0, address, data); }
std::string Linear(unsigned upper) { return Rec(4, 0, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)}); }
const std::string Eof = ":00000001FF\r\n";

Bytes Seq(size_t n, uint8_t first)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(first + i);
    return b;
}

struct Read {
    int length = -1;
    FirmwareImage fw;
};

Read ReadText(const TempDir& dir, const std::string& text)
{
    dir.write("f.hex", text);
    Read r;
    ClearFirmwareImage(r.fw);
    r.length = ReadHexFile(r.fw.image, r.fw.fuses, dir.file("f.hex"));
    return r;
}

bool AllFF(const uint8_t* p, size_t n) { return std::all_of(p, p + n, [](uint8_t b) { return b == 0xFF; }); }

// ---------------------------------------------------------------- corners

struct Corner {
    const char* name;
    std::string text;
    int length;  // 0: refused
    // image bytes expected (address, value) and fuses expected (all 16)
    std::vector<std::pair<unsigned, uint8_t>> image;
    Bytes fuses;  // empty: all 0xFF
};

TEST(HexReader, CornersOfTheFormat)
{
    const Bytes sixteen = Seq(16, 0xA0);
    Bytes fusesFrom16(sixteen.begin(), sixteen.begin() + 14);
    fusesFrom16.push_back(0xFF);
    fusesFrom16.push_back(0xFF);
    const std::string eofNoEnd = ":00000001FF";

    const std::vector<Corner> corners = {
        {"end record alone", Eof, 1, {}, {}},
        {"one byte at 0000", Data(0, {0x12}) + Eof, 1, {{0, 0x12}, {1, 0xFF}}, {}},
        {"one byte at 7FFF", Data(0x7FFF, {0x34}) + Eof, 32768, {{0x7FFF, 0x34}}, {}},
        {"one byte at 8000", Data(0x8000, {0x56}) + Eof, 32769, {{0x8000, 0x56}}, {}},
        {"two runs with a gap", Data(0, Seq(128, 0)) + Data(0x80, Seq(128, 0x80)) + Data(0x400, Seq(32, 0x40)) + Eof, 0x420,
         {{0xFF, 0xFF}, {0x100, 0xFF}, {0x3FF, 0xFF}, {0x400, 0x40}, {0x41F, 0x5F}}, {}},
        {"configuration block, then back to the image",
         Linear(0x30) + Data(0, sixteen) + Linear(0) + Data(0x10, {0x77}) + Eof, 0x11, {{0x10, 0x77}, {0, 0xFF}},
         fusesFrom16},
        {"configuration offsets above 13 dropped", Linear(0x30) + Data(12, {1, 2, 3, 4}) + Eof, 1, {{0, 0xFF}},
         {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 0xFF, 0xFF}},
        {"data under 0x0020 discarded", Data(0, {9}) + Linear(0x20) + Data(0x100, Seq(16, 1)) + Eof, 1,
         {{0, 9}, {0x100, 0xFF}}, {}},
        {"data under 0x00F0 discarded", Linear(0xF0) + Data(0x7000, Seq(16, 1)) + Eof, 1, {{0x7000, 0xFF}}, {}},
        {"wrong checksum under 0x0020", Linear(0x20) + Rec(0, 0x100, {1, 2}, 2, 1) + Eof, 0, {}, {}},
        {"lower-case digit", ":0100000012ed\r\n" + Eof, 0, {}, {}},
        {"lower-case in the end record", Data(0, {1}) + ":00000001ff\r\n", 0, {}, {}},
        {"LF-only line ends", Rec(0, 0, {1}, 1, 0, "\n") + Rec(1, 0, {}, 0, 0, "\n"), 0, {}, {}},
        {"no end record", Data(0, {1}), 0, {}, {}},
        {"blank line between records", Data(0, {1}) + "\r\n" + Eof, 0, {}, {}},
        {"one wrong checksum", Data(0, {1}) + Rec(0, 1, {2}, 1, 1) + Eof, 0, {}, {}},
        {"end record without line end", Data(0, {7}) + eofNoEnd, 1, {{0, 7}}, {}},
        {"end record with half a line end", Data(0, {7}) + eofNoEnd + "\r", 1, {{0, 7}}, {}},
        {"text after the end record", Data(0, {7}) + Eof + "garbage\x01\x02 :zz", 1, {{0, 7}}, {}},
        {"segment record changes nothing", Rec(2, 0, {0x10, 0x00}) + Data(0x20, {5}) + Eof, 0x21, {{0x20, 5}}, {}},
        {"start address record without data", Data(0, {3}) + Rec(5, 0, {}, 0) + Rec(3, 0, {}, 0) + Eof, 1,
         {{0, 3}}, {}},
        {"start linear address record with data", Data(0, {3}) + Rec(5, 0, {0, 0, 0x12, 0x34}) + Eof, 0, {}, {}},
        {"start segment address record with data", Rec(3, 0, {0, 0, 0x12, 0x34}) + Eof, 0, {}, {}},
        {"record running past FFFFh", Data(0xFFF8, Seq(16, 0xC0)) + Eof, 0x10008,
         {{0xFFF8, 0xC0}, {0xFFFF, 0xC7}, {0, 0xFF}}, {}},
        {"empty file", "", 0, {}, {}},
        {"file ends inside a byte", ":0100000", 0, {}, {}},
        {"file ends before the checksum", ":01000000AB", 0, {}, {}},
        {"not a colon first", " :00000001FF\r\n", 0, {}, {}},
    };
    TempDir dir;
    for (const Corner& c : corners) {
        SCOPED_TRACE(c.name);
        Read r = ReadText(dir, c.text);
        EXPECT_EQ(r.length, c.length);
        for (auto [address, value] : c.image)
            EXPECT_EQ(r.fw.image[address], value) << "image at " << address;
        if (c.fuses.empty())
            EXPECT_TRUE(AllFF(r.fw.fuses, 16));
        else
            EXPECT_EQ(Bytes(r.fw.fuses, r.fw.fuses + 16), c.fuses);
    }
}

TEST(HexReader, BytesStoredBeforeAFailureStayAndNothingIsCleared)
{
    TempDir dir;
    dir.write("f.hex", Data(0x10, {0xAB, 0xCD}) + Rec(0, 0x20, {1}, 1, 1) + Eof);
    FirmwareImage fw;
    std::memset(&fw, 0x5A, sizeof fw);
    EXPECT_EQ(ReadHexFile(fw.image, fw.fuses, dir.file("f.hex")), 0);
    EXPECT_EQ(fw.image[0x10], 0xAB);
    EXPECT_EQ(fw.image[0x11], 0xCD);
    EXPECT_EQ(fw.image[0x12], 0x5A);
    EXPECT_EQ(fw.fuses[0], 0x5A);
}

TEST(HexReader, TheLineEndIsTakenBlindly)
{
    // Any two characters close a record; only the one after them must be ':'.
    TempDir dir;
    Read r = ReadText(dir, Rec(0, 0, {0x42}, 1, 0, "xy") + Rec(1, 0, {}, 0, 0, "!!"));
    EXPECT_EQ(r.length, 1);
    EXPECT_EQ(r.fw.image[0], 0x42);
}

TEST(HexReader, LinearAddressRecordReadsExactlyTwoBytesWhateverItsCount)
{
    TempDir dir;
    // Count 00 on a type 4 record: still two bytes follow, then the checksum.
    const unsigned sum = 0x00 + 0x04 + 0x00 + 0x30;
    const std::string ela = ":000000040030" + Hex2(0u - sum) + "\r\n";
    Read r = ReadText(dir, ela + Data(2, {0x99}) + Eof);
    EXPECT_EQ(r.length, 1);
    EXPECT_EQ(r.fw.fuses[2], 0x99);
    EXPECT_EQ(r.fw.image[2], 0xFF);
}

TEST(HexReader, MissingFileIsUnreadable)
{
    TempDir dir;
    FirmwareImage fw;
    ClearFirmwareImage(fw);
    EXPECT_EQ(ReadHexFile(fw.image, fw.fuses, dir.file("nothing.hex")), 0);
    EXPECT_EQ(ReadHexFile(fw.image, fw.fuses, dir.path()), 0);  // a folder
}

// ---------------------------------------------------------------- verdicts

TEST(LoadFirmwareFile, JudgesLengthAndClearsTheImageFirst)
{
    struct Case {
        const char* name;
        std::string text;
        LoadVerdict verdict;
        int length;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"end record alone", Eof, LoadVerdict::Ok, 1, ""},
        {"byte at 7FFF", Data(0x7FFF, {1}) + Eof, LoadVerdict::Ok, 32768, ""},
        {"byte at 8000", Data(0x8000, {1}) + Eof, LoadVerdict::TooLong, 0, "Слишком длинный файл..."},
        {"past FFFFh", Data(0xFFF0, Seq(32, 0)) + Eof, LoadVerdict::TooLong, 0, "Слишком длинный файл..."},
        {"lower case", ":0100000012ed\r\n" + Eof, LoadVerdict::Unreadable, 0, "Не могу прочитать файл..."},
        {"no end record", Data(0, {1}), LoadVerdict::Unreadable, 0, "Не могу прочитать файл..."},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("f.hex", c.text);
        FirmwareImage fw;
        std::memset(&fw, 0x00, sizeof fw);
        int length = -1;
        EXPECT_EQ(LoadFirmwareFile(fw, dir.file("f.hex"), length), c.verdict);
        EXPECT_EQ(length, c.length);
        EXPECT_EQ(LoadVerdictText(c.verdict), QString::fromUtf8(c.message));
        if (c.verdict == LoadVerdict::Ok) {
            EXPECT_EQ(fw.image[length], 0xFF) << "cleared to 0xFF before the read";
        }
        EXPECT_EQ(fw.fuses[15], 0xFF);
    }
    EXPECT_EQ(JudgeFirmwareLength(-3), LoadVerdict::Unreadable);
}

// ---------------------------------------------------------------- malformed input

TEST(HexReader, BinaryGarbageFails)
{
    TempDir dir;
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(1 + rng() % 4096, '\0');
        for (char& c : bytes)
            c = static_cast<char>(rng());
        if (round % 2 == 0)
            bytes[0] = ':';  // get past the first check
        SCOPED_TRACE(round);
        EXPECT_EQ(ReadText(dir, bytes).length, 0);
    }
}

long MaxResidentKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(HexReader, HundredMegabyteFileFailsInOnePassWithLittleMemory)
{
    // Valid records without an end record: the reader must walk the whole file.
    TempDir dir;
    const std::string line = Data(0x1000, Seq(32, 0x11));
    {
        std::ofstream out(dir.file("big.hex"), std::ios::binary);
        out << Linear(0x20);
        std::string chunk;
        while (chunk.size() < (1u << 20))
            chunk += line;
        for (int i = 0; i < 100; ++i)
            out << chunk;
    }
    const long before = MaxResidentKb();
    FirmwareImage fw;
    ClearFirmwareImage(fw);
    EXPECT_EQ(ReadHexFile(fw.image, fw.fuses, dir.file("big.hex")), 0);
    EXPECT_LT(MaxResidentKb() - before, 16 * 1024) << "the file was held in memory";
    EXPECT_TRUE(AllFF(fw.image, sizeof fw.image));
}

// ---------------------------------------------------------------- independent writers

struct Segment {
    uint32_t address;
    Bytes bytes;
};

struct Oracle {
    FirmwareImage fw;
    int length = 1;
    std::vector<Segment> segments;  // image segments, then the configuration block last
};

Oracle RandomFirmware(std::mt19937& rng, uint32_t limit, bool withFuses)
{
    Oracle o;
    ClearFirmwareImage(o.fw);
    uint32_t highest = 0;
    uint32_t at = rng() % 64;
    const int count = 1 + static_cast<int>(rng() % 6);
    for (int i = 0; i < count && at < limit; ++i) {
        const uint32_t size = std::min<uint32_t>(1 + rng() % 4000, limit - at);
        Segment s{at, Bytes(size)};
        for (uint8_t& b : s.bytes)
            b = static_cast<uint8_t>(rng());
        std::copy(s.bytes.begin(), s.bytes.end(), o.fw.image + at);
        highest = at + size - 1;
        o.segments.push_back(std::move(s));
        at += size + rng() % 3000;  // a gap, sometimes none
    }
    o.length = static_cast<int>(highest + 1);
    if (withFuses) {
        Segment s{0x300000, Bytes(14)};
        for (uint8_t& b : s.bytes)
            b = static_cast<uint8_t>(rng());
        std::copy(s.bytes.begin(), s.bytes.end(), o.fw.fuses);
        o.segments.push_back(std::move(s));
    }
    return o;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Lines made CR LF and upper case; start-address records (types 3, 5) taken out.
std::string Normalise(const std::string& text, bool dropEnd)
{
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos)
            eol = text.size();
        std::string line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        std::transform(line.begin(), line.end(), line.begin(), [](char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); });
        const std::string type = line.size() >= 9 ? line.substr(7, 2) : "";
        if (type == "03" || type == "05" || (dropEnd && type == "01"))
            continue;
        out += line + "\r\n";
    }
    return out;
}

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

void WriteSegments(const TempDir& dir, const Oracle& o)
{
    for (size_t i = 0; i < o.segments.size(); ++i) {
        std::ofstream out(dir.file("seg" + std::to_string(i) + ".bin"), std::ios::binary);
        out.write(reinterpret_cast<const char*>(o.segments[i].bytes.data()), static_cast<std::streamsize>(o.segments[i].bytes.size()));
    }
}

std::string SrecCat(const TempDir& dir, const Oracle& o, const std::string& options)
{
    WriteSegments(dir, o);
    std::string cmd = "/usr/bin/srec_cat";
    for (size_t i = 0; i < o.segments.size(); ++i)
        cmd += " " + dir.file("seg" + std::to_string(i) + ".bin") + " -binary -offset " + std::to_string(o.segments[i].address);
    cmd += " -o " + dir.file("out.hex") + " -intel " + options;
    EXPECT_EQ(Shell(cmd), 0) << cmd;
    return Normalise(ReadFile(dir.file("out.hex")), false);
}

std::string Objcopy(const TempDir& dir, const Oracle& o)
{
    WriteSegments(dir, o);
    std::string text;
    for (size_t i = 0; i < o.segments.size(); ++i) {
        const std::string cmd = "objcopy -I binary -O ihex --change-addresses " + std::to_string(o.segments[i].address) +
                                " " + dir.file("seg" + std::to_string(i) + ".bin") + " " + dir.file("out.hex");
        EXPECT_EQ(Shell(cmd), 0) << cmd;
        text += Normalise(ReadFile(dir.file("out.hex")), true);
    }
    return text + Eof;
}

void ExpectSame(const TempDir& dir, const std::string& text, const Oracle& o)
{
    Read r = ReadText(dir, text);
    ASSERT_EQ(r.length, o.length);
    EXPECT_EQ(std::memcmp(r.fw.image, o.fw.image, sizeof o.fw.image), 0) << "image";
    EXPECT_EQ(Bytes(r.fw.fuses, r.fw.fuses + 16), Bytes(o.fw.fuses, o.fw.fuses + 16)) << "fuses";
}

TEST(HexReaderDifferential, SrecCatFiles)
{
    TempDir dir;
    std::mt19937 rng(1234);
    const char* blockSizes[] = {"", "-Output_Block_Size=16", "-Output_Block_Size=32", "-Output_Block_Size=255",
                                "-Output_Block_Size=1"};
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        Oracle o = RandomFirmware(rng, round % 4 == 3 ? 0x10000 : 0x8000, round % 3 != 2);
        ExpectSame(dir, SrecCat(dir, o, blockSizes[round % 5]), o);
    }
}

TEST(HexReaderDifferential, SrecCatSegmentRecordFiles)
{
    // 20-bit addressing: srec_cat writes extended segment address records.
    TempDir dir;
    std::mt19937 rng(99);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        Oracle o = RandomFirmware(rng, 0x8000, false);
        const std::string text = SrecCat(dir, o, "-address-length=3 -Output_Block_Size=16");
        ASSERT_NE(text.find(":02000002"), std::string::npos) << "no segment record written";
        ExpectSame(dir, text, o);
    }
}

TEST(HexReaderDifferential, ObjcopyFiles)
{
    TempDir dir;
    std::mt19937 rng(4321);
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        Oracle o = RandomFirmware(rng, 0x8000, round % 2 == 0);
        ExpectSame(dir, Objcopy(dir, o), o);
    }
}

TEST(HexReaderDifferential, SegmentValueIsNotApplied)
{
    // srec_cat puts data at 17FF0h as segment 1000h + 7FF0h; the reader keeps the plain 16-bit address.
    TempDir dir;
    Oracle o;
    ClearFirmwareImage(o.fw);
    o.segments.push_back({0x17FF0, Seq(40, 0x20)});
    const std::string text = SrecCat(dir, o, "-address-length=3");
    ASSERT_NE(text.find(":020000021000EC"), std::string::npos);
    Read r = ReadText(dir, text);
    EXPECT_EQ(r.length, 0x7FF0 + 40);
    EXPECT_EQ(r.fw.image[0x7FF0], 0x20);
    EXPECT_EQ(r.fw.image[0x7FF0 + 39], 0x20 + 39);
}

TEST(HexReaderDifferential, ObjcopyStartAddressRecordWithDataIsRefused)
{
    TempDir dir;
    Oracle o;
    ClearFirmwareImage(o.fw);
    o.segments.push_back({0x1234, Seq(40, 0)});
    WriteSegments(dir, o);
    ASSERT_EQ(Shell("objcopy -I binary -O ihex --change-addresses 0x1234 " + dir.file("seg0.bin") + " " + dir.file("out.hex")), 0);
    std::string raw = ReadFile(dir.file("out.hex"));
    ASSERT_NE(raw.find(":04000003"), std::string::npos) << "objcopy wrote no start address";
    std::string text;
    for (size_t pos = 0; pos < raw.size();) {  // CR LF and upper case, start record kept
        size_t eol = raw.find('\n', pos);
        std::string line = raw.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
        pos = eol == std::string::npos ? raw.size() : eol + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            text += line + "\r\n";
    }
    EXPECT_EQ(ReadText(dir, text).length, 0);
    EXPECT_EQ(ReadText(dir, Normalise(raw, false)).length, 0x1234 + 40);
}

}  // namespace
