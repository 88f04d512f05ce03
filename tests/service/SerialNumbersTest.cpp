// The serial range (parse, what "OK" writes, TFSerNum and the whole command)
// and the serial write with its lamp.
#include "service/SerialRange.h"
#include "service/SerialWrite.h"
#include "service/Usernum.h"
#include "SimStand.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes RangeBlock(uint32_t count, uint16_t startNumber, uint8_t startYear, uint16_t lastNumber, uint8_t lastYear)
{
    Bytes b(32, 0xEE);
    b[0] = count & 0xFF;
    b[1] = (count >> 8) & 0xFF;
    b[2] = (count >> 16) & 0xFF;
    b[4] = startNumber & 0xFF;
    b[5] = startNumber >> 8;
    b[6] = startYear;
    b[8] = lastNumber & 0xFF;
    b[9] = lastNumber >> 8;
    b[10] = lastYear;
    return b;
}

TEST(SerialRange, ParseAndTexts)
{
    const Bytes block = RangeBlock(70000, 1234, 17, 65535, 18);
    EXPECT_EQ(block[0], 0x70);
    EXPECT_EQ(block[1], 0x11);
    EXPECT_EQ(block[2], 0x01);
    const SerialRange r = ParseSerialRange(block.data());
    EXPECT_EQ(r.count, 70000u);
    EXPECT_EQ(r.startNumber, 1234);
    EXPECT_EQ(r.startYear, 17);
    EXPECT_EQ(r.lastNumber, 65535);
    EXPECT_EQ(r.lastYear, 18);
    const SerialRangeTexts t = SerialRangeToTexts(r);
    EXPECT_EQ(t.count, "70000");
    EXPECT_EQ(t.curYear, "17");
    EXPECT_EQ(t.curNum, "1234");
    EXPECT_EQ(t.lastYear, "18");
    EXPECT_EQ(t.lastNum, "65535");
    EXPECT_EQ(ParseSerialRange(RangeBlock(0xFFFFFF, 0, 0, 0, 0).data()).count, 0xFFFFFFu);
}

