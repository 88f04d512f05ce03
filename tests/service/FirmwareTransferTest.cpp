// Upload and comparison against the stand simulator, its state files and its faults.
#include "service/FirmwareTransfer.h"
#include "SimStand.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

FirmwareImage RandomFirmware(int length, bool withFuses, uint32_t seed)
{
    FirmwareImage fw;
    ClearFirmwareImage(fw);
    std::mt19937 rng(seed);
    for (int i = 0; i < length; ++i)
        fw.image[i] = static_cast<uint8_t>(rng());
    if (withFuses)
        for (int i = 0; i < 14; ++i)
            fw.fuses[i] = static_cast<uint8_t>(rng());
    return fw;
}

struct Recorder {
    int started = 0;
    int maximum = -1;
    std::vector<int> offsets;
    TransferProgress Progress()
    {
        return {[this](int length) {
                    ++started;
                    maximum = length;
                },
                [this](int offset) { offsets.push_back(offset); }};
    }
};

// What the stand holds must be exactly the image, the fuses and the length.
void ExpectStandHolds(const SimStand& stand, const FirmwareImage& fw, int length)
{
    const Bytes eprom = stand.StateFile("eprom.bin");
    const Bytes flash = stand.StateFile("flash.bin");
    ASSERT_EQ(eprom.size(), 256u);
    ASSERT_EQ(flash.size(), 65536u);
    EXPECT_EQ(Bytes(eprom.begin() + 0x80, eprom.begin() + 0x90), Bytes(fw.fuses, fw.fuses + 16));
    EXPECT_EQ(eprom[0x90], length % 256);
    EXPECT_EQ(eprom[0x91], length / 256);
    const int blocks = (length + 31) / 32;
    EXPECT_EQ(Bytes(flash.begin() + 0x8000, flash.begin() + 0x8000 + blocks * 32), Bytes(fw.image, fw.image + blocks * 32));
}

TEST(FirmwareTransfer, UploadThenCompareMatchesAndStateHoldsTheFirmware)
{
    SimStand stand({"--state-dir"});
    const int length = 32768;
    const FirmwareImage fw = RandomFirmware(length, true, 1);
    Recorder up;
    const UploadResult uploaded = UploadFirmware(stand.link, fw, length, up.Progress());
    EXPECT_EQ(uploaded, UploadResult::Ok);
    EXPECT_TRUE(IsSuccess(uploaded));
    EXPECT_EQ(ResultText(uploaded), QStringLiteral("Успешно записано..."));
    EXPECT_EQ(up.started, 1);
    EXPECT_EQ(up.maximum, length);
    ASSERT_EQ(up.offsets.size(), 1024u);
    EXPECT_EQ(up.offsets.front(), 0);
    EXPECT_EQ(up.offsets.back(), 0x7FE0);  // the last block at FFE0h
    ExpectStandHolds(stand, fw, length);
    EXPECT_EQ(stand.StateFile("eprom.bin")[0x91], 0x80);

    Recorder cmp;
    const CompareResult compared = CompareFirmware(stand.link, fw, length, cmp.Progress());
    EXPECT_EQ(compared, CompareResult::Match);
    EXPECT_EQ(ResultText(compared), QStringLiteral("Файл совпал с прошивкой..."));
    EXPECT_EQ(cmp.started, 1);
    EXPECT_EQ(cmp.offsets.size(), 1024u);
}

TEST(FirmwareTransfer, LengthOneSendsOneWholeBlock)
{
    SimStand stand({"--state-dir"}, false);
    ASSERT_TRUE(std::filesystem::create_directories(stand.StateDir()));
    stand.WriteStateFile("flash.bin", Bytes(65536, 0x00));
    ASSERT_TRUE(stand.Start());
    FirmwareImage fw;
    ClearFirmwareImage(fw);
    fw.image[0] = 0x3C;
    Recorder up;
    EXPECT_EQ(UploadFirmware(stand.link, fw, 1, up.Progress()), UploadResult::Ok);
    EXPECT_EQ(up.offsets, std::vector<int>{0});
    const Bytes flash = stand.StateFile("flash.bin");
    const Bytes eprom = stand.StateFile("eprom.bin");
    EXPECT_EQ(flash[0x8000], 0x3C);
    EXPECT_EQ(Bytes(flash.begin() + 0x8001, flash.begin() + 0x8020), Bytes(31, 0xFF));
    EXPECT_EQ(flash[0x8020], 0x00) << "only one block is written";
    EXPECT_EQ(eprom[0x90], 0x01);
    EXPECT_EQ(eprom[0x91], 0x00);
    EXPECT_EQ(Bytes(eprom.begin() + 0x80, eprom.begin() + 0x90), Bytes(16, 0xFF)) << "no configuration: all 0xFF";
}

