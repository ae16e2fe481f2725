#include "pages/shell/bda_util_app.h"

#include "core/diagnostic_log.h"
#include "core/process_globals.h"
#include "pages/shell/bda_util_dlg.h"
#include "pages/shell/device_list.h"
#include "platform/com/co_create.h"
#include "platform/win/known_folders.h"
#include "platform/win/system_clock.h"

bool CBDAUtilApp::InitInstance() {
    // Hosting of component controls in dialogs needs no preparation with Qt.
    CoInitializeEx(nullptr, COINIT_SPEED_OVER_MEMORY);
    Sleep(1000);
    WriteLog(">> DeviceGetList");
    // The driver mutex g_hDriverMutex exists from process start, before any other thread.

    CDeviceList deviceList;
    if (deviceList.DoModal() == IDOK) {
        g_strWorkDir = platform::DataFolder();
        RunMainWindow();
    }
    return false;
}

void CBDAUtilApp::RunMainWindow() {
    CBDAUtilDlg mainWindow;
    mainWindow.DoModal();
}
