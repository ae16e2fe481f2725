#include "app/app_windows.h"

#include <QApplication>
#include <QTest>

std::string DescribeWidget(const QWidget* w) {
    if (w == nullptr) return "(none)";
    std::string text = w->metaObject()->className();
    if (!w->objectName().isEmpty()) text += " " + w->objectName().toStdString();
    if (!w->accessibleName().isEmpty()) text += " \"" + w->accessibleName().toStdString() + "\"";
    return text;
}

AppWindowsTest::AppWindowsTest() {
    m_env.SetSignalStatistics(static_cast<IBDA_Topology*>(m_pSignal.Get()));
    m_env.PublishCard("VLK Arden DVBS/S2 Tuner (test)", CardCarrier::PciE);
}

void AppWindowsTest::Activate(QWidget* window) {
    window->activateWindow();
    QApplication::setActiveWindow(window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(window)) << window->windowTitle().toStdString();
}

std::unique_ptr<CDeviceList> AppWindowsTest::OpenDeviceList() {
    auto window = std::make_unique<CDeviceList>();
    window->Create();
    Activate(window.get());
    return window;
}

std::unique_ptr<CBDAUtilDlg> AppWindowsTest::OpenMainWindow() {
    auto window = std::make_unique<CBDAUtilDlg>();
    window->Create();
    Activate(window.get());
    return window;
}

std::unique_ptr<CModeDlg> AppWindowsTest::OpenModeDialog() {
    auto window = std::make_unique<CModeDlg>();
    window->Create();
    Activate(window.get());
    return window;
}

std::unique_ptr<CAboutDlg> AppWindowsTest::OpenAboutBox() {
    auto window = std::make_unique<CAboutDlg>();
    window->Create();
    Activate(window.get());
    return window;
}
