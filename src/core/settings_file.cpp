#include "core/settings_file.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include "core/ini_file.h"

namespace {

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

SettingsWriteResult WriteSettingsString(const std::string& path, const std::string& section,
                                        const std::string& key, const std::string& value) {
    const std::int32_t error = WriteIniString(path, section, key, value);
    if (error == 0) return {};
    return {error, settings_file::FailureText(path, error)};
}

namespace settings_file {

std::string FailureText(const std::string& path, int error) {
    const bool inTheWay = error == EINVAL && IsNotARegularFile(path);
    return "Cannot save the settings to " + path + ": " +
           (inTheWay ? std::string("it is not a regular file") : Reason(error)) +
           ". Changes made now are lost when the program ends; " +
           (inTheWay ? kMoveAway : Advice(error)) + ".";
}

}  // namespace settings_file
