#pragma once
// The program's windows as the user meets them, for widget tests that look at all of them: the
// device list, the main window with its pages, the mode-code dialog, the About box and the
// Transponders page's windows. A
// fake PCI-E card is published and chosen; each window is shown and made the active window, so
// that keyboard focus behaves as on a desktop.
#include <gtest/gtest.h>

#include <QWidget>
#include <memory>
#include <string>

#include "pages/settings/mode_dlg.h"
#include "pages/settings/tuner_card_environment.h"
#include "pages/shell/about_dlg.h"
#include "pages/shell/bda_util_dlg.h"
#include "pages/shell/device_list.h"
#include "pages/transponders/dish_window.h"
#include "pages/transponders/network_dialog.h"
#include "pages/transponders/scan_dialog.h"
#include "platform/com/com_ptr.h"
#include "support/fake_signal_statistics.h"

// The widget's class, control id and accessible name, for failure messages.
std::string DescribeWidget(const QWidget* w);

class AppWindowsTest : public ::testing::Test {
protected:
    AppWindowsTest();

    // Creates one of the program's windows and makes it the active window.
    template <typename TWindow>
    std::unique_ptr<TWindow> OpenWindow() {
        auto window = std::make_unique<TWindow>();
        window->Create();
        Activate(window.get());
        return window;
    }
    std::unique_ptr<CDeviceList> OpenDeviceList() { return OpenWindow<CDeviceList>(); }
    // The main window with its first page shown; DestroyWindow runs when the pointer goes.
    std::unique_ptr<CBDAUtilDlg> OpenMainWindow() { return OpenWindow<CBDAUtilDlg>(); }
    std::unique_ptr<CModeDlg> OpenModeDialog() { return OpenWindow<CModeDlg>(); }
    std::unique_ptr<CAboutDlg> OpenAboutBox() { return OpenWindow<CAboutDlg>(); }
    // "Dish Alignment", opened with "Dish..." on the main window's Transponders page.
    CDishWindow* OpenDishWindow(CBDAUtilDlg& window);
    // "Stream to Network", opened with "Network..." on the main window's Transponders page.
    CNetworkDialog* OpenNetworkDialog(CBDAUtilDlg& window);
    // The scan of a satellite of two transponders, as "Scan..." opens it over the main window.
    std::unique_ptr<CScanDialog> OpenScanDialog(CBDAUtilDlg& window);

    // Shows the window and waits until it is the active window.
    static void Activate(QWidget* window);

    CTunerCardEnvironment m_env;

private:
    ComPtr<CFakeSignalStatistics> m_pSignal{new CFakeSignalStatistics};
};
