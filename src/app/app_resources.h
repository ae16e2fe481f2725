#pragma once
// The program's icons and banner, compiled into it (res/resources.qrc). The pictures are
// rendered at build time at 1x and 2x, so they stay sharp on screens scaled to 200 %.
#include <QIcon>
#include <QPixmap>

// Resource identifiers of the pictures.
constexpr int kIconProgram = 128;   // the program: window, About box, minimised window
constexpr int kIconLocked = 133;    // the tuner is locked on a carrier
constexpr int kIconUnlocked = 134;  // the tuner is not locked
constexpr int kBitmapBanner = 136;  // the banner above the main window's pages

// Icon 128, 133 or 134 with all of its sizes (16, 24, 32 and 48 pixels, each also at 2x); a null
// icon for any other identifier.
QIcon LoadAppIcon(int id);

// Bitmap 136 for the screens' device pixel ratio: the 2x rendition, marked as such, when any
// screen is scaled above 100 %. Its device-independent size is always the same: 313 x 25 dialog
// units in the dialog font, 547 x 40.
QPixmap LoadBanner();

// The same for a given device pixel ratio.
QPixmap LoadBanner(qreal devicePixelRatio);
