#pragma once
// The options answered on the terminal. They must work where no display is (a console, a package
// check), so main() handles them before Qt starts; everything else on the command line is left to
// Qt and the program, as before.
#include <span>
#include <string>

enum class ECommandLineRequest { RunProgram, PrintHelp, PrintVersion };

// The first "--help" or "--version" among the arguments after the program name decides; without
// either the program starts.
ECommandLineRequest ReadCommandLineRequest(std::span<const char* const> arguments);

// "vlk-tscap 3.0.1.6\n" from GetVersionText's " 3.0.1.6 "; "vlk-tscap (version unknown)\n" when
// the program file carries no version.
std::string VersionOutput(const std::string& versionText);

// The usage, the options and where the files live; `dataFolder` is where this copy of the program
// finds its data (platform::DataFolder()).
std::string HelpOutput(const std::string& dataFolder);
