#pragma once
// The settings files (VLK-TScap.ini, VLK-IPdata.ini): where they lie, and the one way a value is
// written to them. A write that fails is not dropped in silence: the first failure of a run is
// told in a message box (what, where, why and what to do); later ones of the same run go to the
// debugger output only, as a page saves nine keys at every "Lock TP" and one box says it all.
#include <string>
#include <string_view>

// The file `name` in the settings folder (platform::SettingsFolder()).
std::string SettingsFilePath(std::string_view name);

// Writes the value as WriteIniString does; false, after the report above, when it failed.
bool WriteSettingsString(const std::string& path, const std::string& section,
                         const std::string& key, const std::string& value);

namespace settings_file {

// The text told for a write to `path` that failed with the system's error code `error`.
std::string FailureText(const std::string& path, int error);

// Lets the next failure show its box again, as at the start of a run.
void ResetReportForTesting();

}  // namespace settings_file
