#include "pages/settings/bdacontrol_dlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "core/ini_file.h"
#include "core/settings_file.h"
#include "graph/driver_control.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "pages/common/driver_report_boxes.h"
#include "pages/settings/mode_dlg.h"
#include "pages/settings/settings_save.h"
#include "platform/ui/qt/data_exchange.h"
#include "platform/ui/qt/lossless_text.h"
#include "platform/win/c_number.h"
#include "platform/win/file_locations.h"
#include "record/recording.h"

namespace {

constexpr const char* kSection = "Config";

DialogTemplate TunerSettingTemplate() {
    using enum ControlKind;
    using namespace ControlStyle;
    using D = CBdacontrolDlg;
    // Labels sit 3 units below the top of the 14-unit fields they name, so the texts line up.
    // clang-format off
    return DialogTemplate{
        D::kIdd,
        "Tuner Setting",
        296,
        151,
        {
            {kStaticId, GroupBox, "", 6, 0, 283, 89, kNone, {}, "Transponder"},
            {kStaticId, Label, "LNBLow:", 14, 10, 40, 8},
            {D::kIdLnbLow, Edit, "", 56, 7, 41, 14, kDigitsOnly | kBorder},
            {kStaticId, Label, "MHZ", 100, 10, 20, 8, kNone, {}, "LNBLow unit"},
            {kStaticId, Label, "LNBSwitch:", 14, 30, 40, 8},
            {D::kIdLnbSwitch, Edit, "", 56, 27, 41, 14, kBorder},
            {kStaticId, Label, "MHZ", 100, 30, 20, 8, kNone, {}, "LNBSwitch unit"},
            {kStaticId, Label, "LNBHigh:", 14, 50, 40, 8},
            {D::kIdLnbHigh, Edit, "", 56, 47, 41, 14, kDigitsOnly | kBorder},
            {kStaticId, Label, "MHZ", 100, 50, 20, 8, kNone, {}, "LNBHigh unit"},
            {kStaticId, Label, "Diseqc:", 14, 71, 40, 8},
            {D::kIdDiseqc, DropDownList, "", 56, 68, 61, 83, kVerticalScroll,
             {"Diseqc NULL", "Diseqc A", "Diseqc B", "Diseqc C", "Diseqc D"}},
            {kStaticId, Label, "Frequency:", 152, 10, 52, 8},
            {D::kIdFrequency, Edit, "", 207, 7, 41, 14, kDigitsOnly | kBorder},
            {kStaticId, Label, "MHZ", 251, 10, 20, 8, kNone, {}, "Frequency unit"},
            {kStaticId, Label, "SymbolRate:", 152, 32, 52, 8},
            {D::kIdSymbolRate, Edit, "", 208, 29, 41, 14, kDigitsOnly | kBorder},
            {kStaticId, Label, "KSps", 252, 32, 24, 8, kNone, {}, "SymbolRate unit"},
            {kStaticId, Label, "Polarity:", 152, 52, 52, 8},
            {D::kIdPolarity, DropDownList, "", 209, 49, 61, 40, kNone, {"Horizontal", "Vertical"}},
            {kStaticId, Label, "OutPutStream:", 152, 71, 54, 8},
            {D::kIdOutputStream, DropDownList, "", 209, 68, 61, 44, kNone, {"TS", "GS"}},
            {kStaticId, GroupBox, "If GoldCode need to be set,Please input it here.", 6, 93, 283, 32},
            {kStaticId, Label, "Code:", 14, 109, 40, 8},
            {D::kIdCode, Edit, "", 56, 106, 41, 14, kDigitsOnly | kBorder},
            {kStaticId, Label, "Code Type:", 110, 109, 42, 8},
            {D::kIdCodeType, DropDownList, "", 155, 106, 49, 44, kNone, {"Root Code", "Gold Code"}},
            {D::kIdSetCode, PushButton, "Set", 212, 105, 61, 14},
            {D::kIdSend, PushButton, "Send", 15, 130, 26, 14, kHidden},
            {D::kIdSetModCodes, PushButton, "Set MODCODES", 80, 131, 69, 14},
            {D::kIdLockTp, DefaultPushButton, "Lock TP", 170, 128, 122, 17},
        }};
    // clang-format on
}

// The fields hold values of the user's settings file, which are written back byte for byte.
std::string TextOf(const QLineEdit* field) {
    return LosslessText::ToBytes(field->text());
}

}  // namespace

