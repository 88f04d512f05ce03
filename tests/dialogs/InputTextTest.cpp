#include "dialogs/DialogKit.h"
#include "dialogs/Uinptext.h"
#include "ModalDriver.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Owner {
    QWidget window;
    Owner()
    {
        // Within the offscreen screen (800 x 600), so centring is not clamped.
        window.setGeometry(100, 80, 600, 450);
        window.show();
    }
};

}  // namespace

TEST(InputText, ShowsCaptionPromptAndValueAndConfirmsWithEnter)
{
    Owner owner;
    QString value = "3";
    QString shownText, shownTitle, shownPrompt;
    bool editFocused = false;
    TFormInpText* during = nullptr;
    ModalDriver driver([&] {
        during = FormInpText;
        ASSERT_NE(during, nullptr);
        shownText = during->Edit1->text();
        shownTitle = during->windowTitle();
        shownPrompt = during->Label1->text();
        editFocused = during->focusWidget() == during->Edit1;
        // The old value is selected, so typing replaces it.
        QTest::keyClicks(during->Edit1, "7");
        QTest::keyClick(during->Edit1, Qt::Key_Return);
    });
    const bool ok = InputText(&owner.window, "COM порт", "Задайте номер порта 1...", value, QChar());
    EXPECT_TRUE(driver.ran());
    EXPECT_FALSE(driver.leftOpen());
    EXPECT_TRUE(ok);
    EXPECT_EQ(value, "7");
    EXPECT_EQ(shownText, "3");
    EXPECT_EQ(shownTitle, "COM порт");
    EXPECT_EQ(shownPrompt, "Задайте номер порта 1...");
    EXPECT_TRUE(editFocused);
    EXPECT_EQ(FormInpText, nullptr);
}

TEST(InputText, KeypadEnterConfirmsToo)
{
    Owner owner;
    QString value = "12";
    ModalDriver driver([&] { QTest::keyClick(FormInpText->Edit1, Qt::Key_Enter, Qt::KeypadModifier); });
    EXPECT_TRUE(InputText(&owner.window, "c", "p", value, QChar()));
    EXPECT_FALSE(driver.leftOpen());
    EXPECT_EQ(value, "12");
}

TEST(InputText, CancelLeavesTheValueUntouched)
{
    struct Case {
        const char* name;
        std::function<void(TFormInpText*)> leave;
    };
    const Case cases[] = {
        {"Esc in the edit", [](TFormInpText* f) { QTest::keyClick(f->Edit1, Qt::Key_Escape); }},
        {"Esc on the button", [](TFormInpText* f) { QTest::keyClick(f->sBitBtn, Qt::Key_Escape); }},
        {"close box", [](TFormInpText* f) { f->close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Owner owner;
        QString value = "5";
        ModalDriver driver([&] {
            QTest::keyClicks(FormInpText->Edit1, "99");
            c.leave(FormInpText);
        });
        EXPECT_FALSE(InputText(&owner.window, "c", "p", value, QChar()));
        EXPECT_FALSE(driver.leftOpen());
        EXPECT_EQ(value, "5");
        EXPECT_EQ(FormInpText, nullptr);
    }
}

TEST(InputText, ClearedEditAndOkGiveAnEmptyValue)
{
    Owner owner;
    QString value = "3";
    ModalDriver driver([&] {
        QTest::keyClick(FormInpText->Edit1, Qt::Key_End);
        QTest::keyClick(FormInpText->Edit1, Qt::Key_Backspace);
        QTest::mouseClick(FormInpText->sBitBtn, Qt::LeftButton);
    });
    EXPECT_TRUE(InputText(&owner.window, "c", "p", value, QChar()));
    EXPECT_FALSE(driver.leftOpen());
    EXPECT_TRUE(value.isEmpty());
}

TEST(InputText, PasswordCharacterHidesTheText)
{
    struct Case {
        QChar passwordChar;
        QString shown;
    };
    const Case cases[] = {{QChar(), "ab1"}, {QChar('#'), "###"}, {QChar('*'), "***"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        Owner owner;
        QString value;
        QString displayed;
        ModalDriver driver([&] {
            QTest::keyClicks(FormInpText->Edit1, "ab1");
            displayed = FormInpText->Edit1->displayText();
            QTest::keyClick(FormInpText->Edit1, Qt::Key_Return);
        });
        EXPECT_TRUE(InputText(&owner.window, "c", "p", value, c.passwordChar));
        EXPECT_EQ(displayed, c.shown);
        EXPECT_EQ(value, "ab1");
    }
}

TEST(InputText, OpensAtDesignSizeCentredOnItsOwner)
{
    Owner owner;
    QString value;
    QRect geometry, buttonGeometry, topPanel, bottomPanel;
    ModalDriver driver([&] {
        geometry = FormInpText->geometry();
        buttonGeometry = FormInpText->sBitBtn->geometry();
        topPanel = FormInpText->sPanel1->geometry();
        bottomPanel = FormInpText->sPanel2->geometry();
        FormInpText->close();
    });
    InputText(&owner.window, "c", "p", value, QChar());
    EXPECT_EQ(geometry.size(), QSize(447, 221));
    EXPECT_LE((geometry.center() - owner.window.geometry().center()).manhattanLength(), 2);
    EXPECT_EQ(buttonGeometry, QRect(122, 14, 217, 63));
    EXPECT_EQ(topPanel, QRect(0, 0, 447, 130));
    EXPECT_EQ(bottomPanel, QRect(0, 130, 447, 91));
}

TEST(InputText, ButtonStaysAboutCentredWhenResized)
{
    TFormInpText form;
    form.show();
    for (int width : {447, 300, 640, 1000}) {
        SCOPED_TRACE(width);
        form.resize(width, 300);
        const QRect button = form.sBitBtn->geometry();
        EXPECT_EQ(button.size(), QSize(217, 63));
        EXPECT_EQ(button.top(), 14);
        EXPECT_EQ(form.sPanel2->geometry(), QRect(0, 300 - 91, width, 91));
        // Centre at the design's fraction of the width, within rounding.
        EXPECT_NEAR(button.left() + 217 / 2.0, width * (122 + 217 / 2.0) / 447, 1.0);
    }
}

TEST(DialogKit, BadgesAreDrawnAtTheirSizes)
{
    for (int i = 0; i < BadgeCount; ++i) {
        const QImage image = BadgeImage(i).toImage();
        ASSERT_EQ(image.size(), QSize(48, 48));
        // Corners transparent, the mark white at the centre region, the badge coloured.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        const QColor ring = image.pixelColor(24, 5);
        if (i == 0)
            EXPECT_GT(ring.green(), ring.red());
        else
            EXPECT_GT(ring.red(), ring.green());
    }
    EXPECT_TRUE(BadgeImage(2).isNull());
    EXPECT_EQ(QuestionBadgeIcon().pixmap(24, 24).size(), QSize(24, 24));
}
