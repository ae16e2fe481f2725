// Every window is tidy at the scale it is shown at. ctest runs these tests at 100 % and again at
// 200 % (QT_SCALE_FACTOR=2; QT_FONT_DPI=192, which Qt 6 turns into the same device pixel ratio;
// and QT_FONT_DPI=192 with high-DPI scaling off, where only the font grows and the dialog units,
// taken from the font, grow with it). In each window and page:
// - every control lies inside its parent;
// - no two controls of one window or page overlap, except a group box and the controls inside
//   its frame (clear of its frame lines and caption);
// - every caption fits: a label's text in the label, a button's text with the style's frame and
//   margin in the button, a check or radio box's indicator, spacing and text in the box, a group
//   box's caption in the group box, every item of a drop-down list in its closed field, and the
//   text of a disabled box (which cannot be scrolled) in the box;
// - every picture is made for the screen: the pixmap carries the screen's device pixel ratio
//   and is drawn unscaled, within its control; the banner has exactly its control's pixels.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QTest>
#include <set>
#include <string>
#include <vector>

#include "pages/shell/app_windows.h"
#include "pages/transponders/transponder_page.h"
#include "platform/ui/qt/dialog_units.h"
#include "platform/ui/qt/property_page.h"
#include "platform/ui/qt/property_sheet.h"

namespace {

using Faults = std::vector<std::string>;

std::string Text(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height());
}

std::string ListOf(const Faults& faults) {
    std::string text;
    for (const std::string& fault : faults) text += "\n  " + fault;
    return text;
}

// The widgets whose controls a dialog template places: the window and its page on show.
std::vector<const QWidget*> Hosts(const QWidget* window) {
    std::vector<const QWidget*> hosts{window};
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        if (dynamic_cast<const CPropertyPage*>(w) != nullptr && w->isVisible()) hosts.push_back(w);
    }
    return hosts;
}

std::vector<const QWidget*> ShownChildren(const QWidget* host) {
    std::vector<const QWidget*> children;
    for (const QWidget* w : host->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!w->isWindow() && w->isVisible()) children.push_back(w);
    }
    return children;
}

void CheckInsideParents(const QWidget* window, Faults& faults) {
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        if (w->isWindow() || !w->isVisible()) continue;
        const QWidget* parent = w->parentWidget();
        if (!parent->rect().contains(w->geometry())) {
            faults.push_back(DescribeWidget(w) + " at " + Text(w->geometry()) + " sticks out of " +
                             DescribeWidget(parent) + " of " + Text(parent->rect()));
        }
    }
}

QStyleOptionGroupBox GroupBoxOption(const QGroupBox* group) {
    QStyleOptionGroupBox option;
    option.initFrom(group);
    option.text = group->title();
    option.lineWidth = 1;
    option.textAlignment = group->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame;
    if (!group->title().isEmpty()) option.subControls |= QStyle::SC_GroupBoxLabel;
    return option;
}

// The caption of a group box, in the group box's coordinates (empty without a caption).
QRect CaptionOf(const QGroupBox* group) {
    if (group->title().isEmpty()) return QRect();
    const QStyleOptionGroupBox option = GroupBoxOption(group);
    return group->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                          group);
}

// Inside the frame of the group box, clear of its lines, and below its caption: styles draw the
// top line through the caption or under it, never lower.
bool InsideFrame(const QGroupBox* group, const QRect& r) {
    const QRect inner = group->geometry().adjusted(1, 1, -1, -1);
    const QRect caption = CaptionOf(group).translated(group->pos());
    return inner.contains(r) && (caption.isEmpty() || r.top() > caption.bottom());
}

// The window places its sheet from the banner's bottom to 2 pixels below the separator's top,
// so the sheet's lower frame is drawn over the separator and over the top line of the signal
// group, which lie on one line: a band of 2 pixels along the sheet's lower edge may overlap.
bool SheetOverEdge(const QWidget* a, const QWidget* b) {
    if (dynamic_cast<const CPropertySheet*>(a) == nullptr) return false;
    const QRect overlap = a->geometry() & b->geometry();
    return overlap.top() >= a->geometry().bottom() - 1 && overlap.top() == b->geometry().top();
}

