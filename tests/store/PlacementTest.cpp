#include "store/Fastini.h"
#include "store/Func.h"
#include "store/Placement.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <string>
#include <vector>

namespace {

struct ScreenCase {
    const char* name;
    std::vector<ScreenRect> monitors;
    WindowCorner stored;
    WindowCorner restored;
};

class OnScreenTable : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(OnScreenTable, CornerIsKeptOrMovedToZero)
{
    const ScreenCase& c = GetParam();
    EXPECT_EQ(KeepCornerOnScreen(c.stored, EnclosingRect(c.monitors)), c.restored);
}

const std::vector<ScreenRect> kSingle{{0, 0, 1920, 1080}};
const std::vector<ScreenRect> kPair{{0, 0, 1920, 1200}, {1920, 0, 3200, 1024}};
const std::vector<ScreenRect> kLeftOfPrimary{{0, 0, 1920, 1080}, {-1280, -200, 0, 824}};

INSTANTIATE_TEST_SUITE_P(
    Cases, OnScreenTable,
    ::testing::Values(ScreenCase{"Inside", kSingle, {40, 30}, {40, 30}},
                      ScreenCase{"PastRightOfSingle", kSingle, {3000, 100}, {0, 100}},
                      ScreenCase{"FrameAboveTopLeft", kSingle, {-8, -8}, {0, 0}},
                      ScreenCase{"RightEdgeIsOutside", kSingle, {1920, 1080}, {0, 0}},
                      ScreenCase{"LastPixelInside", kSingle, {1919, 1079}, {1919, 1079}},
                      ScreenCase{"OnSecondMonitor", kPair, {3000, 100}, {3000, 100}},
                      ScreenCase{"CornerInGapStays", kPair, {2000, 1100}, {2000, 1100}},
                      ScreenCase{"BelowBothMonitors", kPair, {2000, 1300}, {2000, 0}},
                      ScreenCase{"NegativeMonitor", kLeftOfPrimary, {-500, -100}, {-500, -100}},
                      ScreenCase{"LeftOfNegativeMonitor", kLeftOfPrimary, {-1300, 10}, {0, 10}},
                      ScreenCase{"NoMonitor", {}, {10, 10}, {0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EnclosingRect, GrowsFromTheFirstMonitor)
{
    EXPECT_EQ(EnclosingRect({}), (ScreenRect{0, 0, 0, 0}));
    // The first monitor is taken as it is, not joined with the empty rectangle.
    EXPECT_EQ(EnclosingRect({{100, 50, 900, 650}}), (ScreenRect{100, 50, 900, 650}));
    EXPECT_EQ(EnclosingRect(kPair), (ScreenRect{0, 0, 3200, 1200}));
    EXPECT_EQ(EnclosingRect(kLeftOfPrimary), (ScreenRect{-1280, -200, 1920, 1080}));
}

TEST(VirtualScreenRect, CoversEveryScreen)
{
    const ScreenRect r = VirtualScreenRect();
    ASSERT_FALSE(QGuiApplication::screens().isEmpty());
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->geometry();
        EXPECT_LE(r.left, g.x());
        EXPECT_LE(r.top, g.y());
        EXPECT_GE(r.right, g.x() + g.width());
        EXPECT_GE(r.bottom, g.y() + g.height());
    }
    const QRect first = QGuiApplication::screens().first()->geometry();
    if (QGuiApplication::screens().size() == 1) {
        EXPECT_EQ(r, (ScreenRect{first.x(), first.y(), first.x() + first.width(), first.y() + first.height()}));
    }
}

QRect Outer(const QWidget& w)
{
    return w.frameGeometry();
}

class Placement : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedDir_ = AppDataDir;
        AppDataDir = dir.dir();
    }
    void TearDown() override
    {
        CloseAppIni();
        AppDataDir = savedDir_;
    }
    TempDir dir;
    std::string savedDir_;
};

TEST_F(Placement, SavedSectionMatchesTheWindow)
{
    QWidget w;
    w.setObjectName("MainZorvaForm");
    w.move(40, 30);
    w.resize(1098, 540);
    {
        TFastIniFile ini(dir.file("s.ini"));
        ini.SaveFormPlacement(&w);
        EXPECT_TRUE(ini.Modified);
    }
    EXPECT_EQ(dir.read("s.ini"), "[MainZorvaForm]\r\nLeft=40\r\nTop=30\r\nWidth=1098\r\nHeight=540\r\n");

    QWidget back;
    back.setObjectName("MainZorvaForm");
    TFastIniFile ini(dir.file("s.ini"));
    ini.LoadFormPlacement(&back);
    EXPECT_FALSE(ini.Modified);
    EXPECT_EQ(Outer(back), QRect(40, 30, 1098, 540));
}

TEST_F(Placement, ShownWindowComesBackWithTheSameNumbers)
{
    QWidget w;
    w.setObjectName("LogForm");
    w.move(120, 80);
    w.resize(400, 300);
    w.show();
    const QRect shown = Outer(w);
    {
        TFastIniFile ini(dir.file("s.ini"));
        ini.SaveFormPlacement(&w);
    }
    QWidget back;
    back.setObjectName("LogForm");
    back.show();
    {
        TFastIniFile ini(dir.file("s.ini"));
        ini.LoadFormPlacement(&back);
    }
    EXPECT_EQ(Outer(back), shown);
    TFastIniFile again(dir.file("s.ini"));
    again.SaveFormPlacement(&back);
    EXPECT_EQ(again.Serialize(), dir.read("s.ini"));
}

struct LoadCase {
    const char* name;
    std::string section;
    QRect expected;  // the window starts at 10, 20, 300 x 200
};

class PartialSections : public ::testing::TestWithParam<LoadCase> {};

TEST_P(PartialSections, Restore)
{
    const LoadCase& c = GetParam();
    TempDir dir;
    dir.write("s.ini", "[W]\r\n" + c.section);
    QWidget w;
    w.setObjectName("W");
    w.move(10, 20);
    w.resize(300, 200);
    TFastIniFile ini(dir.file("s.ini"));
    ini.LoadFormPlacement(&w);
    EXPECT_EQ(Outer(w), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PartialSections,
    ::testing::Values(
        LoadCase{"All", "Left=1\r\nTop=2\r\nWidth=333\r\nHeight=222\r\n", QRect(1, 2, 333, 222)},
        LoadCase{"NoLeftRestoresNothing", "Top=2\r\nWidth=333\r\nHeight=222\r\n", QRect(10, 20, 300, 200)},
        LoadCase{"NoWidthKeepsWidth", "Left=1\r\nTop=2\r\nHeight=222\r\n", QRect(1, 2, 300, 222)},
        LoadCase{"NotANumberIsZero", "Left=abc\r\nTop=5x\r\nWidth=333\r\nHeight=222\r\n", QRect(0, 5, 333, 222)},
        LoadCase{"OffScreenStaysWithoutCheck", "Left=-5000\r\nTop=9000\r\n", QRect(-5000, 9000, 300, 200)},
        LoadCase{"NegativeSizeClamps", "Left=1\r\nTop=2\r\nWidth=-40\r\nHeight=-2147483648\r\n",
                 QRect(1, 2, 0, 0)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Placement, RestoreKeepsTheCornerOnScreen)
{
    const ScreenRect r = VirtualScreenRect();
    dir.write("StendZorva.ini", "[Far]\r\nLeft=" + std::to_string(r.right + 1080) +
                                    "\r\nTop=30\r\nWidth=500\r\nHeight=400\r\n"
                                    "[Corner]\r\nLeft=" + std::to_string(r.left - 8) + "\r\nTop=" +
                                    std::to_string(r.top - 8) + "\r\nWidth=500\r\nHeight=400\r\n");
    OpenAppIni("StendZorva.ini");
    QWidget far, corner;
    far.setObjectName("Far");
    corner.setObjectName("Corner");
    RestoreWindowPlacement(&far);
    RestoreWindowPlacement(&corner);
    EXPECT_EQ(Outer(far), QRect(0, 30, 500, 400));
    EXPECT_EQ(Outer(corner), QRect(0, 0, 500, 400));
    EXPECT_FALSE(AppIni->Modified);
}

TEST_F(Placement, FirstRunMovesNothingAndSavesAllFourKeys)
{
    OpenAppIni("StendZorva.ini");
    QWidget w;
    w.setObjectName("MainZorvaForm");
    w.move(50, 60);
    w.resize(700, 500);
    RestoreWindowPlacement(&w);
    EXPECT_EQ(Outer(w), QRect(50, 60, 700, 500));
    SaveWindowPlacement(&w);
    CloseAppIni();
    EXPECT_EQ(dir.read("StendZorva.ini"), "[MainZorvaForm]\r\nLeft=50\r\nTop=60\r\nWidth=700\r\nHeight=500\r\n");
}

TEST_F(Placement, SaveReplacesKeysInPlace)
{
    dir.write("s.ini", "[W]\r\nHeight=1\r\nOther=x\r\nLeft=2\r\n");
    QWidget w;
    w.setObjectName("W");
    w.move(7, 8);
    w.resize(90, 60);
    TFastIniFile ini(dir.file("s.ini"));
    ini.SaveFormPlacement(&w);
    EXPECT_EQ(ini.Serialize(), "[W]\r\nHeight=60\r\nOther=x\r\nLeft=7\r\nTop=8\r\nWidth=90\r\n");
}

TEST_F(Placement, NothingWithoutWindowOrSettings)
{
    TFastIniFile ini(dir.file("s.ini"));
    ini.SavePlacement("W", nullptr);
    ini.LoadPlacement("W", nullptr);
    ini.SaveFormPlacement(nullptr);
    EXPECT_FALSE(ini.Modified);
    QWidget w;
    ini.SavePlacement("", &w);
    EXPECT_NE(ini.FindSection("NONAMED"), nullptr);

    ASSERT_EQ(AppIni, nullptr);
    w.move(3, 4);
    RestoreWindowPlacement(&w);
    SaveWindowPlacement(&w);
    RestoreWindowPlacement(nullptr);
    KeepFormOnScreen(nullptr);
    EXPECT_EQ(w.pos(), QPoint(3, 4));
}

}  // namespace
