#include "app/AppFixture.h"
#include "dialogs/Upass.h"

#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Types into the access-code window as soon as its modal loop runs.
int answered = 0;

void AnswerAccessWindow(const QString& typed, bool thenEnter)
{
    QTimer::singleShot(0, [typed, thenEnter] {
        ++answered;
        ASSERT_NE(FormPass, nullptr);
        QTest::keyClicks(FormPass->Edit1, typed);
        if (thenEnter && FormPass)
            QTest::keyClick(FormPass->Edit1, Qt::Key_Return);
    });
}

}  // namespace

TEST(ServiceUnlock, KeysOpenTheAccessWindowAndOnlyTheCodeUnlocks)
{
    AppFixture app;
    app.NoPort();
    TMainZorvaForm& w = app.Open();
    w.show();
    const QString designTitle = w.windowTitle();

    // Keys that must not ask for the code.
    for (auto mods : {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
        QTest::keyClick(w.EditNum, Qt::Key_L, mods);
        EXPECT_EQ(FormPass, nullptr);
    }

    AnswerAccessWindow(QStringLiteral("wrongcode1"), true);
    QTest::keyClick(w.EditNum, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(answered, 1);
    EXPECT_FALSE(w.mLic->menuAction()->isVisible());
    EXPECT_EQ(w.windowTitle(), designTitle);

    // Alt is not looked at; the code closes the window as its tenth character is typed.
    AnswerAccessWindow(QStringLiteral("Zv4Tk9Rm2Q"), false);
    QTest::keyClick(&w, Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(answered, 2);
    EXPECT_TRUE(w.mLic->menuAction()->isVisible());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Стенд ЗОРВА-ТК (GSM)"));
    EXPECT_EQ(FormPass, nullptr);
}
