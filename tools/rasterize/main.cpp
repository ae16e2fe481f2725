// vlk-rasterize: renders an SVG drawing into PNG files of given pixel sizes, for the program's
// icons and banner. Run by the build; the program itself only ever sees the PNGs.
//
//   vlk-rasterize INPUT.svg OUTPUT.png WIDTHxHEIGHT [OUTPUT.png WIDTHxHEIGHT ...]
//
// Each size must keep the drawing's aspect ratio (within one pixel), so that nothing is
// stretched by mistake.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

struct PixelSize {
    int width;
    int height;
};

std::optional<PixelSize> ParseSize(const QString& text) {
    const auto parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2) return std::nullopt;
    bool widthOk = false;
    bool heightOk = false;
    const int width = parts[0].toInt(&widthOk);
    const int height = parts[1].toInt(&heightOk);
    if (!widthOk || !heightOk || width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        return std::nullopt;
    }
    return PixelSize{width, height};
}

int Fail(const QString& message) {
    std::fprintf(stderr, "vlk-rasterize: %s\n", qPrintable(message));
    return EXIT_FAILURE;
}

}  // namespace

int main(int argc, char** argv) {
    // Text in the drawings needs the font database, and so a GUI application; no display is
    // needed to draw into an image.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 4 || args.size() % 2 != 0) {
        return Fail(
            QStringLiteral("usage: vlk-rasterize INPUT.svg OUTPUT.png WIDTHxHEIGHT [OUTPUT.png "
                           "WIDTHxHEIGHT ...]"));
    }

    QSvgRenderer renderer(args[1]);
    if (!renderer.isValid()) return Fail(QStringLiteral("cannot read the drawing %1").arg(args[1]));
    const QRectF view = renderer.viewBoxF();
    if (view.isEmpty()) return Fail(QStringLiteral("%1 has no view box").arg(args[1]));

    for (qsizetype i = 2; i + 1 < args.size(); i += 2) {
        const QString& output = args[i];
        const auto size = ParseSize(args[i + 1]);
        if (!size) return Fail(QStringLiteral("bad size '%1' for %2").arg(args[i + 1], output));
        // The height the width implies; one pixel of rounding either way is fine.
        const double impliedHeight = size->width * view.height() / view.width();
        if (std::abs(impliedHeight - size->height) > 1.0) {
            return Fail(QStringLiteral("%1x%2 would distort %3 (view box %4x%5)")
                            .arg(size->width)
                            .arg(size->height)
                            .arg(args[1])
                            .arg(view.width())
                            .arg(view.height()));
        }
        QImage image(size->width, size->height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            renderer.render(&painter, QRectF(0, 0, size->width, size->height));
        }
        if (!image.save(output, "PNG")) return Fail(QStringLiteral("cannot write %1").arg(output));
    }
    return EXIT_SUCCESS;
}
