// Every window can be worked without a mouse: Tab and Shift+Tab, from the focus the window
// starts with, reach every enabled visible control that takes input, and the pages of the main
// window are switched with Ctrl+Tab and Ctrl+PageDown as in a property sheet.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "pages/positioner/position_dlg.h"
#include "pages/shell/app_windows.h"
#include "platform/ui/qt/property_sheet.h"

namespace {

// Parts of a composite control (the edit field of a combo box, the scroll arrows of a tab bar,
// the viewport of a list) are reached through the control itself.
bool IsPartOfAnotherControl(const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget()) {
        if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractSpinBox*>(p) ||
            qobject_cast<const QTabBar*>(p) || qobject_cast<const QAbstractItemView*>(p)) {
            return true;
        }
    }
    return false;
}

bool TakesInput(const QWidget* w) {
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const QTabBar*>(w);
}

// The enabled, visible controls of the window (of its current page) that take input.
std::vector<QWidget*> InputControls(const QWidget* window) {
    std::vector<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->isVisible() && w->isEnabled() && TakesInput(w) && !IsPartOfAnotherControl(w)) {
            controls.push_back(w);
        }
    }
    return controls;
}

struct FocusWalk {
    std::vector<QWidget*> order;  // from the start, each widget once, until the start again
    std::string problem;          // empty when the walk came round to its start
};

// Presses Tab (or Shift+Tab) on the focus widget until the focus is back where it started.
FocusWalk WalkFocus(const QWidget* window, bool backwards) {
    FocusWalk walk;
    QWidget* start = QApplication::focusWidget();
    if (start == nullptr) {
        walk.problem = "nothing has the focus";
        return walk;
    }
    walk.order.push_back(start);
    for (int step = 0; step < 400; ++step) {
        QWidget* from = QApplication::focusWidget();
        if (backwards) {
            QTest::keyClick(from, Qt::Key_Backtab, Qt::ShiftModifier);
        } else {
            QTest::keyClick(from, Qt::Key_Tab);
        }
        QWidget* to = QApplication::focusWidget();
        if (to == start) return walk;
        if (to == nullptr || to->window() != window) {
            walk.problem = "the focus left the window from " + DescribeWidget(from);
            return walk;
        }
        if (to == from) {
            walk.problem = "the focus stays on " + DescribeWidget(from);
            return walk;
        }
        if (std::find(walk.order.begin(), walk.order.end(), to) != walk.order.end()) {
            walk.problem = "the focus circles without coming back to " + DescribeWidget(start);
            return walk;
        }
        walk.order.push_back(to);
    }
    walk.problem = "no end after 400 key presses";
    return walk;
}

bool Reached(const QWidget* control, const std::vector<QWidget*>& order) {
    return std::any_of(order.begin(), order.end(), [control](const QWidget* f) {
        return f == control || control->isAncestorOf(f) || f->focusProxy() == control;
    });
}

std::string ListOf(const std::vector<QWidget*>& widgets) {
    std::string text;
    for (const QWidget* w : widgets) text += "\n  " + DescribeWidget(w);
    return text;
}

// Radio buttons of one group are one stop for Tab, as in any dialog: Tab reaches the checked
// one, and the arrow keys go from there to the others.
std::vector<QWidget*> ArrowWalk(QWidget* entry) {
    std::vector<QWidget*> order{entry};
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Up}) {
        entry->setFocus(Qt::TabFocusReason);
        for (int step = 0; step < 50; ++step) {
            QWidget* from = QApplication::focusWidget();
            QTest::keyClick(from, key);
            QWidget* to = QApplication::focusWidget();
            if (to == nullptr || to == from) break;
            if (std::find(order.begin(), order.end(), to) == order.end()) order.push_back(to);
        }
    }
    return order;
}

// A radio button that Tab does not reach is reached when the arrow keys lead to it from one of
// its group (the auto-exclusive buttons of the same parent) that Tab does reach.
bool ReachedByArrows(const QWidget* control, const std::vector<QWidget*>& tabOrder) {
    const auto* radio = qobject_cast<const QRadioButton*>(control);
    if (radio == nullptr || !radio->autoExclusive()) return false;
    for (QWidget* entry : tabOrder) {
        const auto* other = qobject_cast<const QRadioButton*>(entry);
        if (other != nullptr && other->autoExclusive() &&
            other->parentWidget() == radio->parentWidget()) {
            return Reached(control, ArrowWalk(entry));
        }
    }
    return false;
}

