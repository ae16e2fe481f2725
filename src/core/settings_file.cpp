#include "core/settings_file.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <atomic>

#include "core/ini_file.h"
#include "platform/ui/message_box.h"
#include "platform/win/debug_output.h"
#include "platform/win/known_folders.h"

namespace {

// Whether this run has shown its box; atomic, as a second box must not slip in from any thread.
std::atomic<bool> g_bFailureShown{false};

constexpr const char* kMoveAway = "move what is in the way at that path";

// The profile writer refuses anything but a regular file with EINVAL, whose own text ("Invalid
// argument") would send the user looking at the values instead of the path.
bool IsNotARegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

std::string Reason(int error) {
    char buffer[256] = {};
    // The GNU variant: returns the text, which need not be in the buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

const char* Advice(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return "free some space on that disk";
        case EACCES:
        case EPERM:
        case EROFS:
            return "make the folder and the file writable for this user";
        case EISDIR:
        case ENOTDIR:
        case ELOOP:
            return kMoveAway;
        default:
            return "make the folder writable or free some space";
    }
}

}  // namespace

std::string SettingsFilePath(std::string_view name) {
    return platform::JoinPath(platform::SettingsFolder(), name);
}

bool WriteSettingsString(const std::string& path, const std::string& section,
                         const std::string& key, const std::string& value) {
    const std::int32_t error = WriteIniString(path, section, key, value);
    if (error == 0) return true;
    const std::string text = settings_file::FailureText(path, error);
    OutputDebugStringA(text);
    if (!g_bFailureShown.exchange(true)) AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

namespace settings_file {

std::string FailureText(const std::string& path, int error) {
    const bool inTheWay = error == EINVAL && IsNotARegularFile(path);
    return "Cannot save the settings to " + path + ": " +
           (inTheWay ? std::string("it is not a regular file") : Reason(error)) +
           ". Changes made now are lost when the program ends; " +
           (inTheWay ? kMoveAway : Advice(error)) + ".";
}

void ResetReportForTesting() {
    g_bFailureShown = false;
}

}  // namespace settings_file
