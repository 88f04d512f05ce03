#include "app/AppFixture.h"
#include "platform/Text.h"

#include <QAction>
#include <QLineEdit>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

// Section headers and key names of a settings file, in file order.
std::vector<std::string> Layout(const std::string& bytes)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find("\r\n", pos);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        out.push_back(line[0] == '[' ? line : line.substr(0, line.find('=')));
        pos = end + 2;
    }
    return out;
}

}  // namespace

TEST(Settings, FirstRunClosesWithEveryKeyInOrderCrLfAndWindows1251)
{
    AppFixture app;
    app.NoPort();
    TMainZorvaForm& w = app.Open();
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: Не открыт"));
    EXPECT_FALSE(w.mAutoPrint->isChecked());
    EXPECT_TRUE(w.mRightSide->isChecked());
    EXPECT_FALSE(w.mLogForm->isChecked());
    EXPECT_EQ(w.LastPrinted, QStringLiteral("17-00001"));
    EXPECT_EQ(w.EditNum->text(), QStringLiteral("17"));
    EXPECT_EQ(w.EditYear->text(), QStringLiteral("0"));
    app.Close();

    std::string ini = app.data.read("StendZorva.ini");
    std::vector<std::string> expected{"[LogForm]", "Left", "Top", "Width", "Height",
                                      "[SETUP]", "ComPort", "AutoPrint", "RightSide", "LastPrinted", "LogForm", "Num", "Year",
                                      "[Skin]", "SkinName", "SkinDir",
                                      "[MainZorvaForm]", "Left", "Top", "Width", "Height"};
    EXPECT_EQ(Layout(ini), expected);
    EXPECT_NE(ini.find("[SETUP]\r\nComPort=0\r\nAutoPrint=0\r\nRightSide=1\r\nLastPrinted=17-00001\r\nLogForm=0\r\n"
                       "Num=17\r\nYear=0\r\n"),
              std::string::npos);
    // Every line ends in CR LF, and the skin's Cyrillic name is in Windows-1251.
    EXPECT_EQ(ini.substr(ini.size() - 2), "\r\n");
    EXPECT_EQ(std::count(ini.begin(), ini.end(), '\n'), std::count(ini.begin(), ini.end(), '\r'));
    EXPECT_NE(ini.find("SkinName=" + ToCp1251(QStringLiteral("Material Dark (внутренний)")) + "\r\n"), std::string::npos);
}

TEST(Settings, ChangesSurviveARestart)
{
    AppFixture app;
    app.NoPort();
    {
        TMainZorvaForm& w = app.Open();
        w.askText_ = [](const QString&, const QString&, QString& text) {
            text = QStringLiteral("5");
            return true;
        };
        w.mCOMClick();
        w.mAutoPrint->trigger();
        w.mLeftSide->trigger();
        w.mPrintNumClick();  // prints nothing here (no label program) but keeps the text
        w.EditNum->setText(QStringLiteral("00042"));
        w.EditYear->setText(QStringLiteral("год"));
        app.Close();
    }
    std::filesystem::create_symlink(app.data.file("no-such-tty"), app.data.file("COM5"));
    TMainZorvaForm& w = app.Open();
    EXPECT_EQ(w.Channel().Port, 4);
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM5: Не открыт"));
    EXPECT_TRUE(w.mAutoPrint->isChecked());
    EXPECT_TRUE(w.mLeftSide->isChecked());
    EXPECT_FALSE(w.mRightSide->isChecked());
    EXPECT_EQ(w.LastPrinted, QStringLiteral("5"));
    EXPECT_EQ(w.EditNum->text(), QStringLiteral("00042"));
    EXPECT_EQ(w.EditYear->text(), QStringLiteral("год"));
}
