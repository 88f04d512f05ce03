#include "dialogs/Uinptext.h"

#include "dialogs/DialogKit.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

TFormInpText* FormInpText = nullptr;

namespace {
constexpr int DesignWidth = 447;
constexpr int DesignHeight = 221;
constexpr int BottomPanelHeight = 91;
constexpr int ButtonLeft = 122, ButtonTop = 14, ButtonWidth = 217, ButtonHeight = 63;
}  // namespace

TFormInpText::TFormInpText(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FormInpText"));
    setWindowIcon(QuestionBadgeIcon());
    setFont(TahomaFont(16));
    resize(DesignWidth, DesignHeight);

    sPanel1 = new QFrame(this);
    sPanel1->setObjectName(QStringLiteral("sPanel1"));
    sPanel1->setFrameShape(QFrame::StyledPanel);
    sPanel1->setFrameShadow(QFrame::Raised);

    Label1 = new QLabel(sPanel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(12, 28);

    Edit1 = new QLineEdit(sPanel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(12, 76, 417, 31);
    Edit1->setFont(TahomaFont(19));
    SetPasswordChar(QChar());

    sPanel2 = new QFrame(this);
    sPanel2->setObjectName(QStringLiteral("sPanel2"));
    sPanel2->setFrameShape(QFrame::StyledPanel);
    sPanel2->setFrameShadow(QFrame::Raised);

    sBitBtn = new QPushButton(QStringLiteral("    ОК"), sPanel2);
    sBitBtn->setObjectName(QStringLiteral("sBitBtn"));
    sBitBtn->setGeometry(ButtonLeft, ButtonTop, ButtonWidth, ButtonHeight);
    sBitBtn->setFont(TahomaFont(21));
    sBitBtn->setIcon(BadgeImage(0));
    sBitBtn->setIconSize(QSize(BadgeSize, BadgeSize));
    sBitBtn->setDefault(true);
    connect(sBitBtn, &QPushButton::clicked, this, &QDialog::accept);

    FormResize();
    Edit1->setFocus();
}

void TFormInpText::SetPasswordChar(QChar passwordChar)
{
    // The edit stays white with black text whatever the skin; the password
    // character can only be chosen through a style sheet, which an unpolished
    // edit would not take up a second time.
    Edit1->ensurePolished();
    QString sheet = QStringLiteral("QLineEdit { background-color: #FFFFFF; color: #000000;"
                                   " selection-background-color: #3875D7; selection-color: #FFFFFF;");
    if (!passwordChar.isNull())
        sheet += QStringLiteral(" lineedit-password-character: %1;").arg(passwordChar.unicode());
    sheet += QStringLiteral(" }");
    Edit1->setStyleSheet(sheet);
    // The edit takes its password character from the style only when the echo
    // mode changes, so pass through Normal.
    Edit1->setEchoMode(QLineEdit::Normal);
    if (!passwordChar.isNull())
        Edit1->setEchoMode(QLineEdit::Password);
}

void TFormInpText::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

void TFormInpText::FormResize()
{
    const int w = width();
    const int bottomTop = qMax(0, height() - BottomPanelHeight);
    sPanel1->setGeometry(0, 0, w, bottomTop);
    sPanel2->setGeometry(0, bottomTop, w, height() - bottomTop);
    Label1->adjustSize();
    // Anchored to the top only: the button keeps its centre at the same
    // fraction of the width as in the design.
    const double centre = (ButtonLeft + ButtonWidth / 2.0) * w / DesignWidth;
    sBitBtn->move(qRound(centre - ButtonWidth / 2.0), ButtonTop);
}

void TFormInpText::keyPressEvent(QKeyEvent* event)
{
    FormKeyDown(event);
    if (!event->isAccepted())
        QDialog::keyPressEvent(event);
}

void TFormInpText::FormKeyDown(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        reject();
        event->accept();
        return;
    }
    event->ignore();
}

bool InputText(QWidget* owner, const QString& caption, const QString& prompt, QString& value,
               QChar passwordChar)
{
    QPointer<TFormInpText> form = new TFormInpText(owner);
    FormInpText = form;
    form->setWindowTitle(caption);
    form->Label1->setText(prompt);
    form->Label1->adjustSize();
    form->Edit1->setText(value);
    form->SetPasswordChar(passwordChar);
    // Selected as the edit takes the focus, so typing replaces the old value.
    form->Edit1->selectAll();
    form->Edit1->setFocus();

    const bool confirmed = form->exec() == QDialog::Accepted && form;
    if (confirmed)
        value = form->Edit1->text();
    delete form.data();
    FormInpText = nullptr;
    return confirmed;
}
