#pragma once
// A picture of a window, as QWidget::grab() renders it, with the checks that tell a picture
// worth keeping from a blank or broken one: its size, its colours, and some drawing inside every
// visible control. Kept pictures go to the build folder, never to the working folder.
#include <QImage>
#include <QRect>
#include <string>
#include <vector>

class QWidget;

class CScreenshot {
public:
    // More colours than a window that paints only its background and a few flat frames has; the
    // antialiased captions of a real page bring dozens.
    static constexpr int kPlainColours = 16;

    explicit CScreenshot(QWidget& window);

    const QImage& Image() const { return m_image; }
    // The window's size in device pixels: what the picture must measure.
    QSize ExpectedSize() const;
    // Distinct colours in the whole picture, and inside `area` (window coordinates).
    int Colours() const { return ColoursIn(m_image.rect()); }
    int ColoursInWindowArea(const QRect& area) const { return ColoursIn(ToImage(area)); }
    // The visible direct children of the window whose area is one plain colour: a control that
    // drew nothing, not even a frame or a caption.
    std::vector<std::string> BlankControls() const;
    // Pixels inside `area` (window coordinates) that differ from the same pixels of `other`.
    int DifferingPixels(const CScreenshot& other, const QRect& area) const;
    // Saves the picture as `name` (PNG) in the build folder's screenshots/; false on failure.
    bool Keep(const std::string& name) const;

private:
    int ColoursIn(const QRect& imageArea) const;
    QRect ToImage(const QRect& area) const;

    QWidget& m_window;
    QImage m_image;
};
