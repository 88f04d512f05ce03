#include "dialogs/Messageform.h"
#include "dialogs/ok_dialog.h"
#include "ModalDriver.h"
#include "store/Fastini.h"
#include "store/Func.h"
#include "support/TempDir.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {

// A settings object of the run in a temporary folder, as the main window has
// it open while these windows live.
class MessageWindows : public testing::Test {
protected:
    void SetUp() override
    {
        AppDataDir = dir.dir();
        AppIni = new TFastIniFile(dir.file("StendZorva.ini"));
        owner.setGeometry(100, 80, 600, 450);
        owner.show();
    }
    void TearDown() override { CloseAppIni(); }

    QRect Stored(const char* section) const
    {
        return QRect(AppIni->ReadInteger(section, "Left", -9999), AppIni->ReadInteger(section, "Top", -9999),
                     AppIni->ReadInteger(section, "Width", -9999), AppIni->ReadInteger(section, "Height", -9999));
    }
    void Store(const char* section, QRect r)
    {
        AppIni->WriteInteger(section, "Left", r.x());
        AppIni->WriteInteger(section, "Top", r.y());
        AppIni->WriteInteger(section, "Width", r.width());
        AppIni->WriteInteger(section, "Height", r.height());
    }

    TempDir dir;
    QWidget owner;
};

}  // namespace

TEST_F(MessageWindows, ConfirmationButtonsSplitTheBottomEdge)
{
    TFOkDialog dialog(&owner);
    dialog.show();
    for (int width : {301, 475, 200, 1000}) {
        SCOPED_TRACE(width);
        dialog.resize(width, 198);
        EXPECT_EQ(dialog.sBitBtnOk->geometry(), QRect(0, 0, width / 2, 58));
        EXPECT_EQ(dialog.sBitBtnCancel->geometry(), QRect(width / 2, 0, width - width / 2, 58));
        EXPECT_EQ(dialog.sPanel2->geometry(), QRect(0, 198 - 58, width, 58));
    }
    dialog.resize(301, 198);
    EXPECT_EQ(dialog.sBitBtnOk->width(), 150);
    EXPECT_EQ(dialog.sBitBtnCancel->width(), 151);
}

TEST_F(MessageWindows, ConfirmationResultsAndPlacementAtEveryClose)
{
    struct Case {
        const char* name;
        std::function<void(TFOkDialog*)> leave;
        int result;
    };
    const Case cases[] = {
        {"Да", [](TFOkDialog* d) { QTest::mouseClick(d->sBitBtnOk, Qt::LeftButton); }, QDialog::Accepted},
        {"Нет", [](TFOkDialog* d) { QTest::mouseClick(d->sBitBtnCancel, Qt::LeftButton); }, QDialog::Rejected},
        {"Esc", [](TFOkDialog* d) { QTest::keyClick(d->sBitBtnOk, Qt::Key_Escape); }, QDialog::Rejected},
        {"close box", [](TFOkDialog* d) { d->close(); }, QDialog::Rejected},
        {"Enter on Да", [](TFOkDialog* d) { QTest::keyClick(d->sBitBtnOk, Qt::Key_Return); }, QDialog::Accepted},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFOkDialog dialog(&owner);
        dialog.SetQuestion("Продолжить?");
        // A different place each time, so each close must write afresh.
        const QPoint place(20 + 10 * n, 30 + 5 * n);
        ++n;
        QRect atClose;
        ModalDriver driver([&] {
            dialog.move(place);
            dialog.resize(400 + n, 200);
            atClose = dialog.frameGeometry();
            c.leave(&dialog);
        });
        EXPECT_EQ(dialog.exec(), c.result);
        EXPECT_FALSE(driver.leftOpen());
        EXPECT_EQ(Stored("FOkDialog"), atClose);
        EXPECT_EQ(atClose.topLeft(), place);
    }
}

