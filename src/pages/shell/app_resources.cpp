#include "pages/shell/app_resources.h"

#include <QDir>
#include <QString>

// At file scope, not in a namespace: the macro declares the rcc-generated function, which
// lives in the global namespace. The compiled resources sit in a static library; this reference
// links them in and registers them (repeated calls are harmless).
static void InitResources() {
    Q_INIT_RESOURCE(resources);
}

QIcon LoadAppIcon(int id) {
    if (id != kIconProgram && id != kIconLocked && id != kIconUnlocked) return QIcon();
    InitResources();
    const QDir folder(QStringLiteral(":/vlk"));
    QIcon icon;
    // Every rendition, 1x and 2x: the icon picks the one whose pixels fit the request.
    const QStringList files =
        folder.entryList({QStringLiteral("icon_%1_*.png").arg(id)}, QDir::Files, QDir::Name);
    for (const QString& file : files) icon.addFile(folder.filePath(file));
    return icon;
}

QPixmap LoadBanner(const QSize& size, qreal devicePixelRatio) {
    InitResources();
    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QPixmap banner(QStringLiteral(":/vlk/banner_136.png"));
    if (banner.width() < pixels.width() || banner.height() < pixels.height()) {
        banner = QPixmap(QStringLiteral(":/vlk/banner_136@2x.png"));
    }
    if (banner.size() != pixels && !pixels.isEmpty()) {
        banner = banner.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    banner.setDevicePixelRatio(devicePixelRatio);
    return banner;
}
