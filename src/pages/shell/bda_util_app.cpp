#include "pages/shell/bda_util_app.h"

#include "core/diagnostic_log.h"
#include "core/process_globals.h"
#include "graph/tuner_session.h"
#include "pages/shell/bda_util_dlg.h"
#include "pages/shell/device_list.h"
#include "platform/com/co_create.h"
#include "platform/win/system_clock.h"

bool CBDAUtilApp::InitInstance() {
    // Hosting of component controls in dialogs needs no preparation with Qt.
    CoInitializeEx(nullptr, COINIT_SPEED_OVER_MEMORY);
    Sleep(1000);
    WriteLog(">> DeviceGetList");

    CDeviceList deviceList;
    if (deviceList.DoModal() == IDOK) {
        RecordWorkDir();
        RunMainWindow();
    }
    DefaultTunerSession().CloseTuner();
    return false;
}

void CBDAUtilApp::RunMainWindow() {
    CBDAUtilDlg mainWindow;
    mainWindow.DoModal();
}
