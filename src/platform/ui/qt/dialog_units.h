#pragma once
// Dialog units to pixels, with the dialog font's average character width and height as the
// dialog manager computes them: x = dlu * avgWidth / 4, y = dlu * height / 8.
#include <QFont>
#include <QRect>

struct DialogBaseUnits {
    int averageWidth;
    int height;
};

DialogBaseUnits BaseUnitsOf(const QFont& font);
QRect DluToPixels(const QRect& dlu, const DialogBaseUnits& units);
QSize DluToPixels(const QSize& dlu, const DialogBaseUnits& units);

// The font every dialog of the program uses.
QFont DialogFont();
