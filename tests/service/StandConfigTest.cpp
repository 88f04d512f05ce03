// Stand number, board version, board information and the serial number text.
#include "service/SerialNumber.h"
#include "service/StandConfig.h"
#include "SimStand.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using Bytes = std::vector<uint8_t>;

TEST(SerialNumberText, Format)
{
    struct Case {
        uint8_t year;
        uint16_t number;
        const char* text;
    };
    for (const Case& c : std::vector<Case>{{17, 23, "17-00023"}, {0, 0, "00-00000"}, {5, 42, "05-00042"},
                                           {99, 65535, "99-65535"}, {255, 65535, "255-65535"}, {100, 7, "100-00007"}})
        EXPECT_EQ(FormatSerialNumber(c.year, c.number), QString::fromLatin1(c.text));
}

TEST(StandNumber, TypedText)
{
    struct Case {
        const char* typed;
        int number;  // -1: ignored
    };
    const std::vector<Case> cases = {
        {"5", 5},   {"0", -1},    {"255", -1}, {"no digits", -1}, {"", -1},  {"256", -1},
        {"257", 1}, {"300", 44},  {"254", 254}, {" 7x", 7},       {"-1", -1}, {"-2", 254},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        const auto number = StandNumberFromText(QString::fromLatin1(c.typed));
        EXPECT_EQ(number ? *number : -1, c.number);
    }
    EXPECT_EQ(StandNumberInitialText(0), "0");
    EXPECT_EQ(StandNumberInitialText(254), "254");
}

TEST(StandNumber, WriteAndRestart)
{
    SimStand stand({"--state-dir"});
    const StandNumberResult result = WriteStandNumber(stand.link, 5);
    EXPECT_EQ(result, StandNumberResult::Written);
    EXPECT_EQ(StandNumberStatusText(result), QStringLiteral("Номера стенда записан..."));
    EXPECT_TRUE(ClearsStandInfoKnown(result));
    EXPECT_EQ(stand.StateFile("eprom.bin")[0x10], 5);
    StandInfo info;
    ASSERT_TRUE(stand.link.QueryStandInfo(info));
    EXPECT_EQ(info.StandNumber, 5) << "restarted: the stand reports its new number";
}

