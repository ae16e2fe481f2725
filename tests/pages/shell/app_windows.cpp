#include "pages/shell/app_windows.h"

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