CBdacontrolDlg::CBdacontrolDlg(QWidget* parent)
    : CPropertyPage(TunerSettingTemplate(), parent),
      m_pFrequency(Item<QLineEdit>(kIdFrequency)),
      m_pSymbolRate(Item<QLineEdit>(kIdSymbolRate)),
      m_pLnbLow(Item<QLineEdit>(kIdLnbLow)),
      m_pLnbHigh(Item<QLineEdit>(kIdLnbHigh)),
      m_pLnbSwitch(Item<QLineEdit>(kIdLnbSwitch)),
      m_pCode(Item<QLineEdit>(kIdCode)),
      m_pPolarityList(Item<QComboBox>(kIdPolarity)),
      m_pDiseqcList(Item<QComboBox>(kIdDiseqc)),
      m_pOutputStreamList(Item<QComboBox>(kIdOutputStream)),
      m_pCodeTypeList(Item<QComboBox>(kIdCodeType)),
      m_pLockTpButton(Item<QPushButton>(kIdLockTp)),
      m_pSendButton(Item<QPushButton>(kIdSend)) {
    connect(m_pLockTpButton, &QPushButton::clicked, this, [this] { OnLockTp(); });
    connect(m_pSendButton, &QPushButton::clicked, this, [this] { OnSend(); });
    connect(Item<QPushButton>(kIdSetCode), &QPushButton::clicked, this, [this] { OnSetCode(); });
    connect(Item<QPushButton>(kIdSetModCodes), &QPushButton::clicked, this,
            [this] { OnSetModCodes(); });

    // Selection changes by the user only, as the list's selection-change notification is; the
    // page's own selections (initialisation, settings) set the indices themselves.
    connect(m_pDiseqcList, &QComboBox::activated, this,
            [this] { m_nDiseqc = m_pDiseqcList->currentIndex(); });
    connect(m_pPolarityList, &QComboBox::activated, this,
            [this] { m_nPolarity = m_pPolarityList->currentIndex(); });
    connect(m_pCodeTypeList, &QComboBox::activated, this,
            [this] { m_nCodeType = m_pCodeTypeList->currentIndex(); });
    connect(m_pOutputStreamList, &QComboBox::activated, this, [this] {
        // Only remembered here; the driver hears of it at the next "Lock TP".
        switch (m_pOutputStreamList->currentIndex()) {
            case 0:
                m_StreamType = kTransportStreamType;
                break;
            case 1:
                m_StreamType = kGenericStreamType;
                break;
            default:
                break;
        }
    });
}

CBdacontrolDlg::~CBdacontrolDlg() = default;

QLineEdit* CBdacontrolDlg::Field(TunerField field) const {
    switch (field) {
        case TunerField::Frequency:
            return m_pFrequency;
        case TunerField::SymbolRate:
            return m_pSymbolRate;
        case TunerField::LnbLow:
            return m_pLnbLow;
        case TunerField::LnbHigh:
            return m_pLnbHigh;
        case TunerField::LnbSwitch:
            return m_pLnbSwitch;
    }
    return m_pFrequency;
}

std::string CBdacontrolDlg::FieldText(TunerField field) const {
    return TextOf(Field(field));
}

void CBdacontrolDlg::EnableTuneButtons(bool enable) {
    m_pSendButton->setEnabled(enable);
    m_pLockTpButton->setEnabled(enable);
}

void CBdacontrolDlg::ReadCodeField() {
    if (const auto value = DataExchange::ReadInteger(m_pCode)) m_nCodeValue = *value;
}

void CBdacontrolDlg::ShowCodeField() {
    m_pCode->setText(QString::number(m_nCodeValue));
}

void CBdacontrolDlg::SaveSettings() {
    // A refused code keeps its old value; the rest is saved all the same.
    ReadCodeField();
    const std::string path = platform::TunerSettingsFile();
    const std::array<std::pair<const char*, std::int32_t>, 4> numbers{{
        {"polarity", m_nPolarity},
        {"diseqc", m_nDiseqc},
        {"goldcode", m_nCodeValue},
        {"goldtype", m_nCodeType},
    }};
    for (const auto& [key, value] : numbers)
        SaveSetting(this, path, kSection, key, std::to_string(value));
    const std::array<std::pair<const char*, QLineEdit*>, 5> texts{{
        {"freq", m_pFrequency},
        {"symbol", m_pSymbolRate},
        {"lnblow", m_pLnbLow},
        {"lnbhigh", m_pLnbHigh},
        {"lnbswitch", m_pLnbSwitch},
    }};
    for (const auto& [key, field] : texts) SaveSetting(this, path, kSection, key, TextOf(field));
}

void CBdacontrolDlg::LoadSettings() {
    const std::string path = platform::TunerSettingsFile();
    const auto read = [&path](const char* key) { return ReadIniString(path, kSection, key); };
    const std::string frequency = read("freq");
    const std::string symbolRate = read("symbol");
    const std::string lnbLow = read("lnblow");
    const std::string lnbHigh = read("lnbhigh");
    m_pFrequency->setText(LosslessText::ToQString(frequency));
    m_pSymbolRate->setText(LosslessText::ToQString(symbolRate));
    m_pLnbLow->setText(LosslessText::ToQString(lnbLow));
    m_pLnbHigh->setText(LosslessText::ToQString(lnbHigh));
    m_pLnbSwitch->setText(LosslessText::ToQString(read("lnbswitch")));

    m_nCodeValue = platform::Atoi(read("goldcode"));
    // The stored type is kept, but the selector stays where initialisation put it.
    m_nCodeType = platform::Atoi(read("goldtype"));
    m_nDiseqc = platform::Atoi(read("diseqc"));
    m_nPolarity = platform::Atoi(read("polarity"));

    // An index outside the list clears the selection and reads back as -1.
    m_pDiseqcList->setCurrentIndex(m_nDiseqc);
    m_pPolarityList->setCurrentIndex(m_nPolarity);
    m_nDiseqc = m_pDiseqcList->currentIndex();
    m_nPolarity = m_pPolarityList->currentIndex();

    ShowCodeField();

    m_session.m_TunerControlRecord.SetFrequency(
        static_cast<std::uint32_t>(platform::Atoi(frequency)));
    m_session.m_TunerControlRecord.SetLnbLow(static_cast<std::uint32_t>(platform::Atoi(lnbLow)));
    m_session.m_TunerControlRecord.SetLnbHigh(static_cast<std::uint32_t>(platform::Atoi(lnbHigh)));
    m_session.m_TunerControlRecord.SetSymbolRate(
        static_cast<std::uint32_t>(platform::Atoi(symbolRate)));
    m_session.m_TunerControlRecord.SetPolarity(static_cast<std::uint8_t>(m_nPolarity));
    m_session.m_TunerControlRecord.SetConstants();
    m_session.m_TunerControlRecord.SetDiseqcPort(static_cast<std::uint8_t>(m_nDiseqc));
}

