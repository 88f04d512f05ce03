// The service engineer's visit in the real window, driven only by keys,
// clicks and the answers typed into the program's own modal windows: the
// unlock, firmware from a HEX file made by srec_cat, the stand number, the
// board version, the serial number range, a serial number written into the
// board and read back from it.
#include "acceptance/Acceptance.h"
#include "app/AppFixture.h"
#include "dialogs/Upass.h"
#include "monitor/StatusView.h"
#include "service/Usernum.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>

#include <chrono>

using namespace acceptance;

namespace {

// A stand's EPROM as it comes from the factory, with boards already counted.
std::string FactoryEprom(uint8_t stand, uint32_t count)
{
    std::string e(256, '\xFF');
    e[0x10] = static_cast<char>(stand);
    e[0x90] = e[0x91] = 0;
    e[0x92] = static_cast<char>(count & 0xFF);
    e[0x93] = static_cast<char>((count >> 8) & 0xFF);
    e[0x94] = static_cast<char>((count >> 16) & 0xFF);
    const char start[3] = {0x01, 0x00, 17}, last[3] = {'\xFF', '\xFF', 17};
    e.replace(0x96, 3, start, 3);
    e.replace(0x9A, 3, last, 3);
    e[0x9E] = 1;
    return e;
}

uint8_t At(const std::string& bytes, size_t address)
{
    return address < bytes.size() ? static_cast<uint8_t>(bytes[address]) : 0;
}

}  // namespace