// A separator line may run along the top line of a group box.
bool LineAlongFrame(const QWidget* a, const QWidget* b) {
    const auto* line = qobject_cast<const QFrame*>(a);
    if (line == nullptr || line->frameShape() != QFrame::HLine ||
        qobject_cast<const QGroupBox*>(b) == nullptr) {
        return false;
    }
    const QRect overlap = a->geometry() & b->geometry();
    return overlap.top() == b->geometry().top() && overlap.height() == line->height();
}

void CheckSiblingsApart(const QWidget* host, Faults& faults) {
    const std::vector<const QWidget*> children = ShownChildren(host);
    for (std::size_t i = 0; i < children.size(); ++i) {
        for (std::size_t j = i + 1; j < children.size(); ++j) {
            const QWidget* a = children[i];
            const QWidget* b = children[j];
            if (!a->geometry().intersects(b->geometry())) continue;
            const auto* groupA = qobject_cast<const QGroupBox*>(a);
            const auto* groupB = qobject_cast<const QGroupBox*>(b);
            if (groupA != nullptr && InsideFrame(groupA, b->geometry())) continue;
            if (groupB != nullptr && InsideFrame(groupB, a->geometry())) continue;
            if (SheetOverEdge(a, b) || SheetOverEdge(b, a)) continue;
            if (LineAlongFrame(a, b) || LineAlongFrame(b, a)) continue;
            faults.push_back(DescribeWidget(a) + " at " + Text(a->geometry()) + " overlaps " +
                             DescribeWidget(b) + " at " + Text(b->geometry()));
        }
    }
}

QString Caption(const QString& text) {
    QString plain = text;
    return plain.remove(QLatin1Char('&'));
}

void CheckCaption(const QWidget* w, Faults& faults) {
    const QFontMetrics metrics = w->fontMetrics();
    const QStyle* style = w->style();
    auto tooSmall = [&](const QString& text, int needed, int width) {
        if (needed > width) {
            faults.push_back(DescribeWidget(w) + ": \"" + text.toStdString() + "\" needs " +
                             std::to_string(needed) + " pixels, has " + std::to_string(width));
        }
    };
    if (const auto* button = qobject_cast<const QPushButton*>(w)) {
        // The text, the style's margin and frame on both sides: what the style's own size of a
        // push button adds (without Fusion's floor of 80 pixels, which is taste, not need).
        const int needed = metrics.horizontalAdvance(Caption(button->text())) +
                           style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w) +
                           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
        tooSmall(button->text(), needed, button->width());
        tooSmall(button->text() + " (height)", metrics.height() + 4, button->height());
    } else if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w)) {
        // Indicator, spacing and text, as the style sizes a check or radio box.
        const QSize hint = w->sizeHint();
        tooSmall(static_cast<const QAbstractButton*>(w)->text(), hint.width(), w->width());
        tooSmall(static_cast<const QAbstractButton*>(w)->text() + " (height)", metrics.height(),
                 w->height());
    } else if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->pixmap().isNull() && !label->text().isEmpty()) {
            const QSize hint = label->sizeHint();
            tooSmall(label->text(), hint.width(), label->width());
            tooSmall(label->text() + " (height)", hint.height(), label->height());
        }
    } else if (const auto* group = qobject_cast<const QGroupBox*>(w)) {
        const QRect caption = CaptionOf(group);
        if (!caption.isEmpty()) {
            // The style sizes the caption by the ink of its text, not by the advance.
            tooSmall(group->title(), metrics.boundingRect(group->title()).right() + 1,
                     caption.width());
            if (!group->rect().contains(caption)) {
                faults.push_back(DescribeWidget(w) + ": caption " + Text(caption) +
                                 " outside the frame " + Text(group->rect()));
            }
        }
    } else if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
        if (!combo->isEditable()) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            option.editable = false;
            const int field = style
                                  ->subControlRect(QStyle::CC_ComboBox, &option,
                                                   QStyle::SC_ComboBoxEditField, combo)
                                  .width();
            for (int i = 0; i < combo->count(); ++i) {
                tooSmall(combo->itemText(i), metrics.horizontalAdvance(combo->itemText(i)), field);
            }
        }
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
        if (!edit->isEnabled() && !edit->text().isEmpty()) {
            // A disabled box cannot be scrolled: all of its text must show. The frame and the
            // edit's own margin of 2 pixels on each side.
            const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
            tooSmall(edit->text(), metrics.horizontalAdvance(edit->text()),
                     edit->width() - 2 * frame - 4);
        }
    }
}

