#include "dialogs/Messageform.h"

#include "dialogs/DialogKit.h"
#include "store/Func.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TMessageForm::TMessageForm(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("MessageForm"));
    setFont(TahomaFont(21));
    resize(710, 399);

    Panel1 = new QLabel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFont(TahomaFont(19));
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setWordWrap(true);
    Panel1->setMargin(8);
    Panel1->installEventFilter(this);

    sBitBtn = new QPushButton(QStringLiteral("    Да"), this);
    sBitBtn->setObjectName(QStringLiteral("sBitBtn"));
    sBitBtn->setFont(TahomaFont(21));
    sBitBtn->setIcon(BadgeImage(0));
    sBitBtn->setIconSize(QSize(BadgeSize, BadgeSize));
    sBitBtn->setFixedHeight(75);
    sBitBtn->installEventFilter(this);
    connect(sBitBtn, &QPushButton::clicked, this, &TMessageForm::sBitBtnClick);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1, 1);
    layout->addWidget(sBitBtn);

    // FormCreate
    RestoreWindowPlacement(this);
}

void TMessageForm::SetMessage(const QString& text)
{
    Panel1->setText(text);
}

void TMessageForm::done(int)
{
    // FormClose
    if (isVisible())
        SaveWindowPlacement(this);
    QDialog::done(QDialog::Rejected);
}

void TMessageForm::sBitBtnClick()
{
    close();
}

bool TMessageForm::FormKeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Escape)
        return false;
    close();
    return true;
}

bool TMessageForm::eventFilter(QObject* watched, QEvent* event)
{
    // The window sees the keys before its controls.
    if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TMessageForm::keyPressEvent(QKeyEvent* event)
{
    if (!FormKeyDown(event->key()))
        QDialog::keyPressEvent(event);
}
