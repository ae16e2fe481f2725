#include "platform/ui/qt/dialog_units.h"

#include <QFontMetrics>

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average over the 52 letters, rounded, as the dialog manager measures a font.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(letters / 26 + 1) / 2, metrics.height()};
}

QRect DluToPixels(const QRect& dlu, const DialogBaseUnits& u) {
    return QRect(dlu.x() * u.averageWidth / 4, dlu.y() * u.height / 8,
                 dlu.width() * u.averageWidth / 4, dlu.height() * u.height / 8);
}

QSize DluToPixels(const QSize& dlu, const DialogBaseUnits& u) {
    return QSize(dlu.width() * u.averageWidth / 4, dlu.height() * u.height / 8);
}

QFont DialogFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(8.0);
    return font;
}
