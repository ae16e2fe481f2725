// The program: the platform's classes, the card drivers' devices, then the application object.
#include <QApplication>

#include "app/bda_util_app.h"
#include "drivers/sim/sim_device_provider.h"
#include "platform/devices/system_device_enum.h"
#include "platform/ui/qt/qt_message_box_service.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CQtMessageBoxService messageBoxes;
    SetMessageBoxService(&messageBoxes);

    RegisterDeviceEnumeratorClass();
    CSimDeviceProvider simulatedCards;

    CBDAUtilApp app;
    app.InitInstance();

    SetMessageBoxService(nullptr);
    return 0;
}
