#include "dialogs/ok_dialog.h"

#include "dialogs/DialogKit.h"
#include "store/Func.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {
constexpr int ButtonPanelHeight = 58;
}

TFOkDialog::TFOkDialog(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FOkDialog"));
    setFont(TahomaFont(16));
    resize(475, 198);

    sPanel1 = new QLabel(this);
    sPanel1->setObjectName(QStringLiteral("sPanel1"));
    sPanel1->setFont(TahomaFont(21));
    sPanel1->setFrameShape(QFrame::StyledPanel);
    sPanel1->setFrameShadow(QFrame::Raised);
    sPanel1->setAlignment(Qt::AlignCenter);
    sPanel1->setWordWrap(true);
    sPanel1->setMargin(8);

    sPanel2 = new QFrame(this);
    sPanel2->setObjectName(QStringLiteral("sPanel2"));

    sBitBtnOk = new QPushButton(QStringLiteral("Да"), sPanel2);
    sBitBtnOk->setObjectName(QStringLiteral("sBitBtnOk"));
    sBitBtnOk->setFont(TahomaFont(21));
    sBitBtnOk->setIcon(BadgeImage(0));
    sBitBtnOk->setIconSize(QSize(BadgeSize, BadgeSize));
    connect(sBitBtnOk, &QPushButton::clicked, this, &QDialog::accept);

    sBitBtnCancel = new QPushButton(QStringLiteral("Нет"), sPanel2);
    sBitBtnCancel->setObjectName(QStringLiteral("sBitBtnCancel"));
    sBitBtnCancel->setFont(TahomaFont(21));
    sBitBtnCancel->setIcon(BadgeImage(1));
    sBitBtnCancel->setIconSize(QSize(BadgeSize, BadgeSize));
    connect(sBitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    FormResize();
    // FormCreate
    RestoreWindowPlacement(this);
}

void TFOkDialog::SetQuestion(const QString& text)
{
    sPanel1->setText(text);
}

void TFOkDialog::done(int result)
{
    // FormClose
    if (isVisible())
        SaveWindowPlacement(this);
    QDialog::done(result);
}

void TFOkDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

void TFOkDialog::FormResize()
{
    const int w = width();
    const int panelTop = qMax(0, height() - ButtonPanelHeight);
    sPanel1->setGeometry(0, 0, w, panelTop);
    sPanel2->setGeometry(0, panelTop, w, height() - panelTop);
    // The two buttons split the bottom edge; the yes button gets the smaller half.
    const int half = w / 2;
    sBitBtnOk->setGeometry(0, 0, half, sPanel2->height());
    sBitBtnCancel->setGeometry(half, 0, w - half, sPanel2->height());
}