TEST_F(MessageWindows, MessageWindowEndsWithCancelHoweverClosed)
{
    struct Case {
        const char* name;
        std::function<void(TMessageForm*)> leave;
    };
    const Case cases[] = {
        {"Enter on the button", [](TMessageForm* m) { QTest::keyClick(m->sBitBtn, Qt::Key_Return); }},
        {"keypad Enter", [](TMessageForm* m) { QTest::keyClick(m->sBitBtn, Qt::Key_Enter, Qt::KeypadModifier); }},
        {"Esc", [](TMessageForm* m) { QTest::keyClick(m->sBitBtn, Qt::Key_Escape); }},
        {"Enter on the panel", [](TMessageForm* m) { QTest::keyClick(m->Panel1, Qt::Key_Return); }},
        {"button", [](TMessageForm* m) { QTest::mouseClick(m->sBitBtn, Qt::LeftButton); }},
        {"close box", [](TMessageForm* m) { m->close(); }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMessageForm form(&owner);
        form.SetMessage("Плата записана");
        const QPoint place(40 + 7 * n, 10 + 3 * n);
        ++n;
        QRect atClose;
        ModalDriver driver([&] {
            form.move(place);
            atClose = form.frameGeometry();
            c.leave(&form);
        });
        EXPECT_EQ(form.exec(), QDialog::Rejected);
        EXPECT_FALSE(driver.leftOpen());
        EXPECT_EQ(Stored("MessageForm"), atClose);
    }
}

TEST_F(MessageWindows, OtherKeysDoNotCloseTheMessageWindow)
{
    TMessageForm form(&owner);
    ModalDriver driver([&] {
        for (Qt::Key key : {Qt::Key_A, Qt::Key_F1, Qt::Key_Tab, Qt::Key_Down})
            QTest::keyClick(form.sBitBtn, key);
    });
    form.exec();
    EXPECT_TRUE(driver.leftOpen());
}

TEST_F(MessageWindows, DesignSizesAndCentredWithoutStoredPlacement)
{
    TMessageForm form(&owner);
    TFOkDialog dialog(&owner);
    QRect formGeometry, dialogGeometry, button;
    ModalDriver driver([&] {
        formGeometry = form.geometry();
        button = form.sBitBtn->geometry();
        form.close();
    });
    form.exec();
    ModalDriver driver2([&] {
        dialogGeometry = dialog.geometry();
        dialog.close();
    });
    dialog.exec();
    EXPECT_EQ(formGeometry.size(), QSize(710, 399));
    EXPECT_EQ(button, QRect(0, 399 - 75, 710, 75));
    EXPECT_EQ(dialogGeometry.size(), QSize(475, 198));
    EXPECT_LE((dialogGeometry.center() - owner.geometry().center()).manhattanLength(), 2);
    EXPECT_EQ(form.objectName(), "MessageForm");
    EXPECT_EQ(dialog.objectName(), "FOkDialog");
}

TEST_F(MessageWindows, StoredPlacementIsRestoredAndKeptOnScreen)
{
    // The offscreen screen is 800 x 600 at 0, 0.
    Store("MessageForm", QRect(5000, 40, 600, 300));
    Store("FOkDialog", QRect(30, -20, 420, 180));
    TMessageForm form(&owner);
    TFOkDialog dialog(&owner);
    EXPECT_EQ(form.pos(), QPoint(0, 40));
    EXPECT_EQ(form.size(), QSize(600, 300));
    EXPECT_EQ(dialog.pos(), QPoint(30, 0));
    EXPECT_EQ(dialog.size(), QSize(420, 180));

    // A restored window is not centred over its owner when shown.
    QPoint shownAt;
    ModalDriver driver([&] {
        shownAt = form.pos();
        form.close();
    });
    form.exec();
    EXPECT_EQ(shownAt, QPoint(0, 40));
}

TEST_F(MessageWindows, NeverShownWindowsWriteNothing)
{
    {
        TMessageForm form(&owner);
        TFOkDialog dialog(&owner);
    }
    EXPECT_FALSE(AppIni->Modified);
    EXPECT_EQ(AppIni->FindSection("MessageForm"), nullptr);
    EXPECT_EQ(AppIni->FindSection("FOkDialog"), nullptr);
}

TEST(MessageWindowsWithoutSettings, CloseWithoutSettingsObjectIsHarmless)
{
    ASSERT_EQ(AppIni, nullptr);
    TMessageForm form;
    ModalDriver driver([&] { form.close(); });
    EXPECT_EQ(form.exec(), QDialog::Rejected);
    EXPECT_FALSE(driver.leftOpen());
}
