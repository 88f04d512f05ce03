#pragma once
// The colours the program's lamps and values are painted in, as RGB.
#include <QColor>

namespace Colors {
inline const QColor Red{0xFF, 0x00, 0x00};
inline const QColor Lime{0x00, 0xFF, 0x00};
inline const QColor Silver{0xC0, 0xC0, 0xC0};
inline const QColor Gray{0x80, 0x80, 0x80};
inline const QColor Yellow{0xFF, 0xFF, 0x00};
inline const QColor Orange{0xFF, 0x80, 0x00};
inline const QColor Black{0x00, 0x00, 0x00};
inline const QColor White{0xFF, 0xFF, 0xFF};
}  // namespace Colors
