#pragma once
// The main window (dialog 102): the banner, the property sheet with the three pages
// and the transponder and stream health pages after them, the signal
// display that the monitor thread fills, and the carrier report with the input stream row.
// It owns the monitor thread: the thread is started at the end of the initialisation and has
// ended before any page or control goes.
#include <QIcon>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "graph/tuner_session.h"
#include "pages/shell/help_launcher.h"
#include "pages/shell/qt_process_runner.h"
#include "platform/devices/device_event_hub.h"
#include "platform/ui/qt/dialog.h"
#include "status/signal_display.h"

class CBdacontrolDlg;
class CPositionDlg;
class CPropertySheet;
class CStreamHealthPage;
class CTransponderPage;
class CUtiVirtualDamonDlg;

class CBDAUtilDlg : public CDialog, public ISignalDisplay, public IStreamInfoView {
public:
    static constexpr int kIdd = 102;
    static constexpr int kIdApply = 1000;
    static constexpr int kIdQualityBar = 1004;
    static constexpr int kIdStrengthBar = 1007;
    static constexpr int kIdLockIcon = 1008;
    static constexpr int kIdBanner = 1023;
    static constexpr int kIdLockText = 1032;
    static constexpr int kIdQualityText = 1034;
    static constexpr int kIdStrengthText = 1035;
    static constexpr int kIdInputStreamList = 1049;
    static constexpr int kIdSeparator = 1057;
    static constexpr int kIdmAbout = 16;
    // Asked before the window closes while a recording runs.
    static constexpr const char* kStopRecordingAndQuit =
        "A recording is running. Stop it and quit?";

    explicit CBDAUtilDlg(QWidget* parent = nullptr);
    ~CBDAUtilDlg() override;

    // ISignalDisplay and IStreamInfoView: called on the monitor thread; every control write is
    // carried over to the window's thread without waiting for it.
    bool StopRequested() const override;
    void WaitOrStop(std::uint32_t milliseconds) override;
    void ShowSignal(const SignalReading& reading) override;
    int UpdateStreamInfo(bool locked) override;
    void SetText(int controlId, const std::string& text) override;
    void AddInputStreamId(const std::string& identifier, std::uint64_t tune) override;
    void ShowDriverReports(const DriverReports& reports) override;

    // The window procedure's device-change handling: a removal event closes the window as OK.
    // Returns true when it handled the message.
    bool DefWindowProc(std::uint32_t message, DWORD wParam);

    CBdacontrolDlg* TunerPage() const { return m_pTunerPage; }
    CPropertySheet* Sheet() const { return m_pSheet; }
    // True from the start of the monitor thread until it has ended.
    bool MonitorRunning() const { return m_bMonitorRunning.load(); }

    CTunerSession& m_session = DefaultTunerSession();
    std::atomic<std::int32_t> m_bStopMonitor{0};
    std::mutex m_hMonitorMutex;

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    void OnApplyStreamId();
    // "Lock TP" has tuned a transponder: the input stream list starts anew with its carrier.
    void OnTransponderLocked();
    void OnHelp();
    void OnAbout();

    // Every way the window ends (close box, removal, OK, Cancel) comes here. While a recording
    // runs, the user is asked first (not when the card was pulled out: nothing is left to ask
    // about); No keeps the window and the recording, Yes ends both.
    void done(int result) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PlaceSheet();
    void StopMonitor();
    // False when the user keeps a running recording (and the window).
    bool AllowedToCloseWhileRecording();

    QIcon m_hAppIcon;
    QIcon m_lockedIcon;
    QIcon m_unlockedIcon;
    CPropertySheet* m_pSheet = nullptr;
    CBdacontrolDlg* m_pTunerPage = nullptr;
    CUtiVirtualDamonDlg* m_pCapturePage = nullptr;
    CPositionDlg* m_pPositionerPage = nullptr;
    CTransponderPage* m_pTransponderPage = nullptr;
    CStreamHealthPage* m_pHealthPage = nullptr;
    // The input stream list holds the streams of reports read at this tune count or later.
    std::uint64_t m_nStreamsSinceTune = 0;
    bool m_bCardRemoved = false;  // the window ends because the card went
    std::thread m_hMonitorThread;
    std::atomic<bool> m_bMonitorRunning{false};
    std::mutex m_waitLock;
    std::condition_variable m_stopSignal;
    CDeviceEventHub::CSubscription m_deviceEvents;
    CQtProcessRunner m_processRunner;
    // Made at the first F1 (the program folder is known by then); lives while its question runs.
    std::unique_ptr<CHelpLauncher> m_pHelpLauncher;
};
