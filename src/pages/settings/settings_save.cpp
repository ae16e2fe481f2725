#include "pages/settings/settings_save.h"

#include <QVariant>
#include <QWidget>

#include "core/settings_file.h"
#include "platform/ui/message_box.h"
#include "platform/win/debug_output.h"

namespace {

// Set on the outermost widget once its box has been shown. Saves come from the pages, on the UI
// thread, so the flag needs no lock.
constexpr const char* kFailureToldProperty = "vlkSettingsSaveFailureTold";

QWidget* Outermost(QWidget* widget) {
    while (widget->parentWidget() != nullptr) widget = widget->parentWidget();
    return widget;
}

}  // namespace

bool SaveSetting(QWidget* from, const std::string& path, const std::string& section,
                 const std::string& key, const std::string& value) {
    const SettingsWriteResult result = WriteSettingsString(path, section, key, value);
    if (result.Written()) return true;
    OutputDebugStringA(result.text);
    QWidget* window = Outermost(from);
    if (!window->property(kFailureToldProperty).toBool()) {
        window->setProperty(kFailureToldProperty, true);
        AfxMessageBox(result.text, MB_OK | MB_ICONEXCLAMATION);
    }
    return false;
}
