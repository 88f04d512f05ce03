#pragma once
// The on-screen check of a restored window and its frame arithmetic, kept
// free of the toolkit so tables of monitors and frames can test them.
#include <cstdint>
#include <vector>

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;   // left + width
    int bottom = 0;  // top + height
    bool operator==(const ScreenRect&) const = default;
};

struct WindowCorner {
    int left = 0;
    int top = 0;
    bool operator==(const WindowCorner&) const = default;
};

// The rectangle around all monitors, in the order given; (0,0,0,0) for none.
ScreenRect EnclosingRect(const std::vector<ScreenRect>& monitors);
// Only the corner is tested, against the enclosing rectangle: an edge off it
// goes to 0; a corner in a gap between monitors stays.
WindowCorner KeepCornerOnScreen(WindowCorner corner, const ScreenRect& screen);
// EnclosingRect of the full geometry of every screen the application knows.
ScreenRect VirtualScreenRect();

// A window rectangle in screen pixels: the outer frame or the client area.
struct WindowBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowBox&) const = default;
};

// Frame and caption widths around the client area.
struct FrameMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const FrameMargins&) const = default;
    bool None() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
};

// The frame around client inside outer; a side that would be negative is 0.
FrameMargins MarginsAround(const WindowBox& outer, const WindowBox& client);
// What to set for a stored outer box: the outer corner (a window is moved by
// its frame) and the client size left inside the frame, never below 0 nor
// above the toolkit's largest size.
WindowBox ClientForOuter(int64_t left, int64_t top, int64_t width, int64_t height, const FrameMargins& frame);

// A window restored before it has a frame (not shown yet, or the window
// manager has not framed it) takes the stored outer size as its client size.
// This remembers the stored outer box and gives, once, the geometry to set
// when the first show, move or resize finds the frame known, so a restore
// followed by a save gives back the same four numbers.
class PendingOuterPlacement {
public:
    explicit PendingOuterPlacement(const WindowBox& outer) : wanted_(outer) {}
    // The on-screen check moved the corner before the frame came.
    void MoveCorner(int left, int top);
    // After a show, move or resize, with the window's outer and client boxes:
    // true the first time the two differ, with what to apply in *apply
    // (corner for the move, client size for the resize); false before and
    // ever after.
    bool FrameArrived(const WindowBox& outer, const WindowBox& client, WindowBox* apply);
    bool Done() const { return done_; }
    const WindowBox& Wanted() const { return wanted_; }

private:
    WindowBox wanted_;
    bool done_ = false;
};
