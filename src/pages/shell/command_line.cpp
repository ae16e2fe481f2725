#include "pages/shell/command_line.h"

#include <string_view>

ECommandLineRequest ReadCommandLineRequest(std::span<const char* const> arguments) {
    for (const char* argument : arguments) {
        if (argument == nullptr) continue;
        const std::string_view text(argument);
        if (text == "--help") return ECommandLineRequest::PrintHelp;
        if (text == "--version") return ECommandLineRequest::PrintVersion;
    }
    return ECommandLineRequest::RunProgram;
}

std::string VersionOutput(const std::string& versionText) {
    const std::size_t first = versionText.find_first_not_of(' ');
    if (first == std::string::npos) return "vlk-tscap (version unknown)\n";
    const std::size_t last = versionText.find_last_not_of(' ');
    return "vlk-tscap " + versionText.substr(first, last - first + 1) + "\n";
}

std::string HelpOutput(const std::string& dataFolder) {
    // The same places as the README's "Where files live" and the manual page's FILES.
    return "Usage: vlk-tscap [--help | --version]\n"
           "\n"
           "VLK-TScap works with one satellite DVB-S/S2 tuner at a time: it tunes a transponder,\n"
           "shows the signal and the carrier report, records the transport stream and drives a\n"
           "DiSEqC 1.2 dish motor. Without an option it opens its window; simulated cards are\n"
           "listed after the real ones, so it needs no hardware.\n"
           "\n"
           "Options:\n"
           "  --help     print this text and exit\n"
           "  --version  print the version and exit\n"
           "\n"
           "Files:\n"
           "  data folder: " +
           dataFolder +
           "\n"
           "    Transponders/*.ini           satellite files\n"
           "    CityList.txt                 the positioner's site list\n"
           "    LinuxTuners.ini              names and driver rules of real tuners\n"
           "    Vantor-recorder.chm, help/   the user's guide (F1)\n"
           "  VLK-TScap.ini, VLK-IPdata.ini  tuner settings and mode codes: the program folder\n"
           "                                 when it is writable, else ~/.config/vlk-tscap/\n"
           "  ~/.config/vlk-tscap/           TuningSpaces.ini; LinuxTunerLocks.ini, what locked "
           "on\n"
           "                                 real tuners; SimulatedCard.ini, the simulated card's\n"
           "                                 options\n"
           "  ~/Keplin.log                   diagnostic log\n"
           "  ~/SimulatedCard.log            trace of what the simulated card was told\n"
           "  ~/Vantor-capture.ts            default record file\n";
}