void CheckCaptions(const QWidget* window, Faults& faults) {
    for (const QWidget* host : Hosts(window)) {
        for (const QWidget* w : ShownChildren(host)) CheckCaption(w, faults);
    }
}

void CheckPictures(const QWidget* window, Faults& faults) {
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->pixmap().isNull()) continue;
        const QPixmap picture = label->pixmap();
        const std::string name = DescribeWidget(label);
        if (picture.devicePixelRatio() != label->devicePixelRatioF()) {
            faults.push_back(name + ": a picture for the ratio " +
                             std::to_string(picture.devicePixelRatio()) + " on a screen of " +
                             std::to_string(label->devicePixelRatioF()));
        }
        const QSize device =
            (QSizeF(label->contentsRect().size()) * label->devicePixelRatioF()).toSize();
        if (label->hasScaledContents()) {
            faults.push_back(name + ": a picture stretched over its control");
        } else if (label->objectName().toInt() == CBDAUtilDlg::kIdBanner &&
                   picture.size() != device) {
            faults.push_back(name + ": a banner of " + std::to_string(picture.width()) + "x" +
                             std::to_string(picture.height()) + " pixels in a control of " +
                             std::to_string(device.width()) + "x" +
                             std::to_string(device.height()));
        } else if (picture.width() > device.width() || picture.height() > device.height()) {
            faults.push_back(name + ": a picture of " + std::to_string(picture.width()) + "x" +
                             std::to_string(picture.height()) + " pixels cut to " +
                             std::to_string(device.width()) + "x" +
                             std::to_string(device.height()));
        }
    }
}

// What a user adds to a resizable window's size in these checks.
constexpr QSize kLarger(150, 120);

void ExpectTidy(const QWidget* window, const std::string& where) {
    Faults faults;
    CheckInsideParents(window, faults);
    for (const QWidget* host : Hosts(window)) CheckSiblingsApart(host, faults);
    CheckCaptions(window, faults);
    CheckPictures(window, faults);
    EXPECT_TRUE(faults.empty()) << where << " at a device pixel ratio of "
                                << window->devicePixelRatioF() << ":" << ListOf(faults);
}

// Where a group box's caption is drawn, in device pixels of the group box as it paints itself.
struct CaptionPlacement {
    int topLine = -1;       // the first row of the frame's top line, right of the caption
    QRect inkAbove;         // what is drawn above that line
    bool inkBelow = false;  // the caption's columns are drawn into below the line too
    int lineUpTo = -1;      // the line runs unbroken from the left edge up to this column
};

QRect ToDevice(const QRect& r, qreal ratio) {
    return QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio).toRect();
}

