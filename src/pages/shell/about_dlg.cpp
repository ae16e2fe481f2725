#include "pages/shell/about_dlg.h"

#include <QLabel>

#include "core/version_text.h"
#include "pages/shell/app_resources.h"

namespace {

DialogTemplate AboutTemplate() {
    using enum ControlKind;
    return DialogTemplate{
        CAboutDlg::kIdd,
        "VLKArden Skarveld",
        247,
        65,
        {
            {kStaticId, Icon, "", 11, 10, 20, 20, ControlStyle::kNone, {}, "Program icon"},
            {kStaticId, Label, "VLKArden Skarveld Tool", 40, 10, 0, 0},
            {kStaticId, Label, "Version:", 40, 22, 0, 0},
            {CAboutDlg::kIdVersion, Label, "", 74, 22, 120, 8, ControlStyle::kNone, {}, "Version"},
            {kStaticId, Label, "A tool for satellite DVB-S/S2 tuner cards.", 40, 36, 0, 0},
            {IDOK, DefaultPushButton, "OK", 190, 44, 50, 14},
        }};
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : CDialog(AboutTemplate(), parent) {
    for (auto* label : findChildren<QLabel*>()) {
        if (label->accessibleName() == QStringLiteral("Program icon")) {
            // The icon fills its control, whatever the font makes of its dialog units, in the
            // pixels of the screen's ratio.
            label->setPixmap(LoadAppIcon(128).pixmap(label->size()));
        }
    }
}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_strVersion = GetVersionText(nullptr);
    Item<QLabel>(kIdVersion)->setText(QString::fromStdString(m_strVersion));
    return true;
}
