// The program: the platform's classes, the card drivers' devices, then the application object.
#include <QApplication>
#include <cstdio>
#include <span>
#include <string>

#include "cli/subcommand.h"
#include "core/version_text.h"
#include "drivers/linuxdvb/linux_dvb_device_provider.h"
#include "drivers/sim/sim_device_provider.h"
#include "pages/shell/bda_util_app.h"
#include "pages/shell/command_line.h"
#include "platform/bda/bda_classes.h"
#include "platform/devices/system_device_enum.h"
#include "platform/devices/udev_device_monitor.h"
#include "platform/media/media_classes.h"
#include "platform/ui/qt/accessibility.h"
#include "platform/ui/qt/qt_message_box_service.h"
#include "platform/win/known_folders.h"

namespace {

// 0 when the whole text reached standard output (a full disk or a closed pipe is an error).
int Print(const std::string& text) {
    const bool written = std::fputs(text.c_str(), stdout) >= 0;
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

// A subcommand, without a window: the tuners are published only for a request that runs.
int RunSubcommand(std::span<const char* const> options) {
    auto prepared = cli::PrepareSubcommand(options);
    if (const int* status = std::get_if<int>(&prepared)) return *status;
    RegisterDeviceEnumeratorClass();
    RegisterMediaClasses();
    RegisterBdaClasses();
    const linuxdvb::CLinuxDvbDeviceProvider realCards;  // listed before the simulated cards
    const CSimDeviceProvider simulatedCards;
    return cli::RunSubcommand(std::get<cli::CommandRequest>(prepared));
}

}  // namespace

int main(int argc, char** argv) {
    // Every file of the run is found from these: the environment is read once, here.
    platform::SetFolderRoots(platform::EnvironmentFolderRoots());

    // Before QApplication, which would need a display.
    const char* const* const arguments = argv;
    const std::size_t count = argc > 0 ? static_cast<std::size_t>(argc) - 1 : 0;
    const std::span<const char* const> options(arguments + 1, count);
    if (cli::IsSubcommand(options)) return RunSubcommand(options);
    switch (ReadCommandLineRequest(options)) {
        case ECommandLineRequest::PrintHelp:
            return Print(HelpOutput(platform::DataFolder()));
        case ECommandLineRequest::PrintVersion:
            return Print(VersionOutput(GetVersionText(nullptr)));
        case ECommandLineRequest::RunProgram:
            break;
    }

    QApplication application(argc, argv);
    // Lets the desktop match the window to its desktop entry and icon (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral(VLK_APP_ID));
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
