#include "store/Placement.h"

#include "store/Fastini.h"
#include "store/Func.h"

#include "platform/Text.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <limits>

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

FrameMargins MarginsAround(const WindowBox& outer, const WindowBox& client)
{
    FrameMargins m;
    m.left = std::max(0, client.left - outer.left);
    m.top = std::max(0, client.top - outer.top);
    m.right = std::max(0, (outer.left + outer.width) - (client.left + client.width));
    m.bottom = std::max(0, (outer.top + outer.height) - (client.top + client.height));
    return m;
}

namespace {

int ClientSize(int64_t outer, int frame)
{
    return static_cast<int>(std::clamp<int64_t>(outer - frame, 0, QWIDGETSIZE_MAX));
}

int Coordinate(int64_t v)
{
    return static_cast<int>(std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

WindowBox ClientForOuter(int64_t left, int64_t top, int64_t width, int64_t height, const FrameMargins& frame)
{
    return {Coordinate(left), Coordinate(top), ClientSize(width, frame.left + frame.right),
            ClientSize(height, frame.top + frame.bottom)};
}

void PendingOuterPlacement::MoveCorner(int left, int top)
{
    wanted_.left = left;
    wanted_.top = top;
}

bool PendingOuterPlacement::FrameArrived(const WindowBox& outer, const WindowBox& client, WindowBox* apply)
{
    if (done_ || outer == client)
        return false;
    done_ = true;
    *apply = ClientForOuter(wanted_.left, wanted_.top, wanted_.width, wanted_.height, MarginsAround(outer, client));
    return true;
}

namespace {

WindowBox BoxOf(const QRect& r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

constexpr const char* kPendingName = "PendingOuterPlacement";

// Watches its window until the frame is known, then sets the stored outer
// box once and goes away.
class PendingPlacementFilter : public QObject {
public:
    PendingPlacementFilter(QWidget* window, const WindowBox& outer) : QObject(window), window_(window), pending_(outer)
    {
        setObjectName(QString::fromLatin1(kPendingName));
        window->installEventFilter(this);
    }

    PendingOuterPlacement& Pending() { return pending_; }

    static PendingPlacementFilter* Of(QWidget* window)
    {
        return dynamic_cast<PendingPlacementFilter*>(
            window->findChild<QObject*>(QString::fromLatin1(kPendingName), Qt::FindDirectChildrenOnly));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type t = event->type();
        if (watched != window_ || (t != QEvent::Show && t != QEvent::Move && t != QEvent::Resize))
            return false;
        WindowBox apply;
        if (pending_.FrameArrived(BoxOf(window_->frameGeometry()), BoxOf(window_->geometry()), &apply)) {
            window_->removeEventFilter(this);
            window_->resize(apply.width, apply.height);
            window_->move(apply.left, apply.top);
            deleteLater();
        }
        return false;
    }

private:
    QWidget* window_;
    PendingOuterPlacement pending_;
};

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
    delete PendingPlacementFilter::Of(window);
    const FrameMargins margins = MarginsAround(BoxOf(frame), BoxOf(window->geometry()));
    const WindowBox client = ClientForOuter(left, top, width, height, margins);
    // For a window, move() places the outer frame.
    window->move(client.left, client.top);
    window->resize(client.width, client.height);
    // Without a frame yet the outer size went in as the client size; the
    // frame, once known, is taken off it.
    if (margins.None())
        new PendingPlacementFilter(window, WindowBox{left, top, width, height});
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
    if (now == was)
        return;
    window->move(now.left, now.top);
    if (PendingPlacementFilter* pending = PendingPlacementFilter::Of(window))
        pending->Pending().MoveCorner(now.left, now.top);
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
