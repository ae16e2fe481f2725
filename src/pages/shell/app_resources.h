#pragma once
// The program's icons and banner, compiled into it (res/resources.qrc). The pictures are
// rendered at build time at 1x and 2x, so they stay sharp on screens scaled to 200 % and with
// fonts of twice the resolution.
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

// Bitmap 136 made to measure for a control of `size` device-independent pixels on a screen of
// `devicePixelRatio`: exactly the control's device pixels, marked with the ratio, so that it is
// drawn without scaling. It is cut from the smallest rendition (1x or 2x) that has at least
// those pixels, scaled down when that rendition is larger: never a picture scaled up, unless the
// control needs more pixels than the 2x rendition has. The control is 313 x 25 dialog units:
// 547 x 40 pixels in the dialog font at 96 dots per inch, twice that for a font at 192.
QPixmap LoadBanner(const QSize& size, qreal devicePixelRatio);
