#include "service/Usernum.h"

#include "link/StandProtocol.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {

const char* const Captions[] = {"Начальный серийный номер", "Последний серийный номер", "Выделено серийных номеров:"};

// Tahoma 16 px. Another family is wider at that size and its captions would run
// under the fields at 276, so it is taken a pixel smaller until they fit.
QFont FormFont()
{
    QFont font;
    const bool tahoma = QFontDatabase::families().contains(QStringLiteral("Tahoma"));
    font.setFamily(tahoma ? QStringLiteral("Tahoma") : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(16);
    const int room = 276 - 40 - 6;
    while (!tahoma && font.pixelSize() > 11) {
        const QFontMetrics metrics(font);
        int widest = 0;
        for (const char* caption : Captions)
            widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(caption)));
        if (widest <= room)
            break;
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLineEdit* MakeEdit(QWidget* parent, int left, int top, int width)
{
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(left, top, width, 27);
    // Its own sheet, so a skin cannot make the figures unreadable.
    edit->setStyleSheet(QStringLiteral("QLineEdit { background-color: #FFFFFF; color: #000000; }"));
    return edit;
}

QPushButton* MakeButton(QWidget* parent, const QString& text, int left, int top, int width)
{
    auto* button = new QPushButton(text, parent);
    button->setGeometry(left, top, width, 29);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TFSerNum::TFSerNum(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FSerNum"));
    setWindowTitle(QStringLiteral("Серийные номера"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(FormFont());
    setFixedSize(535, 341);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 341 - 61, 535, 61);
    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, 0, 535, 341 - 61);

    Label1 = MakeLabel(Panel2, QString::fromUtf8(Captions[0]), 40, 64);
    EditCurYear = MakeEdit(Panel2, 276, 60, 37);
    Label2 = MakeLabel(Panel2, QStringLiteral("-"), 319, 64);
    EditCurNum = MakeEdit(Panel2, 331, 60, 57);
    Label3 = MakeLabel(Panel2, QString::fromUtf8(Captions[1]), 40, 116);
    EditLastYear = MakeEdit(Panel2, 276, 112, 37);
    Label4 = MakeLabel(Panel2, QStringLiteral("-"), 319, 116);
    EditLastNum = MakeEdit(Panel2, 331, 112, 57);
    Label9 = MakeLabel(Panel2, QString::fromUtf8(Captions[2]), 40, 196);
    LabelQ = MakeLabel(Panel2, QStringLiteral("-----"), 276, 196);
    ButtonZeroQ = MakeButton(Panel2, QStringLiteral("Обнулить"), 341, 196, 116);

    Button1 = MakeButton(Panel1, QStringLiteral("OK"), 128, 16, 141);
    Button1->setAutoDefault(true);
    Button1->setDefault(true);
    Button2 = MakeButton(Panel1, QStringLiteral("Отмена"), 275, 16, 141);

    connect(ButtonZeroQ, &QPushButton::clicked, this, &TFSerNum::ButtonZeroQClick);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);  // Esc rejects as well
}

void TFSerNum::SetTexts(const SerialRangeTexts& texts)
{
    EditCurYear->setText(texts.curYear);
    EditCurNum->setText(texts.curNum);
    EditLastYear->setText(texts.lastYear);
    EditLastNum->setText(texts.lastNum);
    LabelQ->setText(texts.count);
    LabelQ->adjustSize();
}

SerialRangeTexts TFSerNum::Texts() const
{
    return {EditCurYear->text(), EditCurNum->text(), EditLastYear->text(), EditLastNum->text(), LabelQ->text()};
}

void TFSerNum::ButtonZeroQClick()
{
    LabelQ->setText(QStringLiteral("0"));
    LabelQ->adjustSize();
}

void TFSerNum::showEvent(QShowEvent* event)
{
    // The whole window, frame included, over the middle of the owner's window.
    if (QWidget* owner = parentWidget()) {
        const QRect area = owner->isWindow() ? owner->frameGeometry()
                                             : QRect(owner->mapToGlobal(QPoint(0, 0)), owner->size());
        const QSize frame = frameGeometry().size();
        move(area.center() - QPoint(frame.width() / 2, frame.height() / 2));
    }
    QDialog::showEvent(event);
}

ServiceMessage SerNumCommand(StandLink& link, QWidget* owner, const std::function<int(TFSerNum&)>& show)
{
    uint8_t block[32];
    if (!link.ReadEpromBlock(SerialRangeEpromAddress, block))
        return ServiceMessage::Error(QStringLiteral("Не удалось прочитать из тестирующего устройства..."));
    const SerialRange read = ParseSerialRange(block);
    TFSerNum form(owner);
    form.SetTexts(SerialRangeToTexts(read));
    const int result = show ? show(form) : form.exec();
    if (result != QDialog::Accepted)
        return ServiceMessage::None();
    // The stand's confirmations are not looked at: the next opening shows what it holds.
    for (const auto& [address, value] : SerialRangeWrites(read, form.Texts()))
        link.WriteEpromByte(address, value);
    return ServiceMessage::None();
}