TEST(SerialRange, WhatOkWrites)
{
    const SerialRange read = ParseSerialRange(RangeBlock(70000, 1000, 17, 2000, 18).data());
    const SerialRangeTexts same = SerialRangeToTexts(read);
    struct Case {
        const char* name;
        std::function<void(SerialRangeTexts&)> edit;
        std::vector<EpromWrite> writes;
    };
    const std::vector<Case> cases = {
        {"nothing changed", [](SerialRangeTexts&) {}, {}},
        {"same values typed differently", [](SerialRangeTexts& t) { t.curNum = " 01000"; t.lastYear = "+18abc"; }, {}},
        {"count zeroed", [](SerialRangeTexts& t) { t.count = "0"; }, {{0x92, 0}, {0x93, 0}, {0x94, 0}}},
        {"only the last year", [](SerialRangeTexts& t) { t.lastYear = "19"; }, {{0x9A, 0xD0}, {0x9B, 0x07}, {0x9C, 19}}},
        {"start number 70000 is 4464", [](SerialRangeTexts& t) { t.curNum = "70000"; }, {{0x96, 0x70}, {0x97, 0x11}, {0x98, 17}}},
        {"start year 300 is 44", [](SerialRangeTexts& t) { t.curYear = "300"; }, {{0x96, 0xE8}, {0x97, 0x03}, {0x98, 44}}},
        {"start number 66536 wraps to what was read", [](SerialRangeTexts& t) { t.curNum = "66536"; }, {}},
        {"start year 273 wraps to what was read", [](SerialRangeTexts& t) { t.curYear = "273"; }, {}},
        {"text without digits", [](SerialRangeTexts& t) { t.lastNum = "abc"; }, {{0x9A, 0}, {0x9B, 0}, {0x9C, 18}}},
        {"everything, in order",
         [](SerialRangeTexts& t) {
             t.curYear = "20";
             t.curNum = "1";
             t.lastYear = "21";
             t.lastNum = "65535";
             t.count = "0";
         },
         {{0x96, 1}, {0x97, 0}, {0x98, 20}, {0x9A, 0xFF}, {0x9B, 0xFF}, {0x9C, 21}, {0x92, 0}, {0x93, 0}, {0x94, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SerialRangeTexts edited = same;
        c.edit(edited);
        EXPECT_EQ(SerialRangeWrites(read, edited), c.writes);
    }
}

// ---------------------------------------------------------------- the window

TEST(TFSerNum, Layout)
{
    QWidget owner;
    owner.setGeometry(100, 100, 1000, 700);
    TFSerNum form(&owner);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Серийные номера"));
    EXPECT_EQ(form.size(), QSize(535, 341));
    if (QFontDatabase::families().contains("Tahoma"))
        EXPECT_EQ(form.font().pixelSize(), 16);
    else
        EXPECT_GE(form.font().pixelSize(), 12) << "a wider family is made only as small as its captions need";
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowSystemMenuHint);
    struct Place {
        QWidget* widget;
        int left, top, width;
        const char* text;
    };
    const std::vector<Place> places = {
        {form.Label1, 40, 64, -1, "Начальный серийный номер"},
        {form.EditCurYear, 276, 60, 37, nullptr},
        {form.Label2, 319, 64, -1, "-"},
        {form.EditCurNum, 331, 60, 57, nullptr},
        {form.Label3, 40, 116, -1, "Последний серийный номер"},
        {form.EditLastYear, 276, 112, 37, nullptr},
        {form.Label4, 319, 116, -1, "-"},
        {form.EditLastNum, 331, 112, 57, nullptr},
        {form.Label9, 40, 196, -1, "Выделено серийных номеров:"},
        {form.LabelQ, 276, 196, -1, "-----"},
        {form.ButtonZeroQ, 341, 196, 116, "Обнулить"},
        {form.Button1, 128, 16, 141, "OK"},
        {form.Button2, 275, 16, 141, "Отмена"},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(p.widget->metaObject()->className());
        EXPECT_EQ(p.widget->pos(), QPoint(p.left, p.top));
        if (p.width >= 0) {
            EXPECT_EQ(p.widget->width(), p.width);
        }
        if (!p.text)
            continue;
        if (auto* label = qobject_cast<QLabel*>(p.widget)) {
            EXPECT_EQ(label->text(), QString::fromUtf8(p.text));
        } else if (auto* button = qobject_cast<QPushButton*>(p.widget)) {
            EXPECT_EQ(button->text(), QString::fromUtf8(p.text));
        }
    }
    EXPECT_EQ(form.Panel1->geometry(), QRect(0, 280, 535, 61));
    EXPECT_EQ(form.Panel2->geometry(), QRect(0, 0, 535, 280));
    EXPECT_TRUE(form.Button1->isDefault());
    for (QLineEdit* edit : {form.EditCurYear, form.EditCurNum, form.EditLastYear, form.EditLastNum})
        EXPECT_EQ(edit->height(), 27);
}

TEST(TFSerNum, EditsAreWhiteWithBlackTextAndNothingIsCut)
{
    QWidget owner;
    TFSerNum form(&owner);
    form.SetTexts({"17", "65535", "255", "12345", "999999"});  // a six-digit count fits before "Обнулить"
    form.show();
    const QImage shot = form.grab().toImage();
    const QByteArray dir = qgetenv("ZORVA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(dir));
        shot.save(QString::fromLocal8Bit(dir) + "/TFSerNum.png");
    }
    for (QLineEdit* edit : {form.EditCurYear, form.EditCurNum, form.EditLastYear, form.EditLastNum}) {
        const QPoint inside = edit->mapTo(&form, QPoint(edit->width() - 3, edit->height() / 2));
        EXPECT_EQ(shot.pixelColor(inside * shot.devicePixelRatio()), QColor(Qt::white));
        EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black));
        // The widest figures fit their field.
        EXPECT_LE(edit->fontMetrics().horizontalAdvance(edit->text()), edit->width() - 4) << edit->text().toStdString();
    }
    for (QLabel* label : {form.Label1, form.Label3, form.Label9, form.LabelQ}) {
        EXPECT_LE(label->geometry().right(), form.width());
        EXPECT_GE(label->width(), label->sizeHint().width());
    }
    for (QPushButton* button : {form.ButtonZeroQ, form.Button1, form.Button2})
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 8);
    // Label9 and LabelQ share a line: the caption must end before the count.
    EXPECT_LT(form.Label9->geometry().right(), form.LabelQ->x());
    EXPECT_LT(form.LabelQ->geometry().right(), form.ButtonZeroQ->x());
}