CaptionPlacement MeasureCaption(QGroupBox* group, const QRect& caption) {
    const qreal ratio = group->devicePixelRatioF();
    QImage image((QSizeF(group->size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    // Without the window's background: every pixel that is not clear is the box's own drawing.
    group->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    auto ink = [&](int x, int y) { return qAlpha(image.pixel(x, y)) != 0; };

    CaptionPlacement placement;
    const int column = qRound((caption.right() + 1 + group->width()) / 2.0 * ratio);
    for (int y = 0; y < image.height() && placement.topLine < 0; ++y) {
        if (ink(column, y)) placement.topLine = y;
    }
    if (placement.topLine < 0) return placement;
    for (int y = 0; y < placement.topLine; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (ink(x, y)) placement.inkAbove |= QRect(x, y, 1, 1);
        }
    }
    const QRect device = ToDevice(caption, ratio);
    for (int y = placement.topLine + qRound(2 * ratio); y <= device.bottom(); ++y) {
        for (int x = device.left(); x <= device.right(); ++x) placement.inkBelow |= ink(x, y);
    }
    while (placement.lineUpTo + 1 < image.width() &&
           ink(placement.lineUpTo + 1, placement.topLine)) {
        ++placement.lineUpTo;
    }
    return placement;
}

class LayoutTidinessTest : public AppWindowsTest {};

// Guards against Qt's own group box drawing, which puts the caption above the frame at the box's
// left edge: the caption belongs on the frame's top line, about one character in from its left
// end, inside the rectangle the template gives the box. Sizes are at 100 % and grow with the
// scale (device pixel ratio times font resolution over 96).
TEST_F(LayoutTidinessTest, GroupCaptionsSitOnTheFrameLineAWayIn) {
    const auto window = OpenMainWindow();
    const std::set<std::string> expected = {
        "MATYPE",          "If GoldCode need to be set,Please input it here.",
        "Limit Option:",   "Record Control:",
        "Record Process:", "Site",
        "Satellite",       "Motor",
        "Limits"};
    std::set<std::string> seen;
    for (int page = 0; page < window->Sheet()->count(); ++page) {
        window->Sheet()->setCurrentIndex(page);
        for (const QWidget* host : Hosts(window.get())) {
            for (const QWidget* w : ShownChildren(host)) {
                auto* group = qobject_cast<QGroupBox*>(const_cast<QWidget*>(w));
                if (group == nullptr || group->title().isEmpty()) continue;
                const std::string title = group->title().toStdString();
                SCOPED_TRACE(title + " on page " + window->Sheet()->tabText(page).toStdString());
                seen.insert(title);
                const qreal ratio = group->devicePixelRatioF();
                const qreal scale = ratio * group->logicalDpiX() / 96.0;
                const QRect caption = CaptionOf(group);
                EXPECT_TRUE(group->rect().contains(caption))
                    << "caption " << Text(caption) << " in " << Text(group->rect());
                EXPECT_GE(caption.left() * ratio, 4 * scale) << Text(caption);
                EXPECT_LE(caption.left() * ratio, 16 * scale) << Text(caption);

                const CaptionPlacement drawn = MeasureCaption(group, caption);
                ASSERT_GE(drawn.topLine, 0) << "no frame line drawn";
                // The middle of the caption's rectangle on the line (rows measured by centre).
                const qreal middle = (caption.top() + caption.height() / 2.0) * ratio;
                EXPECT_NEAR(drawn.topLine + 0.5, middle, ratio) << Text(caption);
                // The line goes through the text: some of it above, and only the caption there.
                const QRect device = ToDevice(caption, ratio);
                EXPECT_FALSE(drawn.inkAbove.isEmpty()) << "the caption lies below the line";
                EXPECT_TRUE(device.contains(drawn.inkAbove))
                    << Text(drawn.inkAbove) << " drawn above the line, outside " << Text(device);
                EXPECT_TRUE(drawn.inkBelow) << "the caption lies above the line";
                EXPECT_GE(drawn.lineUpTo + 1, device.left() - qRound(ratio))
                    << "the line does not reach the caption from the box's left edge";
            }
        }
    }
    for (const std::string& title : expected) EXPECT_TRUE(seen.count(title) == 1) << title;
}

// The run is at the scale its environment asks for; otherwise the 200 % runs would repeat the
// 100 % one without anyone noticing.
TEST_F(LayoutTidinessTest, TheScreenHasTheRatioAndResolutionTheRunAsksFor) {
    const qreal ratio = qApp->devicePixelRatio();
    const qreal dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    const bool scaled = qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2 ||
                        (qEnvironmentVariableIntValue("QT_FONT_DPI") == 192 &&
                         qEnvironmentVariable("QT_ENABLE_HIGHDPI_SCALING") != QStringLiteral("0"));
    const bool bigFont = qEnvironmentVariableIntValue("QT_FONT_DPI") == 192 && !scaled;
    EXPECT_EQ(ratio, scaled ? 2.0 : 1.0);
    EXPECT_EQ(dpi, bigFont ? 192.0 : 96.0);
    const DialogBaseUnits units = BaseUnitsOf(DialogFont());
    EXPECT_EQ(units.height, bigFont ? 25 : 13) << "the dialog units follow the font";
}

TEST_F(LayoutTidinessTest, DeviceList) {
    const auto window = OpenDeviceList();
    ExpectTidy(window.get(), "device list");
}

TEST_F(LayoutTidinessTest, MainWindowWithEachPage) {
    const auto window = OpenMainWindow();
    // The first poll of the monitor shows "UNLOCKED" and the lock icon.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !window->Item<QLabel>(CBDAUtilDlg::kIdLockIcon)->pixmap().isNull(); }));
    ASSERT_EQ(window->Item<QLineEdit>(CBDAUtilDlg::kIdLockText)->text(), "UNLOCKED");
    ASSERT_FALSE(window->Item<QLabel>(CBDAUtilDlg::kIdBanner)->pixmap().isNull());
    for (int page = 0; page < window->Sheet()->count(); ++page) {
        window->Sheet()->setCurrentIndex(page);
        ExpectTidy(window.get(),
                   "main window, page \"" + window->Sheet()->tabText(page).toStdString() + "\"");
    }
}

TEST_F(LayoutTidinessTest, DishAlignmentWindow) {
    const auto window = OpenMainWindow();
    CDishWindow* dish = OpenDishWindow(*window);
    ASSERT_NE(dish, nullptr);
    ExpectTidy(dish, "Dish Alignment");
    dish->resize(dish->size() + kLarger);
    ExpectTidy(dish, "Dish Alignment made larger");
}

TEST_F(LayoutTidinessTest, NetworkDialog) {
    const auto window = OpenMainWindow();
    CNetworkDialog* network = OpenNetworkDialog(*window);
    ASSERT_NE(network, nullptr);
    ExpectTidy(network, "Stream to Network");
}

TEST_F(LayoutTidinessTest, TransponderPageInItsOwnWindow) {
    const auto window = OpenMainWindow();
    window->Sheet()->setCurrentIndex(3);
    auto* page = dynamic_cast<CTransponderPage*>(window->Sheet()->currentWidget());
    ASSERT_NE(page, nullptr);
    page->Item<QPushButton>(CTransponderPage::kIdOwnWindow)->click();
    QWidget* own = window->Sheet()->PageWindow(page);
    ASSERT_NE(own, nullptr);
    ExpectTidy(own, "Transponders in its own window");
    own->resize(own->size() + kLarger);
    ExpectTidy(own, "Transponders in its own window made larger");
    ExpectTidy(window.get(), "main window with the page in its own window");
}

TEST_F(LayoutTidinessTest, ScanDialog) {
    const auto window = OpenMainWindow();
    const auto scan = OpenScanDialog(*window);
    ASSERT_NE(scan, nullptr);
    ExpectTidy(scan.get(), "Scan of a satellite");
    scan->resize(scan->size() + kLarger);
    ExpectTidy(scan.get(), "Scan of a satellite made larger");
    scan->DestroyWindow();
}

TEST_F(LayoutTidinessTest, ModeCodeDialog) {
    const auto window = OpenModeDialog();
    ExpectTidy(window.get(), "mode-code dialog");
}

TEST_F(LayoutTidinessTest, AboutBox) {
    const auto window = OpenAboutBox();
    ASSERT_EQ(window->Item<QLabel>(CAboutDlg::kIdVersion)->text(), " 3.0.1.6 ");
    ExpectTidy(window.get(), "About box");
}

}  // namespace
