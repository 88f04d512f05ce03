#include "dialogs/Upass.h"
#include "ModalDriver.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString Code = "Zv4Tk9Rm2Q";

struct Owner {
    QWidget window;
    Owner()
    {
        window.setGeometry(100, 80, 600, 450);
        window.show();
    }
};

void Paste(QLineEdit* edit, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

}  // namespace

TEST(FormPass, TypingTheCodeAcceptsAtTheTenthCharacter)
{
    Owner owner;
    bool openAfterNine = false;
    QString echo;
    TFormPass* during = nullptr;
    ModalDriver driver([&] {
        during = FormPass;
        ASSERT_NE(during, nullptr);
        QTest::keyClicks(during->Edit1, Code.left(9));
        openAfterNine = during->isVisible();
        echo = during->Edit1->displayText();
        QTest::keyClicks(during->Edit1, Code.mid(9));
    });
    EXPECT_TRUE(AskServiceAccess(&owner.window));
    EXPECT_FALSE(driver.leftOpen());
    EXPECT_TRUE(openAfterNine);
    EXPECT_EQ(echo, QString(9, '*'));
    EXPECT_EQ(FormPass, nullptr);
}

TEST(FormPass, PastingTheCodeAccepts)
{
    Owner owner;
    ModalDriver driver([&] { Paste(FormPass->Edit1, Code); });
    EXPECT_TRUE(AskServiceAccess(&owner.window));
    EXPECT_FALSE(driver.leftOpen());
}

TEST(FormPass, ElevenCharactersDoNotMatchUntilTheLastIsDeleted)
{
    Owner owner;
    bool openWithEleven = false;
    ModalDriver driver([&] {
        Paste(FormPass->Edit1, Code + "7");
        openWithEleven = FormPass->isVisible();
        QTest::keyClick(FormPass->Edit1, Qt::Key_Backspace);
    });
    EXPECT_TRUE(AskServiceAccess(&owner.window));
    EXPECT_TRUE(openWithEleven);
    EXPECT_FALSE(driver.leftOpen());
}

TEST(FormPass, CodeInsertedInTheMiddleAccepts)
{
    // The check runs on every change, not only on typing at the end.
    Owner owner;
    ModalDriver driver([&] {
        QTest::keyClicks(FormPass->Edit1, Code.left(4) + Code.mid(5));
        QTest::keyClick(FormPass->Edit1, Qt::Key_Home);
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(FormPass->Edit1, Qt::Key_Right);
        QTest::keyClicks(FormPass->Edit1, Code.mid(4, 1));
    });
    EXPECT_TRUE(AskServiceAccess(&owner.window));
    EXPECT_FALSE(driver.leftOpen());
}

TEST(FormPass, WrongTextsAreNotAcceptedAndEnterOrEscCancels)
{
    // Every letter of the code in the wrong case, a wrong digit, and too short.
    QStringList wrong;
    for (int i = 0; i < Code.size(); ++i) {
        if (!Code[i].isLetter())
            continue;
        QString t = Code;
        t[i] = Code[i].isUpper() ? Code[i].toLower() : Code[i].toUpper();
        wrong << t;
    }
    wrong << QString(Code).replace(2, 1, "5") << Code.left(9) << "";
    ASSERT_GE(wrong.size(), 8);

    const Qt::Key leaveKeys[] = {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter};
    int n = 0;
    for (const QString& text : wrong) {
        SCOPED_TRACE(text.toStdString());
        const Qt::Key leave = leaveKeys[n++ % 3];
        Owner owner;
        bool stillOpen = false;
        ModalDriver driver([&] {
            QTest::keyClicks(FormPass->Edit1, text);
            stillOpen = FormPass->isVisible();
            QTest::keyClick(FormPass->Edit1, leave);
        });
        EXPECT_FALSE(AskServiceAccess(&owner.window));
        EXPECT_TRUE(stillOpen);
        EXPECT_FALSE(driver.leftOpen());
    }
}

TEST(FormPass, CloseBoxCancels)
{
    Owner owner;
    ModalDriver driver([&] { FormPass->close(); });
    EXPECT_FALSE(AskServiceAccess(&owner.window));
    EXPECT_FALSE(driver.leftOpen());
}

TEST(FormPass, OpensAtDesignSizeCentredOnItsOwner)
{
    Owner owner;
    QRect geometry, edit;
    QString title;
    ModalDriver driver([&] {
        geometry = FormPass->geometry();
        edit = FormPass->Edit1->geometry();
        title = FormPass->windowTitle();
        FormPass->close();
    });
    AskServiceAccess(&owner.window);
    EXPECT_EQ(title, "Пароль");
    EXPECT_EQ(geometry.size(), QSize(432, 102));
    EXPECT_EQ(edit, QRect(60, 36, 289, 27));
    EXPECT_LE((geometry.center() - owner.window.geometry().center()).manhattanLength(), 2);
}

TEST(ServiceUnlockKey, CtrlAndShiftWithL)
{
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        bool unlocks;
    };
    const Case cases[] = {
        {Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier, true},
        {Qt::Key_L, Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier, true},
        {Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier, true},
        {0x0414, Qt::ControlModifier | Qt::ShiftModifier, true},  // the same key, Russian layout
        {Qt::Key_L, Qt::ControlModifier, false},
        {Qt::Key_L, Qt::ShiftModifier, false},
        {Qt::Key_L, Qt::AltModifier | Qt::ShiftModifier, false},
        {Qt::Key_L, Qt::NoModifier, false},
        {Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier, false},
        {Qt::Key_Control, Qt::ControlModifier | Qt::ShiftModifier, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.key << " " << c.modifiers.toInt());
        EXPECT_EQ(IsServiceUnlockKey(c.key, c.modifiers), c.unlocks);
    }
}
