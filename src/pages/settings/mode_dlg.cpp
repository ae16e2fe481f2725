#include "pages/settings/mode_dlg.h"

#include <QCheckBox>
#include <QSignalBlocker>

#include "core/ini_file.h"
#include "core/settings_file.h"
#include "pages/settings/settings_save.h"
#include "platform/win/c_number.h"
#include "platform/win/file_locations.h"

namespace {

constexpr const char* kSection = "Config";

// clang-format off
constexpr std::array<const char*, CModeDlg::kModCodeCount> kCaptions{
    "QPSK_1/4",   "QPSK_1/3",   "QPSK_2/5",   "QPSK_1/2",   "QPSK_3/5",    "QPSK_2/3",   "QPSK_3/4",
    "QPSK_4/5",   "QPSK_5/6",   "QPSK_8/9",   "QPSK_9/10",  "8PSK_3/5",    "8PSK_2/3",   "8PSK_3/4",
    "8PSK_5/6",   "8PSK_8/9",   "8PSK_9/10",  "16APSK_2/3", "16APSK_3/4",  "16APSK_4/5", "16APSK_5/6",
    "16APSK_8/9", "16APSK_9/10", "32APSK_3/4", "32APSK_4/5", "32APSK_5/6", "32APSK_8/9", "32APSK_9/10"};
// clang-format on

// First index of each modulation's column: QPSK, 8PSK, 16APSK, 32APSK.
constexpr std::array<std::size_t, 5> kColumnStarts{0, 11, 17, 23, 28};

DialogTemplate ModeTemplate() {
    using enum ControlKind;
    DialogTemplate dialog{CModeDlg::kIdd, "Select Mode Code", 295, 187, {}};
    for (std::size_t column = 0; column + 1 < kColumnStarts.size(); ++column) {
        for (std::size_t index = kColumnStarts[column]; index < kColumnStarts[column + 1];
             ++index) {
            const int row = static_cast<int>(index - kColumnStarts[column]);
            dialog.controls.emplace_back(CModeDlg::kBoxIds[index], CheckBox, kCaptions[index],
                                         12 + 70 * static_cast<int>(column), 10 + 12 * row, 64, 10);
        }
    }
    dialog.controls.emplace_back(CModeDlg::kIdAll, CheckBox, "ALL", 12, 152, 50, 10);
    dialog.controls.emplace_back(IDOK, DefaultPushButton, "OK", 180, 166, 50, 14);
    dialog.controls.emplace_back(IDCANCEL, PushButton, "Cancel", 236, 166, 50, 14);
    return dialog;
}

std::string KeyOf(std::size_t index) {
    return "ModCodeCheck_" + std::to_string(index);
}

// The entries of the record sent with "ALL": count 112, only these eight given.
constexpr std::array<ModCodeFilterRecord::Entry, 8> kAllEntries{{
    {12, 0, 0},
    {12, 1, 0},
    {12, 0, 1},
    {12, 1, 1},
    {18, 0, 0},
    {18, 1, 0},
    {18, 0, 1},
    {18, 1, 1},
}};

}  // namespace

CModeDlg::CModeDlg(QWidget* parent) : CDialog(ModeTemplate(), parent) {
    // Every change of "ALL" by its user cascades, not only a click: the accessibility interface's
    // toggle (a screen reader's "check") changes the box without a click. A click gives one
    // toggle, so nothing cascades twice; the program's own checks are silent (SetBoxChecked).
    connect(Item<QCheckBox>(kIdAll), &QCheckBox::toggled, this, [this] { OnAll(); });
}

bool CModeDlg::IsBoxChecked(int id) const {
    const auto* box = Item<QCheckBox>(id);
    return box != nullptr && box->isChecked();
}

void CModeDlg::SetBoxChecked(int id, bool checked) {
    if (auto* box = Item<QCheckBox>(id)) {
        const QSignalBlocker quiet(box);
        box->setChecked(checked);
    }
}

bool CModeDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const std::string path = platform::ModeCodeSettingsFile();
    m_nModCodeAll = platform::Atoi(ReadIniString(path, kSection, "ModCodeAll"));
    if (m_nModCodeAll != 0) {
        // The per-box keys are not read: "ALL" stands for every box.
        SetBoxChecked(kIdAll, true);
        for (int id : kBoxIds) SetBoxChecked(id, true);
        return true;
    }
    for (std::size_t i = 0; i < kModCodeCount; ++i) {
        m_nModCodeCheck[i] = platform::Atoi(ReadIniString(path, kSection, KeyOf(i)));
        if (m_nModCodeCheck[i] != 0) SetBoxChecked(kBoxIds[i], true);
    }
    return true;
}

void CModeDlg::OnAll() {
    const bool checked = IsBoxChecked(kIdAll);
    for (int id : kBoxIds) SetBoxChecked(id, checked);
}

void CModeDlg::OnOK() {
    const std::string path = platform::ModeCodeSettingsFile();
    m_ModCodeFilter = ModCodeFilterRecord{};
    if (IsBoxChecked(kIdAll)) {
        // The per-box keys keep their old values; the boxes are not looked at.
        m_nModCodeAll = 1;
        SaveSetting(this, path, kSection, "ModCodeAll", "1");
        for (const auto& entry : kAllEntries)
            m_ModCodeFilter.Append(entry.modCode, entry.selector1, entry.selector2);
        m_ModCodeFilter.count = static_cast<std::uint32_t>(ModCodeFilterRecord::kMaxEntries);
    } else {
        m_nModCodeAll = 0;
        SaveSetting(this, path, kSection, "ModCodeAll", "0");
        for (std::size_t i = 0; i < kModCodeCount; ++i)
            m_nModCodeCheck[i] = IsBoxChecked(kBoxIds[i]) ? 1 : 0;
        for (std::size_t i = 0; i < kModCodeCount; ++i) {
            SaveSetting(this, path, kSection, KeyOf(i), std::to_string(m_nModCodeCheck[i]));
        }
        for (std::size_t i = 0; i < kModCodeCount; ++i) {
            if (m_nModCodeCheck[i] == 0) continue;
            m_ModCodeFilter.AppendModCode(static_cast<std::uint32_t>(i + 1));
        }
    }
    EndDialog(IDOK);
}