TEST(StandNumber, Failures)
{
    struct Case {
        const char* faults;
        StandNumberResult result;
        const char* text;
        bool written;
    };
    const std::vector<Case> cases = {
        {"drop=1", StandNumberResult::WriteFailed, "Ошибка записи номера стенда...", true},  // the stand took it; the reply was lost
        {"drop=1,after=1", StandNumberResult::RestartFailed, "Ошибка перезапуска стенда...", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        SimStand stand({"--state-dir", "--stand", "3", "--faults", c.faults});
        const StandNumberResult result = WriteStandNumber(stand.link, 9);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(StandNumberStatusText(result), QString::fromUtf8(c.text));
        EXPECT_FALSE(ClearsStandInfoKnown(result));
    }
    SimStand stand({"--state-dir", "--stand", "3"});
    stand.com.Close();
    EXPECT_EQ(WriteStandNumber(stand.link, 9), StandNumberResult::WriteFailed);
    stand.Stop();
    EXPECT_EQ(stand.StateFile("eprom.bin")[0x10], 3);
}

TEST(BoardVersion, TypedText)
{
    struct Case {
        const char* typed;
        int version;
    };
    for (const Case& c : std::vector<Case>{{"0", -1}, {"256", -1}, {"258", 2}, {"1", 1}, {"255", 255}, {"x", -1}, {"-1", 255}}) {
        SCOPED_TRACE(c.typed);
        const auto version = BoardVersionFromText(QString::fromLatin1(c.typed));
        EXPECT_EQ(version ? *version : -1, c.version);
    }
}

TEST(BoardVersion, ReadAndWrite)
{
    SimStand stand({"--state-dir"});
    uint8_t version = 0;
    ASSERT_TRUE(ReadBoardVersion(stand.link, version));
    EXPECT_EQ(version, stand.StateFile("eprom.bin")[0x9E]);
    EXPECT_EQ(BoardVersionInitialText(version), QString::number(version));

    const ServiceMessage done = WriteBoardVersion(stand.link, 2);
    EXPECT_EQ(done.caption, QStringLiteral("Успешно"));
    EXPECT_EQ(done.text, QStringLiteral("Версия платы счётчика газа записана..."));
    EXPECT_EQ(done.icon, ServiceMessage::Icon::None);
    EXPECT_EQ(stand.StateFile("eprom.bin")[0x9E], 2);
    ASSERT_TRUE(ReadBoardVersion(stand.link, version));
    EXPECT_EQ(version, 2);
}

TEST(BoardVersion, Failures)
{
    SimStand stand({"--faults", "drop=1"});
    uint8_t version = 77;
    EXPECT_FALSE(ReadBoardVersion(stand.link, version));
    EXPECT_EQ(version, 77);
    const ServiceMessage readFailed = BoardVersionReadFailedMessage();
    EXPECT_EQ(readFailed.caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(readFailed.text, QStringLiteral("Не удаётся прочитать EPROM стенда..."));
    EXPECT_EQ(readFailed.icon, ServiceMessage::Icon::Stop);
    const ServiceMessage writeFailed = WriteBoardVersion(stand.link, 3);
    EXPECT_EQ(writeFailed.caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(writeFailed.text, QStringLiteral("Не удалось записать в EPROM..."));
    EXPECT_EQ(writeFailed.icon, ServiceMessage::Icon::Stop);
}

TEST(BoardInfo, ReplyTexts)
{
    const Bytes record{1, 42, 0, 17, 0x00, 0x62, 0x19, 5, 1, 0};
    EXPECT_EQ(BoardInfoText(record.data()), QStringLiteral("Номер: 17-00042 задан на стенде номер 5"));
    const Bytes big{1, 0xFF, 0xFF, 99, 0x00, 0x62, 0x19, 254, 1, 0};
    EXPECT_EQ(BoardInfoText(big.data()), QStringLiteral("Номер: 99-65535 задан на стенде номер 254"));
    for (int marker : {4, 5, 6, 8}) {
        SCOPED_TRACE(marker);
        Bytes spoiled = record;
        spoiled[marker] ^= 0x10;
        EXPECT_EQ(BoardInfoText(spoiled.data()), QStringLiteral("Прочитано...Нет данных..."));
    }
}

TEST(BoardInfo, ThreeOutcomesAgainstTheStand)
{
    {
        SimStand stand;  // idle, the board holds no record yet
        const ServiceMessage m = BoardInfo(stand.link);
        EXPECT_EQ(m.caption, QStringLiteral("Информация"));
        EXPECT_EQ(m.text, QStringLiteral("Прочитано...Нет данных..."));
        EXPECT_EQ(m.icon, ServiceMessage::Icon::None);
    }
    {
        SimStand stand({"--stand", "5"});
        ASSERT_TRUE(stand.link.WriteSerialNumber(42, 17));
        uint8_t code = 1;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (code == 1 && std::chrono::steady_clock::now() < deadline)  // the stand takes a moment to write
            ASSERT_TRUE(stand.link.QuerySerialWriteResult(code));
        ASSERT_EQ(code, 2);
        EXPECT_EQ(BoardInfo(stand.link).text, QStringLiteral("Номер: 17-00042 задан на стенде номер 5"));
    }
    {
        SimStand stand({"--scenario", "production", "--cycle-ms", "86400000"});  // busy programming
        const ServiceMessage m = BoardInfo(stand.link);
        EXPECT_EQ(m.caption, QStringLiteral("Внимание"));
        EXPECT_EQ(m.text, QStringLiteral("Переведите стенд в выбор режима и повторите..."));
        EXPECT_EQ(m.icon, ServiceMessage::Icon::None);
    }
    for (const char* silence : {"drop=1", "truncate=1"}) {
        SimStand stand({"--faults", silence});
        EXPECT_TRUE(BoardInfo(stand.link).IsEmpty()) << silence;
    }
    {
        SimStand stand({"--scenario", "silent"});
        EXPECT_TRUE(BoardInfo(stand.link).IsEmpty());
        stand.com.Close();
        EXPECT_TRUE(BoardInfo(stand.link).IsEmpty());
    }
}

}  // namespace
