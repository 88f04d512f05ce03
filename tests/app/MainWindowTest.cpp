#include "app/AppFixture.h"
#include "platform/Text.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList MenuTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("—") : a->text());
    return texts;
}

}  // namespace

TEST(MainWindow, DesignCaptionsMenusAndPanels)
{
    AppFixture app;
    app.NoPort();
    TMainZorvaForm& w = app.Open();

    EXPECT_EQ(w.windowTitle(), QStringLiteral("Стенд ЗОРВА-ТК GSM  (Lite) v%1.%2.%3")
                                   .arg(ZORVA_VERSION_MAJOR).arg(ZORVA_VERSION_MINOR).arg(ZORVA_VERSION_PATCH));
    EXPECT_EQ(MenuTexts(w.mFile), (QStringList{"Информация о плате", "—", "Выход"}));
    EXPECT_EQ(MenuTexts(w.mSetup),
              (QStringList{"COM порт", "—", "Автоматическая печать этикеток", "Напечатать этикетку для номера...", "—",
                           "Печать правой этикетки (начало ленты)", "Печать левой этикетки (после правой)", "—",
                           "Журнал"}));
    EXPECT_EQ(MenuTexts(w.mLic), (QStringList{"Загрузить прошивку...", "Сравнить прошивку с файлом...", "—",
                                              "Серийные номера...", "—", "Задать номер стенда", "—",
                                              "Задать версию платы счётчика газа"}));
    EXPECT_EQ(MenuTexts(w.mDo), (QStringList{"Чтение EPROM", "—", "Чтение FLASH", "Продолжить чтение FLASH", "Запись"}));
    EXPECT_EQ(w.mFile->title(), QStringLiteral("&Файл"));
    EXPECT_TRUE(w.mFile->menuAction()->isVisible());
    EXPECT_FALSE(w.mLic->menuAction()->isVisible());
    EXPECT_FALSE(w.mDo->menuAction()->isVisible());
    EXPECT_EQ(w.mReadEPROM->shortcut(), QKeySequence(Qt::Key_F6));
    EXPECT_EQ(w.mReadFLASH->shortcut(), QKeySequence(Qt::Key_F7));
    EXPECT_EQ(w.mNextFLASH->shortcut(), QKeySequence(Qt::Key_F8));
    EXPECT_TRUE(w.pmWrite->shortcut().isEmpty());

    // Before the first reply the value labels show their design texts.
    for (QLabel* l : {w.LabelState, w.LabelI, w.LabelSerNum, w.LabelLastSerNum, w.LabelLastTok})
        EXPECT_EQ(l->text(), QStringLiteral("----")) << l->objectName().toStdString();
    EXPECT_EQ(w.LabelStage->text(), QStringLiteral("---"));
    EXPECT_EQ(w.LabelUnit->text(), QStringLiteral("[мА]"));
    EXPECT_EQ(w.ButtonPrint->text(), QStringLiteral("Напечатать этикетку"));
    EXPECT_EQ(w.ButtonWriteSN->text(), QStringLiteral("Записать"));
    EXPECT_FALSE(w.ButtonWriteSN->isEnabled());
    EXPECT_TRUE(w.PanelTest->isHidden());
    EXPECT_TRUE(w.PanelProgress->isHidden());
    EXPECT_EQ(w.Timer1()->interval(), 1000);
}

TEST(MainWindow, NoPortAtAllShowsNotOpenAndThePollSaysUnavailable)
{
    AppFixture app;
    app.NoPort();
    TMainZorvaForm& w = app.Open();
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: Не открыт"));
    app.Ticks(2);
    EXPECT_EQ(w.PanelText(1), QStringLiteral("Стенд недоступен..."));
    EXPECT_EQ(w.LabelI->text(), QStringLiteral("-"));
    EXPECT_EQ(w.LabelUnit->text(), QString());
}

TEST(MainWindow, PollsTheStandAndGoesOnWhenThePortVanishes)
{
    AppFixture app;
    ASSERT_TRUE(app.StartSim({"--stand", "3", "--fw-version", "2"}));
    TMainZorvaForm& w = app.Open();
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: OK"));

    app.Ticks(2);
    EXPECT_EQ(w.PanelText(2), QStringLiteral("Стенд №3 ПО v2"));
    EXPECT_EQ(w.PanelText(1), QString());
    EXPECT_EQ(w.LabelState->text(), QStringLiteral("Нет действий"));
    EXPECT_TRUE(w.ButtonWriteSN->isEnabled());

    // The adapter is pulled: the exchanges fail, the window keeps the last state.
    app.sim.Kill();
    app.Ticks(2);
    EXPECT_EQ(w.PanelText(1), QStringLiteral("Error"));
    EXPECT_EQ(w.LabelState->text(), QStringLiteral("Нет действий"));
    EXPECT_EQ(w.LabelI->text(), QStringLiteral("-"));
    EXPECT_EQ(w.PanelText(0), QStringLiteral("COM1: OK"));
}

TEST(MainWindow, PortChoiceReopensAndKeepsTheFirstIdentity)
{
    AppFixture app;
    ASSERT_TRUE(app.StartSim({"--stand", "4"}));
    TMainZorvaForm& w = app.Open();
    app.Ticks(1);
    ASSERT_EQ(w.PanelText(2), QStringLiteral("Стенд №4 ПО v2"));

    struct Case {
        QString typed;
        bool confirm;
        QString panel;
    } cases[] = {
        {"300", true, "COM300: Не открыт"}, {"0", true, "COM1: OK"},   {"-5", true, "COM1: OK"},
        {"abc", true, "COM1: OK"},          {"7", false, "COM1: OK"},
    };
    for (const Case& c : cases) {
        QString offered;
        w.askText_ = [&](const QString& caption, const QString& prompt, QString& text) {
            EXPECT_EQ(caption, QStringLiteral("COM порт"));
            EXPECT_EQ(prompt, QStringLiteral("Задайте номер порта 1..."));
            offered = text;
            if (c.confirm)
                text = c.typed;
            return c.confirm;
        };
        w.mCOMClick();
        EXPECT_EQ(w.PanelText(0), c.panel) << c.typed.toStdString();
    }
    EXPECT_EQ(w.Channel().Port, 0);
    // The identity of the stand that answered first stays.
    EXPECT_EQ(w.PanelText(2), QStringLiteral("Стенд №4 ПО v2"));
}
