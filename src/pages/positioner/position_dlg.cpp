#include "pages/positioner/position_dlg.h"

#include <fmt/format.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "diseqc/motor_message.h"
#include "graph/driver_control.h"
#include "graph/tuner_session.h"
#include "pages/common/driver_report_boxes.h"
#include "platform/ui/message_box.h"
#include "platform/ui/qt/sorted_combo.h"
#include "platform/win/c_number.h"
#include "platform/win/file_locations.h"
#include "positioner/motor_port.h"
#include "positioner/pointing.h"
#include "positioner/satellite_list.h"
#include "positioner/site_list.h"

namespace {

using diseqc::Direction;
using diseqc::Framing;

// One message to the motor; what the driver reports is shown before anything else is sent.
void SendToMotor(std::span<const std::uint8_t> message) {
    DriverReports reports;
    SendDiseqCommand(DefaultTunerSession(), message, DiseqcForm::Positioner, reports);
    ShowDriverReports(reports);
}

// The message twice in a row, E1 then E0; a failed first transmission does not stop the second.
template <typename Build>
void SendMotorCommand(Build build) {
    for (const Framing framing : {Framing::Repeat, Framing::First})
        SendToMotor(build(framing).Span());
}

// What the drive buttons ask for: one step, or a drive that times out after 80 s.
constexpr int kStepButtonSteps = 1;
constexpr int kDriveButtonSeconds = 80;

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList Texts(const std::vector<std::string>& texts) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(texts.size()));
    for (const std::string& text : texts) list << Text(text);
    return list;
}

DialogTemplate PositionerTemplate() {
    using enum ControlKind;
    using namespace ControlStyle;
    using D = CPositionDlg;
    constexpr unsigned kSortedCombo = kSorted | kVerticalScroll;
    // Site and satellite on the left, the motor on the right. Labels sit 3 units below the top
    // of the 14-unit fields they name, so the texts line up; a combo box's height includes its
    // dropped-down list.
    // clang-format off
    return DialogTemplate{
        D::kIdd,
        "Motor/Positioner",
        302,
        158,
        {
            {kStaticId, GroupBox, "Site", 6, 0, 164, 88},
            {kStaticId, Label, "Country:", 12, 15, 40, 8},
            {D::kIdCountry, DropDownCombo, "", 54, 12, 110, 120, kSortedCombo},
            {kStaticId, Label, "City:", 12, 33, 40, 8},
            {D::kIdCity, DropDownCombo, "", 54, 30, 110, 120, kSortedCombo},
            {kStaticId, Label, "Latitude:", 12, 51, 40, 8},
            {D::kIdLatitude, Edit, "", 54, 48, 60, 14, kBorder},
            {kStaticId, Label, "Longitude:", 12, 69, 40, 8},
            {D::kIdLongitude, Edit, "", 54, 66, 60, 14, kBorder},

            {kStaticId, GroupBox, "Satellite", 6, 94, 164, 58},
            {kStaticId, Label, "Satellite:", 12, 109, 40, 8},
            {D::kIdSatellite, DropDownCombo, "", 54, 106, 110, 120, kSortedCombo},
            {D::kIdGo, DefaultPushButton, "Go", 114, 128, 50, 14},

            {kStaticId, GroupBox, "Motor", 176, 0, 120, 108},
            {D::kIdStepEast, PushButton, "Step East", 182, 12, 52, 14},
            {D::kIdStepWest, PushButton, "Step West", 238, 12, 52, 14},
            {D::kIdDriveEast, PushButton, "Drive East", 182, 30, 52, 14},
            {D::kIdDriveWest, PushButton, "Drive West", 238, 30, 52, 14},
            {D::kIdStop, PushButton, "Stop", 182, 48, 108, 14},
            {kStaticId, Label, "Position:", 182, 71, 32, 8},
            {D::kIdPosition, Edit, "", 216, 68, 30, 14, kBorder},
            {D::kIdPositionSpin, Spin, "", 246, 68, 10, 14, kNone, {}, "Position number up-down"},
            {D::kIdStore, PushButton, "Store", 182, 86, 52, 14},
            {D::kIdGoto, PushButton, "Goto", 238, 86, 52, 14},

            {kStaticId, GroupBox, "Limits", 176, 114, 120, 38},
            {D::kIdLimitEast, PushButton, "East", 182, 128, 34, 14, kNone, {}, "East limit"},
            {D::kIdLimitWest, PushButton, "West", 219, 128, 34, 14, kNone, {}, "West limit"},
            {D::kIdLimitsReset, PushButton, "Reset", 256, 128, 34, 14, kNone, {}, "Reset limits"},
        }};
    // clang-format on
}

}  // namespace

