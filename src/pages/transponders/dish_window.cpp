#include "pages/transponders/dish_window.h"

#include <fmt/format.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleValidator>
#include <QLineEdit>
#include <QLocale>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "core/ini_file.h"
#include "graph/driver_control.h"
#include "graph/tuner_session.h"
#include "pages/common/shown_text.h"
#include "pages/settings/settings_save.h"
#include "pages/transponders/dish_texts.h"
#include "pages/transponders/signal_plot_widget.h"
#include "pages/transponders/window_size.h"
#include "platform/audio/tone_player.h"
#include "platform/ui/qt/anchored_layout.h"
#include "platform/win/system_clock.h"
#include "positioner/dish_motion_estimate.h"
#include "positioner/motor_port.h"
#include "status/alignment_pitch.h"
#include "status/signal_sampler.h"
#include "status/signal_texts.h"

namespace {

constexpr const char* kSection = "Dish";
constexpr const char* kSpeedKey = "MotorSpeed";
// The motor's figures as often as a turning dish needs them.
constexpr int kMotorPeriodMs = 200;
// The template's size in dialog units; the user may make the window larger, the plot grows.
constexpr QSize kTemplateSize(250, 232);
constexpr const char* kWindowSection = "DishWindow";
// The signal group and the motor group below it, in dialog units.
constexpr QRect kSignalGroup(4, 2, 242, 116);
constexpr QRect kMotorGroup(4, 120, 242, 90);

DialogTemplate DishWindowTemplate() {
    using enum ControlKind;
    using namespace ControlStyle;
    using W = CDishWindow;
    // clang-format off
    return DialogTemplate{
        W::kIdd,
        "Dish Alignment",
        kTemplateSize.width(),
        kTemplateSize.height(),
        {
            {kStaticId, GroupBox, "Signal", 4, 2, 242, 116},
            {kStaticId, Label, "C/N:", 10, 14, 24, 8},
            {W::kIdCarrierToNoise, Edit, "", 36, 12, 56, 12, kReadOnly | kBorder},
            {kStaticId, Label, "Level:", 100, 14, 24, 8},
            {W::kIdLevel, Edit, "", 126, 12, 60, 12, kReadOnly | kBorder},
            {kStaticId, Label, "Peak:", 10, 29, 24, 8},
            {W::kIdPeak, Edit, "", 36, 27, 150, 12, kReadOnly | kBorder},
            {W::kIdResetPeak, PushButton, "Reset Peak", 190, 26, 50, 14},
            {W::kIdTone, CheckBox, "Tone rising with C/N", 10, 101, 92, 10},
            {W::kIdToneStatus, Edit, "", 104, 100, 136, 12, kReadOnly | kBorder, {},
             "Tone status"},
            {kStaticId, GroupBox, "Motor, as the program believes it", 4, 120, 242, 90},
            {kStaticId, Label, "Dish at:", 10, 132, 36, 8},
            {W::kIdDishAngle, Edit, "", 48, 130, 80, 12, kReadOnly | kBorder},
            {kStaticId, Label, "Target:", 134, 132, 30, 8},
            {W::kIdTarget, Edit, "", 166, 130, 74, 12, kReadOnly | kBorder},
            {kStaticId, Label, "Motor:", 10, 147, 36, 8},
            {W::kIdMotorState, Edit, "", 48, 145, 80, 12, kReadOnly | kBorder},
            {kStaticId, Label, "Arrives in:", 134, 147, 36, 8},
            {W::kIdArrival, Edit, "", 172, 145, 68, 12, kReadOnly | kBorder},
            {W::kIdTravel, ProgressBar, "", 10, 161, 230, 8, kSmooth, {}, "Motor travel"},
            {kStaticId, Label, "Motor speed:", 10, 177, 46, 8},
            {W::kIdSpeed, Edit, "", 58, 175, 30, 12, kBorder},
            {kStaticId, Label, "degrees a second", 92, 177, 80, 8},
            {kStaticId, Label, "Motor on:", 10, 193, 36, 8},
            {W::kIdMotorPort, DropDownList, "", 48, 191, 80, 80},
            {W::kIdConfirm, PushButton, "Dish Is There", 166, 190, 74, 14},
            {IDCANCEL, PushButton, "Close", 196, 214, 50, 14},
        },
        DialogStyle::kResizable};
    // clang-format on
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CDishWindow::CDishWindow(std::shared_ptr<CDishMotionEstimate> estimate, std::string settingsPath,
                         QWidget* parent)
    : CDialog(DishWindowTemplate(), parent),
      m_pEstimate(std::move(estimate)),
      m_strSettingsPath(std::move(settingsPath)),
      m_pPlot(new CSignalPlotWidget(this)),
      m_pTone(std::make_unique<CTonePlayer>()) {
    m_pPlot->setGeometry(DluToPixels(QRect(10, 43, 230, 54), BaseUnits()));
    // The plot takes the room; the fields beside it and the motor's below keep their sizes.
    auto* anchors = new CAnchoredLayout(this, kTemplateSize, BaseUnits());
    anchors->Anchor(m_pPlot, {0, 0, 1, 1});
    anchors->Anchor(Item<QPushButton>(kIdResetPeak), {1, 0, 0, 0});
    anchors->Anchor(Item<QLineEdit>(kIdPeak), {0, 0, 1, 0});
    anchors->Anchor(Item<QLineEdit>(kIdToneStatus), {0, 1, 1, 0});
    anchors->Anchor(Item<QCheckBox>(kIdTone), {0, 1, 0, 0});
    anchors->Anchor(Item<QProgressBar>(kIdTravel), {0, 1, 1, 0});
    anchors->AnchorAt(kSignalGroup, {0, 0, 1, 1});
    anchors->AnchorAt(kMotorGroup, {0, 1, 1, 0});
    anchors->AnchorInside(kSignalGroup, {0, 0, 0, 0});
    anchors->AnchorInside(kMotorGroup, {0, 1, 0, 0});
    anchors->Anchor(Item<QPushButton>(IDCANCEL), {1, 1, 0, 0});
    window_size::Restore(this, kWindowSection);
    setTabOrder(Item<QPushButton>(kIdResetPeak), m_pPlot);
    setTabOrder(m_pPlot, Item<QCheckBox>(kIdTone));
    auto* speed = Item<QLineEdit>(kIdSpeed);
    auto* validator = new QDoubleValidator(kSlowestSpeed, kFastestSpeed, 2, speed);
    validator->setNotation(QDoubleValidator::StandardNotation);
    validator->setLocale(QLocale::c());
    speed->setValidator(validator);
    speed->setToolTip(
        "How fast the motor turns (its manual says; about 1.5 at 13 V and 2 at 18 V)");
    Item<QProgressBar>(kIdTravel)->setRange(0, 1000);
    Item<QProgressBar>(kIdTravel)->setTextVisible(false);

    connect(Item<QPushButton>(kIdResetPeak), &QPushButton::clicked, this,
            [this] { OnResetPeak(); });
    connect(Item<QCheckBox>(kIdTone), &QCheckBox::toggled, this,
            [this](bool on) { OnToneToggled(on); });
    connect(speed, &QLineEdit::editingFinished, this, [this] { OnSpeedEdited(); });
    auto* port = Item<QComboBox>(kIdMotorPort);
    port->addItems({"every port", "port A", "port B", "port C", "port D"});
    port->setToolTip(
        "The DiSEqC switch port the motor sits behind: commands sent while the tuner is switched "
        "to another port do not reach it");
    connect(port, &QComboBox::activated, this, [this](int index) { OnMotorPortChosen(index); });
    auto* confirm = Item<QPushButton>(kIdConfirm);
    confirm->setToolTip(
        "The card cannot tell whether the motor heard a command: say so when the dish is where "
        "the program shows it");
    connect(confirm, &QPushButton::clicked, this, [this] {
        m_pEstimate->Confirm(GetTickCount64());
        ShowMotor();
    });
    m_motorTimer.setInterval(kMotorPeriodMs);
    connect(&m_motorTimer, &QTimer::timeout, this, [this] { ShowMotor(); });
}

CDishWindow::~CDishWindow() {
    StopLiveWork();
}

bool CDishWindow::OnInitDialog() {
    CDialog::OnInitDialog();
    const std::string remembered = ReadIniString(m_strSettingsPath, kSection, kSpeedKey);
    bool valid = false;
    const double speed = QString::fromStdString(remembered).toDouble(&valid);
    if (valid && speed >= kSlowestSpeed && speed <= kFastestSpeed)
        m_pEstimate->SetSpeed(speed, GetTickCount64());
    ShowText(Item<QLineEdit>(kIdSpeed), fmt::format("{:g}", m_pEstimate->Speed()));
    Item<QComboBox>(kIdMotorPort)->setCurrentIndex(motor_port::Read(m_strSettingsPath));
    ShowText(Item<QLineEdit>(kIdCarrierToNoise), DecibelText(std::nullopt));
    ShowText(Item<QLineEdit>(kIdLevel), DecibelMilliwattText(std::nullopt));
    ShowPeak();
    m_pSampler = std::make_unique<CSignalSampler>(
        [] { return GetSignalMeasure(DefaultTunerSession()); },
        [this](const MeterSample& sample) {
            QMetaObject::invokeMethod(
                this, [this, sample] { ShowSample(sample); }, Qt::QueuedConnection);
        });
    m_pSampler->SetRunning(isVisible());
    ShowMotor();
    if (isVisible()) m_motorTimer.start();
    return true;
}

void CDishWindow::OnDestroy() {
    StopLiveWork();
}

void CDishWindow::StopLiveWork() {
    m_motorTimer.stop();
    if (m_pSampler) m_pSampler->Stop();
    m_pTone->Stop();
}

void CDishWindow::showEvent(QShowEvent* event) {
    CDialog::showEvent(event);
    if (m_pSampler) m_pSampler->SetRunning(true);
    if (Item<QCheckBox>(kIdTone)->isChecked()) OnToneToggled(true);
    m_motorTimer.start();
    ShowMotor();
}

void CDishWindow::hideEvent(QHideEvent* event) {
    CDialog::hideEvent(event);
    window_size::Keep(this, size(), kWindowSection);
    if (m_pSampler) m_pSampler->SetRunning(false);
    m_pTone->Stop();
    m_motorTimer.stop();
}

void CDishWindow::ShowSample(const MeterSample& sample) {
    if (!m_pSampler || !isVisible()) return;  // one that was under way when the window went
    ++m_nSamplesShown;
    m_history.Add(sample);
    ShowText(Item<QLineEdit>(kIdCarrierToNoise), DecibelText(sample.carrierToNoiseDb));
    ShowText(Item<QLineEdit>(kIdLevel), DecibelMilliwattText(sample.levelDbm));
    ShowPeak();
    m_pPlot->SetHistory(m_history);
    m_pTone->SetFrequency(AlignmentPitchHz(sample.carrierToNoiseDb));
}

void CDishWindow::ShowPeak() {
    const std::optional<MeterSample> peak = m_history.Peak();
    if (!peak) {
        ShowText(Item<QLineEdit>(kIdPeak), dish_texts::Peak(std::nullopt, 0));
        return;
    }
    // The peak's tick, as the clock time it was.
    const DWORD since = GetTickCount() - peak->tickMs;  // modulo 2^32, as the ticks wrap
    const int ago = static_cast<int>(std::min<DWORD>(since, std::numeric_limits<int>::max()));
    const QTime when = QTime::currentTime().addMSecs(-ago);
    ShowText(Item<QLineEdit>(kIdPeak),
             dish_texts::Peak(peak->carrierToNoiseDb, when.msecsSinceStartOfDay() / 1000));
}

void CDishWindow::OnResetPeak() {
    m_history.ResetPeak();
    ShowPeak();
    m_pPlot->SetHistory(m_history);
}

void CDishWindow::OnToneToggled(bool on) {
    auto* status = Item<QLineEdit>(kIdToneStatus);
    if (!on) {
        m_pTone->Stop();
        ShowText(status, "");
        return;
    }
    std::string error;
    if (!m_pTone->Start(&error)) {
        ShowText(status, error);
        status->setToolTip(Text(error));
        const QSignalBlocker quiet(Item<QCheckBox>(kIdTone));
        Item<QCheckBox>(kIdTone)->setChecked(false);
        return;
    }
    ShowText(status, "playing");
    status->setToolTip({});
    const std::optional<MeterSample> latest =
        m_history.Samples().empty() ? std::nullopt : std::optional(m_history.Samples().back());
    m_pTone->SetFrequency(AlignmentPitchHz(latest ? latest->carrierToNoiseDb : std::nullopt));
}

void CDishWindow::OnSpeedEdited() {
    auto* field = Item<QLineEdit>(kIdSpeed);
    bool valid = false;
    const double speed = QLocale::c().toDouble(field->text(), &valid);
    if (!valid || speed < kSlowestSpeed || speed > kFastestSpeed) {
        ShowText(field, fmt::format("{:g}", m_pEstimate->Speed()));
        return;
    }
    m_pEstimate->SetSpeed(speed, GetTickCount64());
    SaveSetting(this, m_strSettingsPath, kSection, kSpeedKey, fmt::format("{:g}", speed));
    ShowMotor();
}

void CDishWindow::OnMotorPortChosen(int port) {
    SaveSetting(this, m_strSettingsPath, motor_port::kSection, motor_port::kKey,
                std::to_string(port));
}

void CDishWindow::ShowMotor() {
    const DishMotion motion = m_pEstimate->At(GetTickCount64());
    const double direction = motion.target ? *motion.target - motion.angle
                                           : (m_travelStart ? motion.angle - *m_travelStart : 0.0);
    ShowText(Item<QLineEdit>(kIdDishAngle),
             dish_texts::Angle(motion.angle, motion.referenced && !motion.assumed));
    Item<QPushButton>(kIdConfirm)
        ->setEnabled(!motion.moving && (motion.assumed || !motion.referenced));
    ShowText(Item<QLineEdit>(kIdTarget), dish_texts::Target(motion.target, motion.moving));
    ShowText(Item<QLineEdit>(kIdMotorState), dish_texts::MotorState(motion.moving, direction));
    ShowText(Item<QLineEdit>(kIdArrival), dish_texts::Arrival(motion.secondsLeft, motion.moving));
    ShowTravel(motion);
}

void CDishWindow::ShowTravel(const DishMotion& motion) {
    auto* bar = Item<QProgressBar>(kIdTravel);
    if (!motion.moving) {
        m_travelStart.reset();
        m_travelTarget.reset();
        bar->setValue(0);
        return;
    }
    // A new movement (or a new target) starts the bar again from where the dish is now.
    if (!m_travelStart || m_travelTarget != motion.target) {
        m_travelStart = motion.angle;
        m_travelTarget = motion.target;
    }
    if (!motion.target || *motion.target == *m_travelStart) {
        bar->setValue(0);
        return;
    }
    const double done = (motion.angle - *m_travelStart) / (*motion.target - *m_travelStart);
    bar->setValue(static_cast<int>(std::lround(std::clamp(done, 0.0, 1.0) * 1000)));
}
