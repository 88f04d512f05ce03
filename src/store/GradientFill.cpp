#include "store/GradientFill.h"

#include <QPainter>

#include <algorithm>

void GradientFillRect(QPainter& painter, const QRect& rect, const QColor& colour)
{
    int r = colour.red(), g = colour.green(), b = colour.blue();
    for (int i = 0; i < rect.height(); ++i) {
        painter.fillRect(QRect(rect.left(), rect.top() + i, rect.width(), 1), QColor(r, g, b));
        r = std::max(0, r - 3);
        g = std::max(0, g - 3);
        b = std::max(0, b - 3);
    }
}