bool CBdacontrolDlg::OnInitDialog() {
    CPropertyPage::OnInitDialog();

    for (QComboBox* list : {m_pPolarityList, m_pDiseqcList, m_pCodeTypeList})
        list->setCurrentIndex(0);
    m_nPolarity = 0;
    m_nDiseqc = 0;
    m_nCodeType = 0;

    LoadSettings();

    // The graph is built once per run.
    DriverReports reports;
    m_session.BuildGraph(reports);
    ShowDriverReports(reports, GetSafeHwnd());

    m_pTunerDevice = m_session.TunerFilter();

    if (m_session.TunerModel() == 0) {
        AfxMessageBox(kUnsupportedCard);
        PostQuit();
        return true;
    }

    reports.clear();
    const DriverControlResult control = AcquireDriverControl(m_session, reports);
    ShowDriverReports(reports);
    if (control == DriverControlResult::Failed) return true;

    OpenRecordFile(m_session, platform::DefaultRecordFile());

    if (!m_session.HasDriverControl() || IsUsbCarrier(m_session)) {
        // Without a handle there is no carrier to ask: the page keeps its transport stream.
        m_pOutputStreamList->setCurrentIndex(0);
    } else {
        reports.clear();
        GetStreamType(m_session, m_StreamType, reports);
        ShowDriverReports(reports);
        if (m_StreamType.bytes[0] != 0) {
            m_pOutputStreamList->setCurrentIndex(0);
        } else if (m_StreamType.bytes[1] != 0) {
            m_pOutputStreamList->setCurrentIndex(1);
        }
    }
    return true;
}

void CBdacontrolDlg::OnDestroy() {
    CPropertyPage::OnDestroy();
    SaveSettings();
    DriverReports reports;
    ResetCode(m_session, reports);
    ShowDriverReports(reports);
    m_session.ReleaseGraph();
    m_pTunerDevice.Reset();
}

void CBdacontrolDlg::PostQuit() {
    QMetaObject::invokeMethod(
        qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void CBdacontrolDlg::ShowTuneResult(const TuneResult& result) {
    ShowTuneErrors(result);
}

void CBdacontrolDlg::OnLockTp() {
    LockTransponder(m_session, *this);
    if (m_fnLockTpListener) m_fnLockTpListener();
}

Transponder CBdacontrolDlg::ListedTransponder(std::int32_t frequencyMHz,
                                              std::int32_t symbolRateKsps,
                                              std::int32_t polarityIndex) const {
    Transponder transponder;
    transponder.lnbLowMHz = platform::Atoi(FieldText(TunerField::LnbLow));
    transponder.lnbHighMHz = platform::Atoi(FieldText(TunerField::LnbHigh));
    transponder.lnbSwitchMHz = platform::Atoi(FieldText(TunerField::LnbSwitch));
    transponder.frequencyMHz = frequencyMHz;
    transponder.symbolRateKsps = symbolRateKsps;
    transponder.polarityIndex = polarityIndex;
    transponder.diseqcPortIndex = m_nDiseqc;
    transponder.streamType = m_StreamType;
    return transponder;
}

void CBdacontrolDlg::ListedTransponderTuned(const TuneResult& result) {
    ShowTuneErrors(result);
    if (m_fnLockTpListener) m_fnLockTpListener();
}

void CBdacontrolDlg::OnSend() {
    PrepareTunerControl(m_session, *this);
}

void CBdacontrolDlg::OnSetCode() {
    ReadCodeField();
    m_nCodeType = m_pCodeTypeList->currentIndex();
    DriverReports reports;
    SetCode(m_session, m_nCodeValue, m_nCodeType, reports);
    ShowDriverReports(reports);
}

void CBdacontrolDlg::OnSetModCodes() {
    // Owned by the main window, as a dialog without a parent of its own is.
    CModeDlg dialog(window());
    if (dialog.DoModal() != IDOK) return;
    DriverReports reports;
    SetModCodes(m_session, dialog.m_ModCodeFilter, reports);
    ShowDriverReports(reports);
}
