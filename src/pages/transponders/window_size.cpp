#include "pages/transponders/window_size.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "core/ini_file.h"
#include "pages/settings/settings_save.h"
#include "platform/win/c_number.h"
#include "platform/win/file_locations.h"

namespace window_size {

namespace {

constexpr const char* kWidthKey = "Width";
constexpr const char* kHeightKey = "Height";

QSize Kept(const std::string& section) {
    const std::string path = platform::TransponderPageSettingsFile();
    return {platform::Atoi(ReadIniString(path, section, kWidthKey)),
            platform::Atoi(ReadIniString(path, section, kHeightKey))};
}

}  // namespace

void Restore(QWidget* window, const std::string& section, QSize fallback) {
    QSize size = Kept(section);
    if (size.width() <= 0 || size.height() <= 0) size = fallback;
    if (!size.isValid()) return;
    size = size.expandedTo(window->minimumSize());
    if (const QScreen* screen = window->screen())
        size = size.boundedTo(screen->availableSize()).expandedTo(window->minimumSize());
    window->resize(size);
}

void Keep(QWidget* from, QSize size, const std::string& section) {
    if (size == Kept(section)) return;
    const std::string path = platform::TransponderPageSettingsFile();
    if (SaveSetting(from, path, section, kWidthKey, std::to_string(size.width())))
        SaveSetting(from, path, section, kHeightKey, std::to_string(size.height()));
}

}  // namespace window_size
