#include "monitor/StatusView.h"
#include "support/QtPrint.h"

#include <gtest/gtest.h>

namespace {

StandStatus Status(uint8_t state, uint8_t stage = 0, uint8_t checks1 = 0, uint8_t checks2 = 0)
{
    StandStatus s;
    s.State = state;
    s.Stage = stage;
    s.Checks1 = checks1;
    s.Checks2 = checks2;
    return s;
}

}  // namespace

TEST(StatusView, StateAndStageTexts)
{
    EXPECT_EQ(StateText(0), QStringLiteral("Программирование"));
    EXPECT_EQ(StateText(5), QStringLiteral("Ошибка записи во FLASH..."));
    EXPECT_EQ(StateText(99), QStringLiteral("Программирование успешно завершено..."));
    EXPECT_EQ(StateText(100), QStringLiteral("Режим тестирования"));
    EXPECT_EQ(StateText(201), QStringLiteral("Режим контроля тока - превышен ток - снято питание"));
    EXPECT_EQ(StateText(255), QStringLiteral("Нет действий"));
    for (int unknown : {7, 42, 98, 101, 199, 202, 254})
        EXPECT_FALSE(StateText(static_cast<uint8_t>(unknown)).has_value()) << unknown;

    EXPECT_EQ(StageText(0), QStringLiteral("Ожидание подключения счётчика..."));
    EXPECT_EQ(StageText(19), QStringLiteral("Тест индикатора...Режим низкого потребления..."));
    EXPECT_FALSE(StageText(20).has_value());
    EXPECT_FALSE(StageText(255).has_value());
    // Stages 1, 7 and 18 start with the Latin C the stand has always shown.
    for (int stage : {1, 7, 18}) {
        QString text = *StageText(static_cast<uint8_t>(stage));
        EXPECT_EQ(text[0].unicode(), 0x43) << stage;
        EXPECT_EQ(text[1], QChar(0x447)) << stage;
    }
    EXPECT_EQ(StageText(2)->at(0), QChar(0x417));
}

TEST(StatusView, LampsFollowTheirBitsExceptAtStageZero)
{
    struct Case {
        uint8_t stage, checks1, checks2;
        std::vector<int> lime;  // shapes lit
    } cases[] = {
        {0, 0xFF, 0xFF, {}},                                   // all silver, whatever the bits
        {5, 0x08, 0x00, {5, 6}},                               // the radio bit lights two lamps
        {3, 0x01, 0x00, {1}},
        {3, 0x02, 0x00, {2}},
        {3, 0x04, 0x00, {3}},
        {3, 0x40, 0x00, {4}},
        {3, 0x10, 0x00, {7}},
        {3, 0x80, 0x00, {8}},
        {3, 0x20, 0xC0, {}},                                   // bits that light nothing
        {3, 0x00, 0x01, {9}},
        {3, 0x00, 0x02, {10}},
        {3, 0x00, 0x04, {11}},
        {3, 0x00, 0x08, {12}},
        {3, 0x00, 0x10, {13}},
        {3, 0x00, 0x20, {14}},
        {19, 0xDF, 0x3F, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
    };
    for (const Case& c : cases) {
        auto colours = LampColors(Status(100, c.stage, c.checks1, c.checks2));
        for (int shape = 1; shape <= 14; ++shape) {
            bool lit = std::find(c.lime.begin(), c.lime.end(), shape) != c.lime.end();
            QColor expected = c.stage == 0 ? Colors::Silver : lit ? Colors::Lime : Colors::Red;
            EXPECT_EQ(colours[static_cast<size_t>(shape - 1)], expected)
                << "stage " << int(c.stage) << " checks " << int(c.checks1) << "/" << int(c.checks2) << " Shape" << shape;
        }
    }
    // Left column 1,2,3,4,9,10,11 then right column 5,6,7,8,12,13,14.
    std::vector<int> order;
    for (const LampSpec& lamp : LampLayout())
        order.push_back(lamp.shape);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 9, 10, 11, 5, 6, 7, 8, 12, 13, 14}));
    EXPECT_EQ(LampLayout()[4].caption, QString::fromUtf8("C\u0442абилизатор напряжения +3.6"));
}

TEST(StatusView, CurrentInMilliampsWheneverGiven)
{
    StandStatus s;
    s.CurrentMilliamps = 3;
    s.CurrentMicroamps = 3150;
    CurrentView mA = CurrentDisplay(s);
    EXPECT_EQ(mA.value, QStringLiteral("3"));
    EXPECT_EQ(mA.unit, QStringLiteral("[mA]"));
    EXPECT_EQ(mA.colour, Colors::Red);
    s.CurrentMilliamps = 0;
    s.CurrentMicroamps = 152;
    CurrentView uA = CurrentDisplay(s);
    EXPECT_EQ(uA.value, QStringLiteral("152"));
    EXPECT_EQ(uA.unit, QStringLiteral("[mkA]"));
    EXPECT_EQ(uA.colour, Colors::Black);
    s.CurrentMicroamps = 65535;
    EXPECT_EQ(CurrentDisplay(s).value, QStringLiteral("65535"));
}

TEST(StatusView, WriteButtonOnlyOnAnIdleStandWithCapableFirmware)
{
    StandInfo v1{3, 1}, v2{3, 2};
    EXPECT_FALSE(WriteSerialEnabled(false, Status(255), v1));
    EXPECT_TRUE(WriteSerialEnabled(false, Status(255), v2));
    EXPECT_FALSE(WriteSerialEnabled(false, Status(100), v2));
    EXPECT_FALSE(WriteSerialEnabled(true, Status(255), v2));
    EXPECT_FALSE(WriteSerialEnabled(false, Status(255), StandInfo{}));
}

TEST(StatusView, EventsGiveEntriesInBitOrder)
{
    struct Case {
        uint8_t events, state;
        std::vector<std::pair<QString, QString>> entries;
    } cases[] = {
        {0x05, 99, {{"Программирование", "OK"}}},
        {0x01, 99, {{"Повтор програм.", "OK"}}},
        {0x02, 5, {{"Программирование", "Ошибка 5"}}},
        {0x0B, 2, {{"Повтор програм.", "OK"}, {"Программирование", "Ошибка 2"}, {"Тестирование", "OK"}}},
        {0x08, 100, {{"Тестирование", "OK"}}},
        {0x04, 99, {}},
        {0xF0, 255, {}},
        {0x00, 255, {}},
    };
    for (const Case& c : cases) {
        StandStatus s = Status(c.state);
        s.Events = c.events;
        std::vector<std::pair<QString, QString>> got;
        for (const EventEntry& e : EventEntries(s))
            got.emplace_back(e.action, e.result);
        EXPECT_EQ(got, c.entries) << "events " << int(c.events);
        EXPECT_EQ(TestPassed(s), (c.events & 0x08) != 0);
    }
}