TEST(EngineerAcceptance, AServiceVisitFromUnlockToBoardInformation)
{
    AppFixture app;
    TempDir stand;  // the simulator's memories
    TempDir files;  // the engineer's firmware
    Modals modals;

    stand.write("eprom.bin", FactoryEprom(1, 123));
    ASSERT_TRUE(app.StartSim({"--state-dir", stand.path()}));
    TMainZorvaForm& w = app.Open();
    w.show();
    ASSERT_TRUE(Reactivate(w));
    app.Ticks(1);
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: OK"));
    EXPECT_EQ(w.PanelText(2), QStringLiteral("Стенд №1 ПО v2"));
    EXPECT_EQ(w.ShapeSN->BrushColor(), Colors::Gray);

    // --- Ctrl+Shift+L and the access code ---------------------------------------------------
    EXPECT_FALSE(w.mLic->menuAction()->isVisible());
    modals.Then<TFormPass>("the access window", [](TFormPass& pass) {
        EXPECT_EQ(pass.windowTitle(), QStringLiteral("Пароль"));
        EXPECT_EQ(pass.Edit1->echoMode(), QLineEdit::Password);
        // It closes by itself on the tenth right character; no Enter.
        QTest::keyClicks(pass.Edit1, QStringLiteral("Zv4Tk9Rm2Q"));
        EXPECT_FALSE(pass.isVisible());
    });
    QTest::keyClick(&w, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(modals.AllAnswered());
    ASSERT_TRUE(w.mLic->menuAction()->isVisible());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Стенд ЗОРВА-ТК (GSM)"));
    EXPECT_EQ(FormPass, nullptr);
    ASSERT_TRUE(Reactivate(w));

    // --- Firmware: a HEX file from srec_cat, uploaded, then compared ------------------------
    // Lines end in CR LF as Microchip's tools write them; the reader takes two characters
    // after each record blindly, so a file with LF alone is refused.
    std::string image(6000, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>((i * 31 + 7) ^ (i >> 8));
    const std::string fuses = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E";
    files.write("image.bin", image);
    files.write("fuses.bin", fuses);
    const QString hex = QString::fromStdString(files.file("stand.hex"));
    QProcess srec;
    srec.start(QStringLiteral("srec_cat"),
               {QString::fromStdString(files.file("image.bin")), QStringLiteral("-binary"),
                QString::fromStdString(files.file("fuses.bin")), QStringLiteral("-binary"), QStringLiteral("-offset"),
                QStringLiteral("0x300000"), QStringLiteral("-o"), hex, QStringLiteral("-intel"),
                QStringLiteral("-output_block_size=16"), QStringLiteral("-line-termination=crlf")});
    ASSERT_TRUE(srec.waitForFinished(30000)) << "srec_cat (package srecord) is needed";
    ASSERT_EQ(srec.exitCode(), 0) << srec.readAllStandardError().toStdString();

    std::vector<int> positions;
    int hiddenWhileMoving = 0;
    QObject::connect(w.ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        positions.push_back(value);
        hiddenWhileMoving += !w.PanelProgress->isVisible();
    });
    std::vector<int> blocks;
    for (int offset = 0; offset < static_cast<int>(image.size()); offset += 32)
        blocks.push_back(offset);

    modals.Then<QFileDialog>("the firmware file", [&](QFileDialog& dialog) { AnswerFileDialog(dialog, hex); });
    ASSERT_TRUE(ChooseFromMenu(w, w.mLic, w.mProcha));
    EXPECT_TRUE(modals.AllAnswered());
    EXPECT_EQ(w.PanelText(2), QStringLiteral("Успешно записано..."));
    EXPECT_TRUE(w.PanelProgress->isHidden());
    EXPECT_EQ(w.ProgressBar1->maximum(), 6000);
    EXPECT_EQ(positions, blocks) << "the bar stops at each block";
    EXPECT_EQ(hiddenWhileMoving, 0);

    const std::string flash = stand.read("flash.bin");
    ASSERT_EQ(flash.size(), 65536u);
    EXPECT_EQ(flash.substr(0x8000, image.size()), image);
    // The last block goes whole: what follows the image in it is the blank FF.
    EXPECT_EQ(flash.substr(0x8000 + image.size(), 16), std::string(16, '\xFF'));
    std::string eprom = stand.read("eprom.bin");
    EXPECT_EQ(eprom.substr(0x80, 14), fuses);
    EXPECT_EQ(eprom.substr(0x8E, 2), "\xFF\xFF");
    EXPECT_EQ(At(eprom, 0x90) | (At(eprom, 0x91) << 8), 6000);

    positions.clear();
    modals.Then<QFileDialog>("the file to compare", [&](QFileDialog& dialog) { AnswerFileDialog(dialog, hex); });
    ASSERT_TRUE(ChooseFromMenu(w, w.mLic, w.mCompareFile));
    EXPECT_TRUE(modals.AllAnswered());
    EXPECT_EQ(w.PanelText(2), QStringLiteral("Файл совпал с прошивкой..."));
    EXPECT_TRUE(w.PanelProgress->isHidden());
    ASSERT_FALSE(positions.empty());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), blocks.back());
    app.Ticks(1);
    EXPECT_TRUE(w.ButtonWriteSN->isEnabled()) << "the poll is back after the comparison";

    // --- Задать номер стенда: 5 --------------------------------------------------------------
    modals.Then<QInputDialog>("the stand number box", [](QInputDialog& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Номер стенда"));
        EXPECT_EQ(box.labelText(), QStringLiteral("Задайте номер стенда 1..254"));
        EXPECT_EQ(box.textValue(), QStringLiteral("1"));
        QLineEdit* edit = box.findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        TypeInto(edit, QStringLiteral("5"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    ASSERT_TRUE(ChooseFromMenu(w, w.mLic, w.mStendNum));
    EXPECT_TRUE(modals.AllAnswered());
    EXPECT_EQ(w.PanelText(2), QStringLiteral("Номера стенда записан..."));
    EXPECT_EQ(At(stand.read("eprom.bin"), 0x10), 5);
    app.Ticks(1);
    EXPECT_EQ(w.PanelText(2), QStringLiteral("Стенд №5 ПО v2"));

    // --- Задать версию платы счётчика газа: 3 ------------------------------------------------
    modals.Then<QInputDialog>("the board version box", [](QInputDialog& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Задайте"));
        EXPECT_EQ(box.labelText(), QStringLiteral("Версия платы счётчика газа..."));
        EXPECT_EQ(box.textValue(), QStringLiteral("1"));
        QLineEdit* edit = box.findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        TypeInto(edit, QStringLiteral("3"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    modals.Then<QMessageBox>("the notice of the version", [](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Успешно"));
        EXPECT_EQ(box.text(), QStringLiteral("Версия платы счётчика газа записана..."));
        ASSERT_NE(box.button(QMessageBox::Ok), nullptr);
        QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton);
    });
    ASSERT_TRUE(ChooseFromMenu(w, w.mLic, w.mPlataversion));
    EXPECT_TRUE(modals.AllAnswered());
    EXPECT_EQ(At(stand.read("eprom.bin"), 0x9E), 3);

    // --- Серийные номера...: the last year moved on, the count cleared ----------------------
    modals.Then<TFSerNum>("the serial number window", [](TFSerNum& form) {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Серийные номера"));
        EXPECT_EQ(form.EditCurYear->text(), QStringLiteral("17"));
        EXPECT_EQ(form.EditCurNum->text(), QStringLiteral("1"));
        EXPECT_EQ(form.EditLastYear->text(), QStringLiteral("17"));
        EXPECT_EQ(form.EditLastNum->text(), QStringLiteral("65535"));
        EXPECT_EQ(form.LabelQ->text(), QStringLiteral("123"));
        TypeInto(form.EditLastYear, QStringLiteral("18"));
        QTest::mouseClick(form.ButtonZeroQ, Qt::LeftButton);
        EXPECT_EQ(form.LabelQ->text(), QStringLiteral("0"));
        QTest::mouseClick(form.Button1, Qt::LeftButton);
    });
    ASSERT_TRUE(ChooseFromMenu(w, w.mLic, w.mSerNum));
    EXPECT_TRUE(modals.AllAnswered());
    eprom = stand.read("eprom.bin");
    EXPECT_EQ(eprom.substr(0x92, 3), std::string(3, '\0')) << "the count";
    EXPECT_EQ(eprom.substr(0x96, 3), std::string("\x01\x00\x11", 3)) << "the start, untouched";
    EXPECT_EQ(eprom.substr(0x9A, 3), "\xFF\xFF\x12") << "the last number, year 18";
    // Opened again, the window reads back what the stand now holds; Отмена writes nothing.
    modals.Then<TFSerNum>("the serial number window again", [](TFSerNum& form) {
        EXPECT_EQ(form.EditLastYear->text(), QStringLiteral("18"));
        EXPECT_EQ(form.LabelQ->text(), QStringLiteral("0"));
        TypeInto(form.EditCurNum, QStringLiteral("999"));
        QTest::mouseClick(form.Button2, Qt::LeftButton);
    });
    ASSERT_TRUE(ChooseFromMenu(w, w.mLic, w.mSerNum));
    EXPECT_TRUE(modals.AllAnswered());
    EXPECT_EQ(stand.read("eprom.bin"), eprom);

    // --- The serial write into the board in the stand ---------------------------------------
    TypeInto(w.EditYear, QStringLiteral("18"));
    TypeInto(w.EditNum, QStringLiteral("00321"));
    app.Ticks(1);
    ASSERT_TRUE(w.ButtonWriteSN->isEnabled()) << "the stand is idle";
    QTest::mouseClick(w.ButtonWriteSN, Qt::LeftButton);
    EXPECT_EQ(w.ShapeSN->BrushColor(), Colors::Yellow);
    EXPECT_EQ(w.EditYear->text(), QStringLiteral("18"));
    EXPECT_EQ(w.EditNum->text(), QStringLiteral("321"));
    // The stand reports "still writing" for 300 ms: the lamp stays yellow until it says done.
    int yellowTicks = 0, otherColours = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (w.ShapeSN->BrushColor() != Colors::Lime && std::chrono::steady_clock::now() < deadline) {
        app.Ticks(1);
        const QColor c = w.ShapeSN->BrushColor();
        yellowTicks += c == Colors::Yellow;
        otherColours += c != Colors::Yellow && c != Colors::Lime;
    }
    EXPECT_EQ(w.ShapeSN->BrushColor(), Colors::Lime);
    EXPECT_GT(yellowTicks, 0);
    EXPECT_EQ(otherColours, 0);
    const QImage lamp = w.ShapeSN->grab().toImage();
    EXPECT_EQ(lamp.pixelColor(lamp.rect().center()), Colors::Lime);

    // --- Файл → Информация о плате ----------------------------------------------------------
    modals.Then<QMessageBox>("the board information", [](QMessageBox& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Информация"));
        EXPECT_EQ(box.text(), QStringLiteral("Номер: 18-00321 задан на стенде номер 5"));
        QTest::mouseClick(box.button(QMessageBox::Ok), Qt::LeftButton);
    });
    ASSERT_TRUE(ChooseFromMenu(w, w.mFile, w.mID));
    EXPECT_TRUE(modals.AllAnswered());
    EXPECT_EQ(modals.Answered(), 9);
    app.Close();
}
