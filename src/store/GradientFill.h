#pragma once
#include <QColor>
#include <QRect>

class QPainter;

// Fills the rectangle top-down one pixel row at a time, starting with the
// colour and darkening each of red, green and blue by 3 per row, never below 0.
void GradientFillRect(QPainter& painter, const QRect& rect, const QColor& colour);