CPositionDlg::CPositionDlg(QWidget* parent)
    : CPropertyPage(PositionerTemplate(), parent),
      m_pPosition(Item<QLineEdit>(kIdPosition)),
      m_pSatelliteList(Item<QComboBox>(kIdSatellite)),
      m_pCountryList(Item<QComboBox>(kIdCountry)),
      m_pCityList(Item<QComboBox>(kIdCity)),
      m_pLatitude(Item<QLineEdit>(kIdLatitude)),
      m_pLongitude(Item<QLineEdit>(kIdLongitude)) {
    const std::array<std::pair<int, void (CPositionDlg::*)()>, 11> buttons{{
        {kIdStepEast, &CPositionDlg::OnStepEast},
        {kIdStepWest, &CPositionDlg::OnStepWest},
        {kIdDriveEast, &CPositionDlg::OnDriveEast},
        {kIdDriveWest, &CPositionDlg::OnDriveWest},
        {kIdStop, &CPositionDlg::OnStop},
        {kIdLimitEast, &CPositionDlg::OnLimitEast},
        {kIdLimitWest, &CPositionDlg::OnLimitWest},
        {kIdLimitsReset, &CPositionDlg::OnLimitsReset},
        {kIdStore, &CPositionDlg::OnStore},
        {kIdGoto, &CPositionDlg::OnGoto},
        {kIdGo, &CPositionDlg::OnGo},
    }};
    for (const auto& button : buttons) {
        connect(Item<QPushButton>(button.first), &QPushButton::clicked, this,
                [this, handler = button.second] { (this->*handler)(); });
    }

    // Selection changes by the user only, as the combo box's selection-change notification is;
    // the page's own selections do not reload anything.
    connect(m_pCountryList, &QComboBox::activated, this, [this] { OnCountryChanged(); });
    connect(m_pCityList, &QComboBox::activated, this, [this] { OnCityChanged(); });

    // The up-down control has no partner of its own: its arrows count the position box up and
    // down, holding an arrow repeats.
    if (QWidget* spin = GetDlgItem(kIdPositionSpin)) {
        const std::array<std::tuple<const char*, const char*, int>, 2> arrows{{
            {"up", "Next position number", 1},
            {"down", "Previous position number", -1},
        }};
        for (const auto& [name, accessibleName, delta] : arrows) {
            auto* arrow = spin->findChild<QToolButton*>(QString::fromLatin1(name));
            if (arrow == nullptr) continue;
            arrow->setAccessibleName(QString::fromLatin1(accessibleName));
            arrow->setAutoRepeat(true);
            connect(arrow, &QToolButton::clicked, this,
                    [this, step = delta] { StepPositionNumber(step); });
        }
    }
}

void CPositionDlg::OnStepEast() {
    SendMotorCommand(
        [](Framing f) { return diseqc::DriveSteps(f, Direction::East, kStepButtonSteps); });
}
void CPositionDlg::OnStepWest() {
    SendMotorCommand(
        [](Framing f) { return diseqc::DriveSteps(f, Direction::West, kStepButtonSteps); });
}
void CPositionDlg::OnDriveEast() {
    SendMotorCommand(
        [](Framing f) { return diseqc::DriveSeconds(f, Direction::East, kDriveButtonSeconds); });
}
void CPositionDlg::OnDriveWest() {
    SendMotorCommand(
        [](Framing f) { return diseqc::DriveSeconds(f, Direction::West, kDriveButtonSeconds); });
}
void CPositionDlg::OnStop() {
    SendMotorCommand(diseqc::Halt);
}
void CPositionDlg::OnLimitEast() {
    SendMotorCommand([](Framing f) { return diseqc::SetLimit(f, Direction::East); });
}
void CPositionDlg::OnLimitWest() {
    SendMotorCommand([](Framing f) { return diseqc::SetLimit(f, Direction::West); });
}
void CPositionDlg::OnLimitsReset() {
    SendMotorCommand(diseqc::LimitsOff);
}
void CPositionDlg::OnStore() {
    SendMotorCommand(
        [position = PositionNumber()](Framing f) { return diseqc::StorePosition(f, position); });
}
void CPositionDlg::OnGoto() {
    SendMotorCommand(
        [position = PositionNumber()](Framing f) { return diseqc::GotoPosition(f, position); });
}

std::uint8_t CPositionDlg::PositionNumber() const {
    // No range check: the positioner takes whatever the low eight bits say (300 is 2C).
    return static_cast<std::uint8_t>(platform::Atoi(m_pPosition->text().toStdString()) & 0xFF);
}

void CPositionDlg::StepPositionNumber(int delta) {
    const std::int64_t current = platform::Atoi(m_pPosition->text().toStdString());
    const std::int64_t next =
        std::clamp<std::int64_t>(current + delta, kFirstPosition, kLastPosition);
    m_pPosition->setText(QString::number(next));
}

QString CPositionDlg::SelectedText(const QComboBox* box) {
    const int index = box->currentIndex();
    return index < 0 ? QString() : box->itemText(index);
}

