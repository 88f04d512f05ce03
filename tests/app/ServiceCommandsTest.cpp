// The service commands as the window runs them against the simulator: the
// memory views on their keys and the firmware upload and comparison with the
// progress bar.
#include "app/AppFixture.h"

#include <QAction>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// An Intel HEX file of the image bytes [0, length), 16 bytes a record, CR LF.
std::string HexFile(const std::vector<uint8_t>& image)
{
    std::string out;
    char line[80];
    auto record = [&](uint8_t type, uint16_t address, const uint8_t* data, size_t n) {
        unsigned sum = static_cast<unsigned>(n) + (address >> 8) + (address & 0xFF) + type;
        int len = std::snprintf(line, sizeof line, ":%02X%04X%02X", static_cast<unsigned>(n), address, type);
        for (size_t i = 0; i < n; ++i) {
            len += std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%02X", data[i]);
            sum += data[i];
        }
        std::snprintf(line + len, sizeof line - static_cast<size_t>(len), "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
        out += line;
    };
    for (size_t a = 0; a < image.size(); a += 16)
        record(0, static_cast<uint16_t>(a), image.data() + a, std::min<size_t>(16, image.size() - a));
    record(1, 0, nullptr, 0);
    return out;
}

void SaveShot(QWidget& w, const char* name)
{
    QByteArray dir = qgetenv("ZORVA_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        w.grab().save(QString::fromUtf8(dir) + "/" + name);
}

}  // namespace

TEST(ServiceCommands, MemoryViewsRunOnTheirKeysWithoutTheServiceMenu)
{
    AppFixture app;
    ASSERT_TRUE(app.StartSim());
    TMainZorvaForm& w = app.Open();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    ASSERT_FALSE(w.mLic->menuAction()->isVisible());

    QTest::keyClick(&w, Qt::Key_F6);
    ASSERT_TRUE(w.ListBox1->isVisible());
    ASSERT_EQ(w.ListBox1->count(), 16);
    EXPECT_EQ(w.ListBox1->item(0)->text(), QStringLiteral("00: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF "));
    EXPECT_TRUE(w.ListBox1->item(1)->text().startsWith(QStringLiteral("10: 01 ")));  // the stand number
    EXPECT_TRUE(w.ListBox1->item(15)->text().startsWith(QStringLiteral("F0: ")));

    w.askText_ = [](const QString& caption, const QString& prompt, QString& text) {
        EXPECT_EQ(caption, QStringLiteral("FLASH"));
        EXPECT_EQ(prompt, QStringLiteral("Задайте адрес"));
        EXPECT_EQ(text, QStringLiteral("0"));
        text = QStringLiteral("32768");
        return true;
    };
    QTest::keyClick(&w, Qt::Key_F7);
    QTest::keyClick(&w, Qt::Key_F8);
    ASSERT_EQ(w.ListBox1->count(), 20);
    QStringList labels;
    for (int i = 16; i < 20; ++i)
        labels << w.ListBox1->item(i)->text().left(4);
    EXPECT_EQ(labels, (QStringList{"8000", "8010", "8020", "8030"}));
    EXPECT_EQ(w.FlashViewAddress(), 0x8040);
    SaveShot(w, "memory-dump.png");
}

TEST(ServiceCommands, UploadAndCompareMoveTheProgressBarAndKeepThePollOut)
{
    AppFixture app;
    TempDir state;
    ASSERT_TRUE(app.StartSim({"--state-dir", state.path()}));
    TMainZorvaForm& w = app.Open();
    w.show();
    app.Ticks(2);
    ASSERT_TRUE(w.ButtonWriteSN->isEnabled());

    std::vector<uint8_t> image(20000);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7 + 3);
    app.data.write("fw.hex", HexFile(image));
    w.askFile_ = [&] { return QString::fromStdString(app.data.file("fw.hex")); };
    std::vector<ServiceMessage> messages;
    w.showMessage_ = [&](const ServiceMessage& m) { messages.push_back(m); };

    std::vector<int> positions;
    bool pollStayedOut = true, shot = false;
    QObject::connect(w.ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
        positions.push_back(value);
        // A tick during the block loop must neither send nor enable anything.
        w.Timer1Timer();
        pollStayedOut = pollStayedOut && !w.ButtonWriteSN->isEnabled() && !w.PanelProgress->isHidden();
        if (!shot && value >= 10000) {
            shot = true;
            SaveShot(w, "upload-progress.png");
        }
    });

    w.mProchaClick();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(w.PanelText(2), QStringLiteral("Успешно записано..."));
    EXPECT_TRUE(w.PanelProgress->isHidden());
    EXPECT_EQ(w.ProgressBar1->maximum(), 20000);
    ASSERT_GE(positions.size(), 625u - 1);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(positions.back(), 19968);
    EXPECT_TRUE(pollStayedOut);

    std::string flash = state.read("flash.bin");
    ASSERT_EQ(flash.size(), 65536u);
    EXPECT_EQ(flash.substr(0x8000, image.size()), std::string(image.begin(), image.end()));

    positions.clear();
    w.mCompareFileClick();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(w.PanelText(2), QStringLiteral("Файл совпал с прошивкой..."));
    EXPECT_GE(positions.size(), 624u);

    // The poll is back once the panel is gone.
    app.Ticks(1);
    EXPECT_TRUE(w.ButtonWriteSN->isEnabled());

    // A file the reader refuses stops the command with its message and clears panel 2.
    app.data.write("bad.hex", ":0100000041be\r\n:00000001FF\r\n");
    w.askFile_ = [&] { return QString::fromStdString(app.data.file("bad.hex")); };
    w.mCompareFileClick();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Не могу прочитать файл..."));
    EXPECT_EQ(w.PanelText(2), QString());
}