// Both walks come round, reach every input control (radio buttons through their group), and go
// through the controls in opposite orders. Returns the order of Tab.
std::vector<QWidget*> ExpectEveryControlReached(const QWidget* window, const std::string& where) {
    const std::vector<QWidget*> controls = InputControls(window);
    const FocusWalk forward = WalkFocus(window, false);
    EXPECT_EQ(forward.problem, "") << where << ", Tab:" << ListOf(forward.order);
    const FocusWalk backward = WalkFocus(window, true);
    EXPECT_EQ(backward.problem, "") << where << ", Shift+Tab:" << ListOf(backward.order);
    if (forward.problem.empty() && backward.problem.empty()) {
        // Shift+Tab retraces Tab: the same start, then the forward order reversed.
        std::vector<QWidget*> retraced(forward.order.rbegin(), forward.order.rend() - 1);
        retraced.insert(retraced.begin(), forward.order.front());
        EXPECT_EQ(backward.order, retraced) << where << "\nTab:" << ListOf(forward.order)
                                            << "\nShift+Tab:" << ListOf(backward.order);
    }
    std::vector<QWidget*> missed;
    for (QWidget* control : controls) {
        if (!Reached(control, forward.order) && !ReachedByArrows(control, forward.order)) {
            missed.push_back(control);
        }
    }
    EXPECT_TRUE(missed.empty()) << where << ", the keyboard never reaches:" << ListOf(missed)
                                << "\nTab goes:" << ListOf(forward.order);
    return forward.order;
}

std::vector<std::string> NamesOf(const std::vector<QWidget*>& widgets) {
    std::vector<std::string> names;
    for (const QWidget* w : widgets) names.push_back(w->objectName().toStdString());
    return names;
}

