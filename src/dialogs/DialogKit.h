#pragma once
// Pieces the program's own dialogs share: fonts and the badge artwork,
// drawn at run time so no image files travel with the program.
#include <QFont>
#include <QIcon>
#include <QPixmap>

// Tahoma of the given character height in pixels where installed, otherwise the
// system's sans-serif; pixel sized, so it does not follow the screen resolution.
QFont TahomaFont(int pixelSize);

// The two-icon image list of the dialogs, 48 x 48: 0 a green badge with a white
// check mark, 1 a red badge with a white cross; any other index gives a null pixmap.
enum { BadgeCount = 2, BadgeSize = 48 };
QPixmap BadgeImage(int index);

// Window icon of the input window: a red badge with a white question mark, 24 x 24.
QIcon QuestionBadgeIcon();
