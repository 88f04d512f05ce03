#include "dialogs/Upass.h"

#include "dialogs/DialogKit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>

TFormPass* FormPass = nullptr;

TFormPass::TFormPass(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FormPass"));
    setWindowTitle(QStringLiteral("Пароль"));
    setFont(TahomaFont(16));
    resize(432, 102);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(60, 36, 289, 27);
    // White whatever the skin. The password character comes from the style
    // sheet, read when the echo mode is set, so the sheet goes first.
    Edit1->ensurePolished();
    Edit1->setStyleSheet(QStringLiteral("QLineEdit { background-color: #FFFFFF; color: #000000;"
                                        " selection-background-color: #3875D7; selection-color: #FFFFFF;"
                                        " lineedit-password-character: 42; }"));
    Edit1->setEchoMode(QLineEdit::Password);
    Edit1->installEventFilter(this);
    connect(Edit1, &QLineEdit::textChanged, this, &TFormPass::Edit1Change);
    Edit1->setFocus();
}

void TFormPass::Edit1Change()
{
    const QString text = Edit1->text();
    if (text.size() != 10)
        return;
    if (text == QStringLiteral("Zv4Tk9Rm2Q"))
        accept();
}

bool TFormPass::eventFilter(QObject* watched, QEvent* event)
{
    // Edit1KeyDown: Esc or Enter leaves with Cancel.
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool IsServiceUnlockKey(int key, Qt::KeyboardModifiers modifiers)
{
    // The physical L key: with the Russian layout active the same key reports Д.
    const bool lKey = key == Qt::Key_L || key == 0x0414;
    return lKey && modifiers.testFlag(Qt::ControlModifier) && modifiers.testFlag(Qt::ShiftModifier);
}

bool AskServiceAccess(QWidget* owner)
{
    QPointer<TFormPass> form = new TFormPass(owner);
    FormPass = form;
    const bool granted = form->exec() == QDialog::Accepted;
    delete form.data();
    FormPass = nullptr;
    return granted;
}
