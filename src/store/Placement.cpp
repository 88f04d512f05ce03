#include "store/Placement.h"

#include "store/Fastini.h"
#include "store/Func.h"

#include "platform/Text.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

ScreenRect EnclosingRect(const std::vector<ScreenRect>& monitors)
{
    ScreenRect r;
    for (size_t i = 0; i < monitors.size(); ++i) {
        const ScreenRect& m = monitors[i];
        if (i == 0) {
            r = m;
            continue;
        }
        r.left = std::min(r.left, m.left);
        r.top = std::min(r.top, m.top);
        r.right = std::max(r.right, m.right);
        r.bottom = std::max(r.bottom, m.bottom);
    }
    return r;
}

WindowCorner KeepCornerOnScreen(WindowCorner corner, const ScreenRect& screen)
{
    if (!(corner.left < screen.right) || corner.left < screen.left)
        corner.left = 0;
    if (!(corner.top < screen.bottom) || corner.top < screen.top)
        corner.top = 0;
    return corner;
}

ScreenRect VirtualScreenRect()
{
    std::vector<ScreenRect> monitors;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();  // the full monitor, not the work area
        monitors.push_back({g.x(), g.y(), g.x() + g.width(), g.y() + g.height()});
    }
    return EnclosingRect(monitors);
}

namespace {

// Frame and caption around the client area; nothing before the window has a
// frame, so saving and restoring always agree on the numbers.
QSize FrameExtra(const QWidget* window)
{
    const QSize extra = window->frameGeometry().size() - window->geometry().size();
    return QSize(std::max(0, extra.width()), std::max(0, extra.height()));
}

int ClientSize(int32_t outer, int frame)
{
    const int64_t inner = static_cast<int64_t>(outer) - frame;
    return static_cast<int>(std::clamp<int64_t>(inner, 0, QWIDGETSIZE_MAX));
}

}  // namespace

void TFastIniFile::LoadPlacement(std::string_view section, QWidget* window)
{
    if (!window)
        return;
    const TIniSection* s = FindSection(section);
    if (!s || !s->FindParam("Left"))
        return;
    const QRect frame = window->frameGeometry();
    const int32_t left = s->ReadInteger("Left", frame.x());
    const int32_t top = s->ReadInteger("Top", frame.y());
    const int32_t width = s->ReadInteger("Width", frame.width());
    const int32_t height = s->ReadInteger("Height", frame.height());
    const QSize extra = FrameExtra(window);
    // For a window, move() places the outer frame.
    window->move(left, top);
    window->resize(ClientSize(width, extra.width()), ClientSize(height, extra.height()));
}

void TFastIniFile::SavePlacement(std::string_view section, QWidget* window)
{
    if (!window)
        return;
    Modified = true;
    TIniSection* s = FindOrAddSection(section);
    const QRect frame = window->frameGeometry();
    s->WriteInteger("Left", frame.x());
    s->WriteInteger("Top", frame.y());
    s->WriteInteger("Width", frame.width());
    s->WriteInteger("Height", frame.height());
}

void TFastIniFile::LoadFormPlacement(QWidget* window)
{
    if (window)
        LoadPlacement(ToCp1251(window->objectName()), window);
}

void TFastIniFile::SaveFormPlacement(QWidget* window)
{
    if (window)
        SavePlacement(ToCp1251(window->objectName()), window);
}

void KeepFormOnScreen(QWidget* window)
{
    if (!window)
        return;
    const WindowCorner was{window->x(), window->y()};
    const WindowCorner now = KeepCornerOnScreen(was, VirtualScreenRect());
    if (!(now == was))
        window->move(now.left, now.top);
}

void RestoreWindowPlacement(QWidget* window)
{
    if (!AppIni || !window)
        return;
    AppIni->LoadFormPlacement(window);
    KeepFormOnScreen(window);
}

void SaveWindowPlacement(QWidget* window)
{
    if (AppIni && window)
        AppIni->SaveFormPlacement(window);
}
