#include "support/screenshot.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cmath>
#include <set>

CScreenshot::CScreenshot(QWidget& window)
    : m_window(window), m_image(window.grab().toImage().convertToFormat(QImage::Format_ARGB32)) {}

QSize CScreenshot::ExpectedSize() const {
    const qreal ratio = m_window.devicePixelRatioF();
    return {static_cast<int>(std::lround(m_window.width() * ratio)),
            static_cast<int>(std::lround(m_window.height() * ratio))};
}

int CScreenshot::ColoursIn(const QRect& imageArea) const {
    const QRect area = imageArea.intersected(m_image.rect());
    std::set<QRgb> colours;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) colours.insert(line[x]);
    }
    return static_cast<int>(colours.size());
}

QRect CScreenshot::ToImage(const QRect& area) const {
    const qreal ratio = m_image.devicePixelRatio();
    return QRect(QPoint(static_cast<int>(std::floor(area.left() * ratio)),
                        static_cast<int>(std::floor(area.top() * ratio))),
                 QPoint(static_cast<int>(std::ceil((area.right() + 1) * ratio)) - 1,
                        static_cast<int>(std::ceil((area.bottom() + 1) * ratio)) - 1));
}

std::vector<std::string> CScreenshot::BlankControls() const {
    std::vector<std::string> blank;
    for (QWidget* control :
         m_window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!control->isVisibleTo(&m_window) || control->geometry().isEmpty()) continue;
        if (ColoursInWindowArea(control->geometry()) > 1) continue;
        const QString name =
            control->accessibleName().isEmpty() ? control->objectName() : control->accessibleName();
        blank.push_back(name.toStdString());
    }
    return blank;
}

int CScreenshot::DifferingPixels(const CScreenshot& other, const QRect& area) const {
    const QRect pixels =
        ToImage(area).intersected(m_image.rect()).intersected(other.m_image.rect());
    int differing = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (m_image.pixel(x, y) != other.m_image.pixel(x, y)) ++differing;
        }
    }
    return differing;
}

bool CScreenshot::Keep(const std::string& name) const {
    const QDir folder(QStringLiteral(VLK_TEST_SCREENSHOT_DIR));
    if (!folder.mkpath(QStringLiteral("."))) return false;
    return m_image.save(folder.filePath(QString::fromStdString(name)), "PNG");
}