TEST(TFSerNum, ZeroEnterAndEscape)
{
    QWidget owner;
    {
        TFSerNum form(&owner);
        form.SetTexts({"17", "1", "17", "2", "70000"});
        EXPECT_EQ(form.LabelQ->text(), "70000");
        QTest::mouseClick(form.ButtonZeroQ, Qt::LeftButton);
        EXPECT_EQ(form.LabelQ->text(), "0");
        EXPECT_EQ(form.Texts().count, "0");
    }
    struct Case {
        Qt::Key key;
        int result;
    };
    for (const Case& c : {Case{Qt::Key_Return, QDialog::Accepted}, Case{Qt::Key_Escape, QDialog::Rejected}}) {
        TFSerNum form(&owner);
        QTimer::singleShot(0, &form, [&form, key = c.key] { QTest::keyClick(form.EditCurNum, key); });
        EXPECT_EQ(form.exec(), c.result);
    }
}

TEST(TFSerNum, CentredOnItsOwner)
{
    QWidget owner;
    owner.setGeometry(200, 150, 1000, 800);
    owner.show();
    TFSerNum form(&owner);
    form.show();
    const QPoint ownerCentre = owner.frameGeometry().center();
    const QPoint formCentre = form.frameGeometry().center();
    EXPECT_LE((ownerCentre - formCentre).manhattanLength(), 2);
}

// ---------------------------------------------------------------- the command against the stand

struct RangeStand {
    explicit RangeStand(uint32_t count, std::vector<std::string> extra = {}) : stand({}, false)
    {
        std::filesystem::create_directories(stand.StateDir());
        eprom = Bytes(256, 0xFF);
        const Bytes block = RangeBlock(count, 1000, 17, 2000, 18);
        std::copy(block.begin(), block.begin() + 11, eprom.begin() + 0x92);
        eprom[0x95] = 0x55;
        eprom[0x99] = 0x66;
        stand.WriteStateFile("eprom.bin", eprom);
        std::vector<std::string> args{"--state-dir", stand.StateDir()};
        args.insert(args.end(), extra.begin(), extra.end());
        started = stand.Start(args);
    }
    Bytes Now()
    {
        stand.Stop();
        return stand.StateFile("eprom.bin");
    }
    Bytes eprom;
    SimStand stand;
    bool started = false;
};

TEST(SerNumCommand, WritesOnlyWhatChanged)
{
    struct Case {
        const char* name;
        std::function<void(TFSerNum&)> act;
        int result;
        std::vector<EpromWrite> changes;
    };
    const std::vector<Case> cases = {
        {"OK without changes", [](TFSerNum&) {}, QDialog::Accepted, {}},
        {"Обнулить, then OK", [](TFSerNum& f) { f.ButtonZeroQClick(); }, QDialog::Accepted, {{0x92, 0}, {0x93, 0}, {0x94, 0}}},
        {"last year changed", [](TFSerNum& f) { f.EditLastYear->setText("19"); }, QDialog::Accepted,
         {{0x9A, 0xD0}, {0x9B, 0x07}, {0x9C, 19}}},
        {"start 300-70000", [](TFSerNum& f) { f.EditCurYear->setText("300"); f.EditCurNum->setText("70000"); },
         QDialog::Accepted, {{0x96, 0x70}, {0x97, 0x11}, {0x98, 44}}},
        {"changes, then Отмена", [](TFSerNum& f) { f.ButtonZeroQClick(); f.EditCurYear->setText("1"); }, QDialog::Rejected, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RangeStand rs(70000);
        ASSERT_TRUE(rs.started);
        QWidget owner;
        SerialRangeTexts shown;
        const ServiceMessage m = SerNumCommand(rs.stand.link, &owner, [&](TFSerNum& form) {
            shown = form.Texts();
            c.act(form);
            return c.result;
        });
        EXPECT_TRUE(m.IsEmpty());
        EXPECT_EQ(shown.count, "70000") << "a 24-bit count is shown whole";
        EXPECT_EQ(shown.curYear, "17");
        EXPECT_EQ(shown.curNum, "1000");
        EXPECT_EQ(shown.lastYear, "18");
        EXPECT_EQ(shown.lastNum, "2000");
        Bytes expected = rs.eprom;
        for (auto [address, value] : c.changes)
            expected[address] = value;
        EXPECT_EQ(rs.Now(), expected);
    }
}

TEST(SerNumCommand, ModalWindowClosedWithEnter)
{
    RangeStand rs(5);
    ASSERT_TRUE(rs.started);
    QWidget owner;
    QTimer::singleShot(0, &owner, [] {
        auto* form = qobject_cast<TFSerNum*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr);
        form->EditLastNum->setText("3000");
        QTest::keyClick(form->EditLastNum, Qt::Key_Return);
    });
    EXPECT_TRUE(SerNumCommand(rs.stand.link, &owner).IsEmpty());
    Bytes expected = rs.eprom;
    expected[0x9A] = 3000 & 0xFF;
    expected[0x9B] = 3000 >> 8;
    EXPECT_EQ(rs.Now(), expected);
}

