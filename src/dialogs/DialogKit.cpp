#include "dialogs/DialogKit.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

QFont TahomaFont(int pixelSize)
{
    QFont font;
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"), Qt::CaseInsensitive)) {
        font = QFont(QStringLiteral("Tahoma"));
    } else {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPixelSize(pixelSize);
    return font;
}

namespace {

enum class Mark { Check, Cross, Question };

QPixmap DrawBadge(int size, const QColor& fill, Mark mark)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    // A darker rim and a lighter upper half give the badge some depth at 48 px
    // and stay clean at 24 px.
    p.setPen(QPen(fill.darker(140), s / 24.0));
    QRadialGradient gradient(QPointF(s * 0.4, s * 0.3), s * 0.75);
    gradient.setColorAt(0, fill.lighter(135));
    gradient.setColorAt(1, fill);
    p.setBrush(gradient);
    const qreal inset = s / 24.0;
    p.drawEllipse(QRectF(inset, inset, s - 2 * inset, s - 2 * inset));

    QPen white(Qt::white, s * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setBrush(Qt::NoBrush);
    p.setPen(white);
    switch (mark) {
    case Mark::Check: {
        QPainterPath path;
        path.moveTo(s * 0.28, s * 0.52);
        path.lineTo(s * 0.44, s * 0.68);
        path.lineTo(s * 0.73, s * 0.35);
        p.drawPath(path);
        break;
    }
    case Mark::Cross:
        p.drawLine(QPointF(s * 0.33, s * 0.33), QPointF(s * 0.67, s * 0.67));
        p.drawLine(QPointF(s * 0.67, s * 0.33), QPointF(s * 0.33, s * 0.67));
        break;
    case Mark::Question: {
        QFont font;
        font.setStyleHint(QFont::SansSerif);
        font.setBold(true);
        font.setPixelSize(qRound(s * 0.72));
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    }
    return pixmap;
}

const QColor BadgeGreen(0x2E, 0xA0, 0x43);
const QColor BadgeRed(0xD3, 0x2F, 0x2F);

}  // namespace

QPixmap BadgeImage(int index)
{
    switch (index) {
    case 0: return DrawBadge(BadgeSize, BadgeGreen, Mark::Check);
    case 1: return DrawBadge(BadgeSize, BadgeRed, Mark::Cross);
    default: return QPixmap();
    }
}

QIcon QuestionBadgeIcon()
{
    QIcon icon;
    icon.addPixmap(DrawBadge(24, BadgeRed, Mark::Question));
    icon.addPixmap(DrawBadge(48, BadgeRed, Mark::Question));
    return icon;
}