std::vector<int> IdsOf(const std::vector<QWidget*>& controls) {
    std::vector<int> ids;
    for (const QWidget* w : controls) {
        bool ok = false;
        const int id = w->objectName().toInt(&ok);
        if (ok) ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

class KeyboardReachTest : public AppWindowsTest {};

TEST_F(KeyboardReachTest, DeviceListReachesTheListAndBothButtons) {
    const auto window = OpenDeviceList();
    EXPECT_EQ(IdsOf(InputControls(window.get())),
              (std::vector<int>{IDOK, IDCANCEL, CDeviceList::kIdDeviceList}));
    EXPECT_EQ(QApplication::focusWidget(), window->GetDlgItem(CDeviceList::kIdDeviceList))
        << "the list starts with the focus, its first line selected";
    ExpectEveryControlReached(window.get(), "device list");
}

TEST_F(KeyboardReachTest, ModeCodeDialogReachesAllTwentyEightBoxesAllAndTheButtons) {
    const auto window = OpenModeDialog();
    std::vector<int> expected(CModeDlg::kBoxIds.begin(), CModeDlg::kBoxIds.end());
    expected.insert(expected.end(), {IDOK, IDCANCEL, CModeDlg::kIdAll});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(IdsOf(InputControls(window.get())), expected);
    EXPECT_NE(QApplication::focusWidget(), nullptr);
    ExpectEveryControlReached(window.get(), "mode-code dialog");
}

TEST_F(KeyboardReachTest, AboutBoxReachesOk) {
    const auto window = OpenAboutBox();
    EXPECT_EQ(IdsOf(InputControls(window.get())), std::vector<int>{IDOK});
    EXPECT_EQ(QApplication::focusWidget(), window->GetDlgItem(IDOK));
    ExpectEveryControlReached(window.get(), "About box");
}

TEST_F(KeyboardReachTest, DishAlignmentWindowReachesEveryControl) {
    const auto window = OpenMainWindow();
    CDishWindow* dish = OpenDishWindow(*window);
    ASSERT_NE(dish, nullptr);
    // Eight read-only boxes (reached, to be read), Reset Peak, the tone, the speed, the motor's
    // port, "Dish Is There" (the start was never referenced) and Close.
    EXPECT_EQ(InputControls(dish).size(), 14u);
    ExpectEveryControlReached(dish, "Dish Alignment");
}

TEST_F(KeyboardReachTest, NetworkWindowReachesEveryControl) {
    const auto window = OpenMainWindow();
    CNetworkDialog* network = OpenNetworkDialog(*window);
    ASSERT_NE(network, nullptr);
    // What to send, how, host, port, TTL, interface, Start, the address and counts (read-only,
    // reached to be read) and Close; "Open to the network" waits for HTTP, Stop for a start.
    EXPECT_EQ(InputControls(network).size(), 10u);
    ExpectEveryControlReached(network, "Stream to Network");
}

TEST_F(KeyboardReachTest, MainWindowReachesEveryControlOfEachPageAfterCtrlTab) {
    const auto window = OpenMainWindow();
    CPropertySheet* sheet = window->Sheet();
    ASSERT_EQ(sheet->count(), 5);
    // The window's own 18 (the IF and symbol rate boxes, 13 report fields, the input stream
    // list, "Apply" and the tab bar) and the page's: all of them, so that none escapes the walk.
    // The transponder page's "Stop" is disabled until a player runs. The health page's lights
    // take no input; its PID table, rate box, Reset and Export do.
    const std::size_t pageControls[] = {13, 9, 19, 17, 4};
    for (int page = 0; page < sheet->count(); ++page) {
        ASSERT_EQ(sheet->currentIndex(), page);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(sheet->widget(page)->isAncestorOf(focus))
            << "page " << page << " starts with the focus on " << DescribeWidget(focus);
        const std::string where =
            "main window, page \"" + sheet->tabText(page).toStdString() + "\"";
        EXPECT_EQ(InputControls(window.get()).size(), 18 + pageControls[page]) << where;
        const std::vector<QWidget*> order = ExpectEveryControlReached(window.get(), where);
        if (page == 2) {
            // The up-down arrows come right after the position box they count.
            const std::vector<std::string> names = NamesOf(order);
            const std::string position = std::to_string(CPositionDlg::kIdPosition);
            const auto box = std::find(names.begin(), names.end(), position);
            ASSERT_GE(std::distance(box, names.end()), 3) << ListOf(order);
            EXPECT_EQ(std::vector<std::string>(box, box + 3),
                      (std::vector<std::string>{position, "up", "down"}));
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    }
    EXPECT_EQ(sheet->currentIndex(), 0) << "Ctrl+Tab on the last page goes round to the first";
}

// From every control of every page, the four keys of a property sheet change the page and take
// the focus along to the new page.
TEST_F(KeyboardReachTest, PagesSwitchByKeyboardFromEveryControlOfThePage) {
    const auto window = OpenMainWindow();
    CPropertySheet* sheet = window->Sheet();
    const int pages = sheet->count();
    struct Switch {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int step;
        const char* name;
    };
    const Switch switches[] = {
        {Qt::Key_PageDown, Qt::ControlModifier, 1, "Ctrl+PageDown"},
        {Qt::Key_PageUp, Qt::ControlModifier, -1, "Ctrl+PageUp"},
        {Qt::Key_Tab, Qt::ControlModifier, 1, "Ctrl+Tab"},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, -1, "Ctrl+Shift+Tab"},
    };
    for (int page = 0; page < pages; ++page) {
        sheet->setCurrentIndex(page);
        QWidget* pageWidget = sheet->widget(page);
        std::vector<QWidget*> controls;
        for (QWidget* w : InputControls(window.get())) {
            if (pageWidget->isAncestorOf(w)) controls.push_back(w);
        }
        ASSERT_GT(controls.size(), 3u) << "page " << page;
        for (QWidget* control : controls) {
            for (const Switch& s : switches) {
                sheet->setCurrentIndex(page);
                control->setFocus(Qt::TabFocusReason);
                ASSERT_TRUE(Reached(control, {QApplication::focusWidget()}))
                    << DescribeWidget(control);
                QTest::keyClick(QApplication::focusWidget(), s.key, s.modifiers);
                const int expected = (page + s.step + pages) % pages;
                EXPECT_EQ(sheet->currentIndex(), expected)
                    << s.name << " on " << DescribeWidget(control);
                const QWidget* focus = QApplication::focusWidget();
                EXPECT_TRUE(focus != nullptr && sheet->widget(expected)->isAncestorOf(focus))
                    << s.name << " on " << DescribeWidget(control) << " leaves the focus on "
                    << DescribeWidget(focus);
            }
        }
    }
}

}  // namespace