TEST(SerNumCommand, UnreadableRangeShowsTheErrorAndNoWindow)
{
    RangeStand rs(5, {"--faults", "drop=1"});
    ASSERT_TRUE(rs.started);
    QWidget owner;
    bool shown = false;
    const ServiceMessage m = SerNumCommand(rs.stand.link, &owner, [&](TFSerNum&) {
        shown = true;
        return int(QDialog::Accepted);
    });
    EXPECT_FALSE(shown);
    EXPECT_EQ(m.caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(m.text, QStringLiteral("Не удалось прочитать из тестирующего устройства..."));
    EXPECT_EQ(m.icon, ServiceMessage::Icon::Stop);
}

TEST(SerNumCommand, UnconfirmedWritesAreNotReported)
{
    // Only the read gets through: the writes go out and their replies are lost.
    RangeStand rs(5, {"--faults", "drop=1,after=1"});
    ASSERT_TRUE(rs.started);
    QWidget owner;
    const ServiceMessage m = SerNumCommand(rs.stand.link, &owner, [](TFSerNum& f) {
        f.ButtonZeroQClick();
        return int(QDialog::Accepted);
    });
    EXPECT_TRUE(m.IsEmpty());
}

// ---------------------------------------------------------------- the serial write

TEST(SerialWrite, WireNumber)
{
    struct Case {
        int32_t number;
        uint16_t wire;
    };
    for (const Case& c : std::vector<Case>{{42, 0x002A}, {65535, 0xFFFF}, {70000, 0x1170}, {-5, 0x00FB}, {-300, 0xFFD4}, {0, 0}})
        EXPECT_EQ(SerialWireNumber(c.number), c.wire) << c.number;
}

struct Clock {
    uint32_t now = 5000;
    TickSource Source()
    {
        return [this] { return now; };
    }
};

// Asks until the stand's answer is no longer "in progress" (the stand takes a moment); the clock stands still.
std::optional<QColor> CheckUntilSettled(SerialWriter& w, StandLink& link)
{
    std::optional<QColor> lamp;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (w.Awaited() && std::chrono::steady_clock::now() < deadline)
        lamp = w.CheckSerialWrite(link);
    return lamp;
}

TEST(SerialWrite, Outcomes)
{
    struct Case {
        const char* name;
        const char* year;
        const char* number;
        const char* yearShown;
        const char* numberShown;
        uint8_t state;
        std::optional<QColor> lamp;
    };
    const std::vector<Case> cases = {
        {"written", "17", "00042", "17", "42", 2, SerialLamp::Lime},
        {"not written", "17", "0", "17", "0", 3, SerialLamp::Red},
        {"no digits reads as 0", "x", "abc", "0", "0", 3, SerialLamp::Red},
        {"status 0 ends the polling", "238", "7", "238", "7", 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimStand stand;
        Clock clock;
        SerialWriter w(clock.Source());
        const SerialWriter::Start s = w.ButtonWriteSN(stand.link, c.year, c.number);
        EXPECT_EQ(s.lamp, SerialLamp::Yellow);
        EXPECT_EQ(s.yearText, QString::fromLatin1(c.yearShown));
        EXPECT_EQ(s.numberText, QString::fromLatin1(c.numberShown));
        EXPECT_EQ(w.SerialWriteState, 1);
        EXPECT_EQ(w.SerialWriteStart, 5000u);
        EXPECT_EQ(CheckUntilSettled(w, stand.link), c.lamp);
        EXPECT_EQ(w.SerialWriteState, c.state);
        EXPECT_FALSE(w.Awaited());
    }
}

TEST(SerialWrite, OrangeOnlyAfter2000Ms)
{
    SimStand stand;
    Clock clock;
    clock.now = 0xFFFFFC00;  // the 2000 ms window spans the tick count's wrap
    SerialWriter w(clock.Source());
    ASSERT_EQ(w.ButtonWriteSN(stand.link, "17", "65535").lamp, SerialLamp::Yellow);  // the stand keeps answering 1
    for (uint32_t step : {0u, 500u, 1500u, 2000u}) {
        clock.now = 0xFFFFFC00 + step;
        SCOPED_TRACE(step);
        EXPECT_EQ(w.CheckSerialWrite(stand.link), std::nullopt) << "stays yellow";
        EXPECT_EQ(w.SerialWriteState, 1);
    }
    clock.now = 0xFFFFFC00 + 2001;
    EXPECT_EQ(w.CheckSerialWrite(stand.link), SerialLamp::Orange);
    EXPECT_EQ(w.SerialWriteState, 0);
    EXPECT_FALSE(w.Awaited());

    // A new press restarts the window.
    clock.now = 100000;
    ASSERT_EQ(w.ButtonWriteSN(stand.link, "17", "65535").lamp, SerialLamp::Yellow);
    EXPECT_EQ(w.SerialWriteStart, 100000u);
    clock.now = 101999;
    EXPECT_EQ(w.CheckSerialWrite(stand.link), std::nullopt);
}

TEST(SerialWrite, ClosedPortAndLostReplies)
{
    {
        SimStand stand;
        stand.com.Close();
        Clock clock;
        SerialWriter w(clock.Source());
        w.SerialWriteState = 2;
        const SerialWriter::Start s = w.ButtonWriteSN(stand.link, "00017", "x42");
        EXPECT_EQ(s.lamp, SerialLamp::Silver);
        EXPECT_FALSE(s.yearText.has_value()) << "the fields stay as typed";
        EXPECT_FALSE(s.numberText.has_value());
        EXPECT_EQ(w.SerialWriteState, 2);
        w.SerialWriteState = 1;
        EXPECT_EQ(w.CheckSerialWrite(stand.link), std::nullopt) << "the lamp keeps its colour";
        EXPECT_EQ(w.SerialWriteState, 0);
    }
    {
        SimStand stand({"--faults", "drop=1"});  // the write is not accepted
        Clock clock;
        SerialWriter w(clock.Source());
        w.SerialWriteState = 3;
        const SerialWriter::Start s = w.ButtonWriteSN(stand.link, "0017", "0042");
        EXPECT_EQ(s.lamp, SerialLamp::Silver);
        EXPECT_EQ(s.yearText, QString("17"));
        EXPECT_EQ(s.numberText, QString("42"));
        EXPECT_EQ(w.SerialWriteState, 3);
    }
    {
        SimStand stand({"--faults", "drop=1,after=1"});  // accepted; the result questions go unanswered
        Clock clock;
        SerialWriter w(clock.Source());
        ASSERT_EQ(w.ButtonWriteSN(stand.link, "17", "42").lamp, SerialLamp::Yellow);
        EXPECT_EQ(w.CheckSerialWrite(stand.link), std::nullopt);
        EXPECT_EQ(w.SerialWriteState, 1) << "asked again on the next tick";
    }
}

}  // namespace