TEST(FirmwareTransfer, EndToEndFromAHexFile)
{
    // srec_cat writes the file; the loaded firmware goes up and compares equal.
    SimStand stand({"--state-dir"});
    const std::string bin = stand.Dir().file("fw.bin");
    const std::string fuses = stand.Dir().file("fuses.bin");
    stand.Dir().write("fw.bin", std::string(1000, '\x5A') + "tail");
    stand.Dir().write("fuses.bin", std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E", 14));
    const std::string hex = stand.Dir().file("fw.hex");
    ASSERT_EQ(std::system(("/usr/bin/srec_cat " + bin + " -binary -offset 0x100 " + fuses + " -binary -offset 0x300000 -o " +
                           hex + " -intel >/dev/null 2>&1 && sed -i 's/$/\\r/' " + hex).c_str()),
              0);
    FirmwareImage fw;
    int length = 0;
    ASSERT_EQ(LoadFirmwareFile(fw, hex, length), LoadVerdict::Ok);
    EXPECT_EQ(length, 0x100 + 1004);
    EXPECT_EQ(UploadFirmware(stand.link, fw, length), UploadResult::Ok);
    EXPECT_EQ(CompareFirmware(stand.link, fw, length), CompareResult::Match);
    ExpectStandHolds(stand, fw, length);
    EXPECT_EQ(stand.StateFile("eprom.bin")[0x8D], 0x0E);
    EXPECT_EQ(stand.StateFile("eprom.bin")[0x8E], 0xFF);
}

TEST(FirmwareTransfer, ChangedFlashByteBetweenRunsIsReported)
{
    SimStand stand({"--state-dir"});
    const int length = 4000;
    const FirmwareImage fw = RandomFirmware(length, true, 2);
    ASSERT_EQ(UploadFirmware(stand.link, fw, length), UploadResult::Ok);
    stand.Stop();
    Bytes flash = stand.StateFile("flash.bin");
    flash[0x8000 + 3000] ^= 0x01;
    stand.WriteStateFile("flash.bin", flash);
    ASSERT_TRUE(stand.Start());
    Recorder cmp;
    const CompareResult result = CompareFirmware(stand.link, fw, length, cmp.Progress());
    EXPECT_EQ(result, CompareResult::FlashDiffers);
    EXPECT_EQ(ResultText(result), QStringLiteral("Несовпадение прошивки..."));
    EXPECT_FALSE(IsSuccess(result));
    EXPECT_EQ(cmp.started, 1);
    EXPECT_EQ(cmp.offsets.size(), 3000u / 32) << "blocks before the differing one were passed";
}

// Every failure row, reached through the simulator's faults or its state files.
TEST(FirmwareTransfer, UploadFailures)
{
    const int length = 200;  // 7 blocks
    const FirmwareImage fw = RandomFirmware(length, true, 3);
    struct Case {
        const char* name;
        std::string faults;
        UploadResult result;
        const char* text;
        int blocksDone;
    };
    const std::vector<Case> cases = {
        {"first configuration byte", "drop=1", UploadResult::EpromWriteFailed, "Не удалось записать в EPROM...", -1},
        {"a later configuration byte", "drop=1,after=9", UploadResult::EpromWriteFailed, "Не удалось записать в EPROM...", -1},
        {"length low byte", "drop=1,after=16", UploadResult::EpromWriteFailed, "Не удалось записать в EPROM...", -1},
        {"length high byte", "corrupt=1,after=17", UploadResult::EpromWriteFailed, "Не удалось записать в EPROM...", -1},
        {"first block", "drop=1,after=18", UploadResult::FlashWriteFailed, "Ошибка записи во FLASH...", 0},
        {"fourth block not echoed", "corrupt=1,after=21", UploadResult::FlashWriteFailed, "Ошибка записи во FLASH...", 3},
        {"fourth block cut short", "truncate=1,after=21", UploadResult::FlashWriteFailed, "Ошибка записи во FLASH...", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimStand stand({"--state-dir", "--faults", c.faults});
        Recorder up;
        const UploadResult result = UploadFirmware(stand.link, fw, length, up.Progress());
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(ResultText(result), QString::fromUtf8(c.text));
        EXPECT_FALSE(IsSuccess(result));
        EXPECT_EQ(up.started, c.blocksDone >= 0 ? 1 : 0);
        EXPECT_EQ(static_cast<int>(up.offsets.size()), std::max(c.blocksDone, 0));
        if (c.blocksDone >= 0) {
            // New configuration and length, FLASH new before the failed block; nothing rolled back.
            const Bytes eprom = stand.StateFile("eprom.bin");
            const Bytes flash = stand.StateFile("flash.bin");
            EXPECT_EQ(Bytes(eprom.begin() + 0x80, eprom.begin() + 0x90), Bytes(fw.fuses, fw.fuses + 16));
            EXPECT_EQ(eprom[0x90], length);
            EXPECT_EQ(Bytes(flash.begin() + 0x8000, flash.begin() + 0x8000 + c.blocksDone * 32),
                      Bytes(fw.image, fw.image + c.blocksDone * 32));
        }
    }
}

TEST(FirmwareTransfer, CompareFailures)
{
    const int length = 200;
    const FirmwareImage fw = RandomFirmware(length, true, 4);
    struct Case {
        const char* name;
        std::string faults;
        std::function<void(Bytes& eprom, Bytes& flash)> edit;
        CompareResult result;
        const char* text;
        bool started;
    };
    const std::vector<Case> cases = {
        {"EPROM not readable", "drop=1", nullptr, CompareResult::EpromReadFailed, "Не удаётся прочитать EPROM стенда...", false},
        {"EPROM reply cut short", "truncate=1", nullptr, CompareResult::EpromReadFailed, "Не удаётся прочитать EPROM стенда...", false},
        {"configuration byte 0 differs", "", [](Bytes& e, Bytes&) { e[0x80] ^= 1; }, CompareResult::FusesDiffer,
         "Несовпадение в области FUSES...", false},
        {"configuration byte 15 differs", "", [](Bytes& e, Bytes&) { e[0x8F] = 0x00; }, CompareResult::FusesDiffer,
         "Несовпадение в области FUSES...", false},
        {"length low byte differs", "", [](Bytes& e, Bytes&) { e[0x90] += 1; }, CompareResult::LengthDiffers,
         "Несовпадение длины прошивки...", false},
        {"length high byte differs", "", [](Bytes& e, Bytes&) { e[0x91] = 1; }, CompareResult::LengthDiffers,
         "Несовпадение длины прошивки...", false},
        {"a FLASH block not readable", "drop=1,after=3", nullptr, CompareResult::FlashReadFailed,
         "Не удалось прочитать прошивку...", true},
        {"first FLASH byte differs", "", [](Bytes&, Bytes& f) { f[0x8000] ^= 0x80; }, CompareResult::FlashDiffers,
         "Несовпадение прошивки...", true},
        {"a byte past the length in the last block is not 0xFF", "", [](Bytes&, Bytes& f) { f[0x8000 + 223] = 0; },
         CompareResult::FlashDiffers, "Несовпадение прошивки...", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimStand stand({"--state-dir"});
        ASSERT_EQ(UploadFirmware(stand.link, fw, length), UploadResult::Ok);
        stand.Stop();
        Bytes eprom = stand.StateFile("eprom.bin");
        Bytes flash = stand.StateFile("flash.bin");
        if (c.edit) {
            c.edit(eprom, flash);
            stand.WriteStateFile("eprom.bin", eprom);
            stand.WriteStateFile("flash.bin", flash);
        }
        std::vector<std::string> args{"--state-dir"};
        if (!c.faults.empty())
            args.insert(args.end(), {"--faults", c.faults});
        ASSERT_TRUE(stand.Start(args));
        Recorder cmp;
        const CompareResult result = CompareFirmware(stand.link, fw, length, cmp.Progress());
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(ResultText(result), QString::fromUtf8(c.text));
        EXPECT_EQ(cmp.started, c.started ? 1 : 0);
        // Comparing never changes the stand.
        stand.Stop();
        EXPECT_EQ(stand.StateFile("eprom.bin"), eprom);
        EXPECT_EQ(stand.StateFile("flash.bin"), flash);
    }
}

TEST(FirmwareTransfer, ClosedPortAndImpossibleLengthsSendNothing)
{
    SimStand stand({"--state-dir"});
    const FirmwareImage fw = RandomFirmware(64, true, 5);
    const Bytes before = stand.StateFile("eprom.bin");
    for (int length : {0, -1, 32769, 65536}) {
        SCOPED_TRACE(length);
        Recorder r;
        EXPECT_EQ(UploadFirmware(stand.link, fw, length, r.Progress()), UploadResult::EpromWriteFailed);
        EXPECT_EQ(CompareFirmware(stand.link, fw, length, r.Progress()), CompareResult::EpromReadFailed);
        EXPECT_EQ(r.started, 0);
    }
    stand.com.Close();
    EXPECT_EQ(UploadFirmware(stand.link, fw, 64), UploadResult::EpromWriteFailed);
    EXPECT_EQ(CompareFirmware(stand.link, fw, 64), CompareResult::EpromReadFailed);
    stand.Stop();
    EXPECT_EQ(stand.StateFile("eprom.bin"), before);
}

}  // namespace