void CPositionDlg::SelectRemembered(QComboBox* box, const QString& text) {
    if (text.isEmpty()) return;
    SortedCombo::SelectString(box, 0, text);
}

bool CPositionDlg::OnInitDialog() {
    CPropertyPage::OnInitDialog();

    m_pCountryList->clear();
    SortedCombo::AddStrings(m_pCountryList, Texts(ReadCountryNames()));
    if (m_pCountryList->count() > 0) m_pCountryList->setCurrentIndex(0);
    LoadCities();

    m_pSatelliteList->clear();
    SortedCombo::AddStrings(m_pSatelliteList, Texts(ReadSatelliteEntries()));
    if (m_pSatelliteList->count() > 0) m_pSatelliteList->setCurrentIndex(0);
    SelectRemembered(m_pSatelliteList, m_strSatellite);

    SelectRemembered(m_pCountryList, m_strCountry);
    OnCountryChanged();
    SelectRemembered(m_pCityList, m_strCity);

    // Once "Go" has been used, the coordinates it saw, typed ones among them. Before that the
    // boxes keep the coordinates of the city shown: left empty they would invite a "Go" (one
    // Enter) with no site at all.
    if (m_bRemembered) {
        m_pLatitude->setText(m_strLatitude);
        m_pLongitude->setText(m_strLongitude);
    }
    return true;
}

void CPositionDlg::OnCountryChanged() {
    LoadCities();
}

void CPositionDlg::LoadCities() {
    // A new window's city box is empty; emptying it here keeps a repeated initialisation of
    // the same page equal to the first.
    m_pCityList->clear();
    const CountryCities block = ReadCitiesOfCountry(SelectedText(m_pCountryList).toStdString());
    const QStringList cities = Texts(block.cities);
    SortedCombo::AddStrings(m_pCityList, cities);
    if (m_pCityList->count() == 0) return;
    m_pCityList->setCurrentIndex(0);
    // The coordinates of the city the box shows, the first in its sorted order, which need not
    // be the block's first line in the file. Of a name on several lines, the last line's, as
    // choosing that city gives them; found among the texts the box was given, from the same
    // reading of the file.
    const qsizetype line = cities.lastIndexOf(SelectedText(m_pCityList));
    if (line < 0 || static_cast<std::size_t>(line) >= block.positions.size()) return;
    const SitePosition& position = block.positions[static_cast<std::size_t>(line)];
    m_pLatitude->setText(Text(position.latitude));
    m_pLongitude->setText(Text(position.longitude));
}

void CPositionDlg::OnCityChanged() {
    const CityPositionResult found = ReadCityPosition(SelectedText(m_pCountryList).toStdString(),
                                                      SelectedText(m_pCityList).toStdString());
    if (!found.listRead)
        MessageBoxA(GetSafeHwnd(), kSiteListUnreadableText, AfxGetAppName(), MB_OK);
    if (!found.position) return;
    m_pLatitude->setText(Text(found.position->latitude));
    m_pLongitude->setText(Text(found.position->longitude));
}

bool CPositionDlg::MotorHearsTheTuner() {
    const std::int32_t motorPort = motor_port::Read(platform::TransponderPageSettingsFile());
    const std::optional<CTunerSession::TunedCarrier> tuned = DefaultTunerSession().LastTuned();
    if (!tuned || motor_port::Reaches(motorPort, tuned->diseqcPortIndex)) return true;
    const std::string question = fmt::format(
        "The dish motor is behind DiSEqC port {}, but the tuner is switched to port {}: the motor "
        "will not hear this command. Send it anyway?",
        motor_port::PortName(motorPort), motor_port::PortName(tuned->diseqcPortIndex));
    return MessageBoxA(GetSafeHwnd(), question, AfxGetAppName(), MB_YESNO | MB_ICONEXCLAMATION) ==
           IDYES;
}

void CPositionDlg::OnGo() {
    // Remembered first, so that a rejected input is offered again next time.
    m_strSatellite = m_pSatelliteList->currentText();
    m_strLatitude = m_pLatitude->text();
    m_strLongitude = m_pLongitude->text();
    m_strCountry = m_pCountryList->currentText();
    m_strCity = m_pCityList->currentText();
    m_bRemembered = true;

    // Asked once the satellite proved reachable, just before the message goes.
    std::optional<bool> send;
    const GotoAngleStatus status = DriveToSatellite(
        m_strSatellite.toStdString(), m_strLongitude.toStdString(), m_strLatitude.toStdString(),
        [this, &send](const BYTE* bytes, int length) {
            if (!send) send = MotorHearsTheTuner();
            if (*send)
                SendToMotor(std::span<const std::uint8_t>(bytes, static_cast<std::size_t>(length)));
        });
    if (status != GotoAngleStatus::Ok)
        MessageBoxA(GetSafeHwnd(), GotoAngleErrorText(status), "Error", MB_ICONSTOP);
}
