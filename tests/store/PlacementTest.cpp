#include "store/Fastini.h"
#include "store/Func.h"
#include "store/Placement.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
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

// ---- frame arithmetic and the placement that waits for the frame ----------

TEST(FrameArithmetic, MarginsAndClientOfAnOuterBox)
{
    struct Case {
        const char* name;
        WindowBox outer;
        WindowBox client;
        FrameMargins margins;
    };
    const Case cases[] = {
        {"NoFrame", {40, 30, 1098, 540}, {40, 30, 1098, 540}, {0, 0, 0, 0}},
        {"CaptionAndBorders", {40, 30, 1098, 540}, {41, 52, 1096, 517}, {1, 22, 1, 1}},
        {"Offscreen", {100, 100, 304, 204}, {102, 102, 300, 200}, {2, 2, 2, 2}},
        {"ClientLargerThanOuter", {10, 10, 100, 100}, {5, 5, 120, 120}, {0, 0, 0, 0}},
        {"NegativeCorner", {-1288, -200, 808, 624}, {-1284, -176, 800, 596}, {4, 24, 4, 4}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MarginsAround(c.outer, c.client), c.margins) << c.name;
        // The client box of the outer one lies inside it where the frame says.
        if (c.margins.None())
            continue;
        const WindowBox set = ClientForOuter(c.outer.left, c.outer.top, c.outer.width, c.outer.height, c.margins);
        EXPECT_EQ(set, (WindowBox{c.outer.left, c.outer.top, c.client.width, c.client.height})) << c.name;
    }
    // Sizes never go below 0 nor past the toolkit's largest; corners saturate.
    const FrameMargins frame{4, 24, 4, 4};
    EXPECT_EQ(ClientForOuter(1, 2, 6, 20, frame), (WindowBox{1, 2, 0, 0}));
    EXPECT_EQ(ClientForOuter(1, 2, -2147483648LL, 2147483647LL, frame), (WindowBox{1, 2, 0, QWIDGETSIZE_MAX}));
    EXPECT_EQ(ClientForOuter(-2147483648LL, 2147483647LL, 300, 200, {}), (WindowBox{-2147483647 - 1, 2147483647, 300, 200}));
}

TEST(FrameArithmetic, PendingPlacementAppliesOnceWhenTheFrameComes)
{
    PendingOuterPlacement p({40, 30, 1098, 540});
    WindowBox apply{-1, -1, -1, -1};
    // Shown, moved and resized without a frame: nothing yet.
    EXPECT_FALSE(p.FrameArrived({40, 30, 1098, 540}, {40, 30, 1098, 540}, &apply));
    EXPECT_FALSE(p.FrameArrived({60, 50, 1098, 540}, {60, 50, 1098, 540}, &apply));
    EXPECT_EQ(apply, (WindowBox{-1, -1, -1, -1}));
    EXPECT_FALSE(p.Done());
    // The window manager framed it (and put the client where the corner was).
    ASSERT_TRUE(p.FrameArrived({39, 8, 1100, 563}, {40, 30, 1098, 540}, &apply));
    EXPECT_EQ(apply, (WindowBox{40, 30, 1096, 517}));
    EXPECT_TRUE(p.Done());
    // Once only: later moves and resizes are the operator's.
    EXPECT_FALSE(p.FrameArrived({0, 0, 500, 400}, {1, 22, 498, 377}, &apply));
    EXPECT_EQ(apply, (WindowBox{40, 30, 1096, 517}));

    // The on-screen check moved the corner before the frame came.
    PendingOuterPlacement moved({3000, 100, 800, 600});
    moved.MoveCorner(0, 100);
    ASSERT_TRUE(moved.FrameArrived({0, 100, 800, 600}, {4, 124, 792, 572}, &apply));
    EXPECT_EQ(apply, (WindowBox{0, 100, 792, 572}));
}

// The offscreen platform frames a window 2 pixels wide on each side once it
// is shown, as a window manager would (only sooner).
void ShowFramed(QWidget& w)
{
    w.show();
    QCoreApplication::processEvents();
}

QRect Client(const QWidget& w)
{
    return w.geometry();
}

TEST_F(Placement, RestoredBeforeShownKeepsItsNumbersAcrossRuns)
{
    const std::string stored = "[MainZorvaForm]\r\nLeft=40\r\nTop=30\r\nWidth=1098\r\nHeight=540\r\n"
                               "[LogForm]\r\nLeft=200\r\nTop=150\r\nWidth=640\r\nHeight=480\r\n";
    dir.write("StendZorva.ini", stored);
    for (int run = 0; run < 3; ++run) {
        OpenAppIni("StendZorva.ini");
        QWidget main;
        main.setObjectName("MainZorvaForm");
        QWidget log;
        log.setObjectName("LogForm");
        // As the main window's creation does: both placed before either is shown.
        RestoreWindowPlacement(&main);
        AppIni->LoadFormPlacement(&log);
        ShowFramed(main);
        ShowFramed(log);
        ASSERT_NE(main.frameGeometry(), Client(main)) << "the platform gave no frame";
        EXPECT_EQ(Outer(main), QRect(40, 30, 1098, 540)) << "run " << run;
        EXPECT_EQ(Outer(log), QRect(200, 150, 640, 480)) << "run " << run;
        EXPECT_EQ(Client(main).size(), QSize(1094, 536));
        AppIni->SaveFormPlacement(&log);
        SaveWindowPlacement(&main);
        CloseAppIni();
        EXPECT_EQ(dir.read("StendZorva.ini"), stored) << "run " << run;
    }
}

TEST_F(Placement, WindowNeverShownSavesWhatItRead)
{
    dir.write("s.ini", "[LogForm]\r\nLeft=-5000\r\nTop=9000\r\nWidth=640\r\nHeight=480\r\n");
    TFastIniFile ini(dir.file("s.ini"));
    QWidget log;
    log.setObjectName("LogForm");
    ini.LoadFormPlacement(&log);
    ini.SaveFormPlacement(&log);
    EXPECT_EQ(ini.Serialize(), dir.read("s.ini"));
}

TEST_F(Placement, OnScreenCheckHoldsWhenTheFrameComes)
{
    const ScreenRect r = VirtualScreenRect();
    dir.write("StendZorva.ini", "[Far]\r\nLeft=" + std::to_string(r.right + 100) + "\r\nTop=30\r\nWidth=500\r\nHeight=400\r\n");
    OpenAppIni("StendZorva.ini");
    QWidget far;
    far.setObjectName("Far");
    RestoreWindowPlacement(&far);
    ShowFramed(far);
    EXPECT_EQ(Outer(far), QRect(0, 30, 500, 400));
}

TEST_F(Placement, OperatorsChangesAfterTheFrameStay)
{
    dir.write("s.ini", "[W]\r\nLeft=40\r\nTop=30\r\nWidth=500\r\nHeight=400\r\n");
    TFastIniFile ini(dir.file("s.ini"));
    QWidget w;
    w.setObjectName("W");
    ini.LoadFormPlacement(&w);
    ini.LoadFormPlacement(&w);  // a second restore replaces the first, it does not add to it
    ShowFramed(w);
    EXPECT_EQ(Outer(w), QRect(40, 30, 500, 400));
    w.resize(300, 200);
    w.move(70, 60);
    QCoreApplication::processEvents();
    EXPECT_EQ(Outer(w), QRect(70, 60, 304, 204));
    w.hide();
    ShowFramed(w);
    EXPECT_EQ(Outer(w), QRect(70, 60, 304, 204));
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
