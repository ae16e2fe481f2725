// The program: the platform's classes, the card drivers' devices, then the application object.
#include <QApplication>

#include "drivers/linuxdvb/linux_dvb_device_provider.h"
#include "drivers/sim/sim_device_provider.h"
#include "pages/shell/bda_util_app.h"
#include "platform/bda/bda_classes.h"
#include "platform/devices/system_device_enum.h"
#include "platform/devices/udev_device_monitor.h"
#include "platform/media/media_classes.h"
#include "platform/ui/qt/accessibility.h"
#include "platform/ui/qt/qt_message_box_service.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    InstallAccessibility();
    CQtMessageBoxService messageBoxes;
    SetMessageBoxService(&messageBoxes);

    RegisterDeviceEnumeratorClass();
    RegisterMediaClasses();
    RegisterBdaClasses();
    linuxdvb::CLinuxDvbDeviceProvider realCards;  // listed before the simulated cards
    CSimDeviceProvider simulatedCards;
    CUdevDeviceMonitor deviceChanges;

    CBDAUtilApp app;
    app.InitInstance();

    SetMessageBoxService(nullptr);
    return 0;
}
