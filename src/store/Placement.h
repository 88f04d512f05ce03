#pragma once
// The on-screen check of a restored window, kept free of the toolkit so a
// table of monitor layouts can test it.
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
