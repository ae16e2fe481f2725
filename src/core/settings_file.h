#pragma once
// The settings files (VLK-TScap.ini, VLK-IPdata.ini; where they lie:
// platform/win/file_locations.h): the one way a value is written to them. A write that fails is not
// dropped: its caller gets the system's error code and a text for the user (what, where, why and
// what to do), and decides how to tell it.
#include <string>
#include <string_view>

// What a write to a settings file came to.
struct SettingsWriteResult {
    int error = 0;     // the system's error code; 0 when the value was written
    std::string text;  // settings_file::FailureText of the path and the error; empty when written

    bool Written() const { return error == 0; }
    friend bool operator==(const SettingsWriteResult&, const SettingsWriteResult&) = default;
};

// Writes the value as WriteIniString does.
SettingsWriteResult WriteSettingsString(const std::string& path, const std::string& section,
                                        const std::string& key, const std::string& value);

namespace settings_file {

// The text told for a write to `path` that failed with the system's error code `error`.
std::string FailureText(const std::string& path, int error);

}  // namespace settings_file
