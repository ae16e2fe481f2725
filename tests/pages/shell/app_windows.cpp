#include "pages/shell/app_windows.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include "pages/settings/bdacontrol_dlg.h"
#include "pages/transponders/transponder_page.h"
#include "platform/ui/qt/property_sheet.h"

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

CDishWindow* AppWindowsTest::OpenDishWindow(CBDAUtilDlg& window) {
    window.Sheet()->setCurrentIndex(3);
    auto* page = dynamic_cast<CTransponderPage*>(window.Sheet()->widget(3));
    if (page == nullptr) {
        ADD_FAILURE() << "the fourth page is no Transponders page";
        return nullptr;
    }
    page->Item<QPushButton>(CTransponderPage::kIdDish)->click();
    CDishWindow* dish = page->DishWindow();
    if (dish != nullptr) Activate(dish);
    return dish;
}

CNetworkDialog* AppWindowsTest::OpenNetworkDialog(CBDAUtilDlg& window) {
    window.Sheet()->setCurrentIndex(3);
    auto* page = dynamic_cast<CTransponderPage*>(window.Sheet()->widget(3));
    if (page == nullptr) {
        ADD_FAILURE() << "the fourth page is no Transponders page";
        return nullptr;
    }
    page->Item<QPushButton>(CTransponderPage::kIdNetwork)->click();
    CNetworkDialog* network = page->NetworkDialog();
    if (network != nullptr) Activate(network);
    return network;
}

std::unique_ptr<CScanDialog> AppWindowsTest::OpenScanDialog(CBDAUtilDlg& window) {
    auto* tuner = dynamic_cast<CBdacontrolDlg*>(window.Sheet()->widget(0));
    if (tuner == nullptr) {
        ADD_FAILURE() << "the first page is no Tuner Setting page";
        return nullptr;
    }
    SatelliteFile satellite;
    satellite.orbitalTenthsEast = 192;
    satellite.name = "Astra 1KR";
    for (const char* line : {"11362,H,22000,2/3,DVB-S2,8PSK", "12603,V,22000,5/6,DVB-S"}) {
        if (auto transponder = ParseTransponderLine(line))
            satellite.transponders.push_back(*transponder);
    }
    auto dialog = std::make_unique<CScanDialog>(*tuner, satellite, nullptr, &window);
    dialog->Create();
    Activate(dialog.get());
    return dialog;
}
