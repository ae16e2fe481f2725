#pragma once
// "Dish Alignment", a window of the Transponders page that stays beside the main window while
// the dish is pointed: C/N and level several times a second with their last minute drawn and
// the peak held, a tone that rises with C/N for pointing without looking, and where the program
// believes the motor is, where it goes and when it gets there.
//
// Threads: the signal is read on the sampler's thread only while the window is shown (the
// monitor's own polls are unchanged); everything else happens on the window's thread.
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/qt/dialog.h"
#include "status/signal_history.h"

class CDishMotionEstimate;
class CSignalPlotWidget;
class CSignalSampler;
class CTonePlayer;
struct DishMotion;
struct MeterSample;

class CDishWindow : public CDialog {
public:
    static constexpr int kIdd = 161;
    static constexpr int kIdCarrierToNoise = 1101;
    static constexpr int kIdLevel = 1102;
    static constexpr int kIdPeak = 1103;
    static constexpr int kIdResetPeak = 1104;
    static constexpr int kIdTone = 1106;
    static constexpr int kIdToneStatus = 1107;
    static constexpr int kIdDishAngle = 1110;
    static constexpr int kIdTarget = 1111;
    static constexpr int kIdMotorState = 1112;
    static constexpr int kIdArrival = 1113;
    static constexpr int kIdTravel = 1114;
    static constexpr int kIdSpeed = 1115;
    static constexpr int kIdMotorPort = 1116;
    static constexpr int kIdConfirm = 1117;

    // Motor speeds the user may set, in degrees per second.
    static constexpr double kSlowestSpeed = 0.1;
    static constexpr double kFastestSpeed = 10.0;

    // `settingsPath`: the page's settings file, where the motor speed is kept.
    CDishWindow(std::shared_ptr<CDishMotionEstimate> estimate, std::string settingsPath,
                QWidget* parent);
    ~CDishWindow() override;

    // Samples shown since the window was made (tests count updates with it).
    std::uint64_t SamplesShown() const { return m_nSamplesShown; }

    // Ends the sampler and the tone (before the tuner graph goes).
    void StopLiveWork();

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    // Enter does not close the window (it would while typing a speed).
    void OnOK() override {}
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ShowSample(const MeterSample& sample);
    void ShowPeak();
    void OnResetPeak();
    void OnToneToggled(bool on);
    void OnSpeedEdited();
    void OnMotorPortChosen(int port);
    void ShowMotor();
    void ShowTravel(const DishMotion& motion);

    std::shared_ptr<CDishMotionEstimate> m_pEstimate;
    const std::string m_strSettingsPath;
    CSignalPlotWidget* m_pPlot;
    CSignalHistory m_history;
    std::unique_ptr<CSignalSampler> m_pSampler;
    std::unique_ptr<CTonePlayer> m_pTone;
    std::uint64_t m_nSamplesShown = 0;
    // The movement the travel bar shows: where it started and where it ends.
    std::optional<double> m_travelStart;
    std::optional<double> m_travelTarget;
    QTimer m_motorTimer;
};
