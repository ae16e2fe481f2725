#pragma once
// "Transponders", the page after the three of the main window: a satellite's transponders from
// its satellite file, tuned by Enter or a double-click exactly as the Tuner Setting page's
// "Lock TP" does (one whose intermediate frequency through the page's LNB the tuner cannot take
// is not tuned, and a box says why); the signal in decibels; the services of the tuned transponder;
// and a media player fed with the live stream, or the stream sent to the network. The page keeps
// its own settings file in the user's configuration folder and changes nothing the other pages show
// or send.
//
// Threads: the signal is asked of the driver on a worker of the page while the page is shown
// (the driver may keep it waiting behind a tune); the services and the player's counts are read
// by a timer of the window's thread. The carrier report comes from the main window's monitor.
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "data/orbital_position.h"
#include "graph/driver_control.h"
#include "graph/tuner_session.h"
#include "platform/ks/vendor_records.h"
#include "platform/ui/qt/property_page.h"
#include "positioner/dish_motion_estimate.h"

class CBdacontrolDlg;
class CDishWindow;
class CNetworkDialog;
class CPeriodicWorker;
class CPropertySheet;
class CPlayerFeed;
class CServiceScanner;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;
struct PlayerEnd;

class CTransponderPage : public CPropertyPage {
public:
    static constexpr int kIdd = 160;
    static constexpr int kIdSatellite = 1001;
    static constexpr int kIdTransponders = 1002;
    static constexpr int kIdServices = 1003;
    static constexpr int kIdScan = 1004;
    static constexpr int kIdDish = 1005;
    static constexpr int kIdOwnWindow = 1006;
    static constexpr int kIdModCod = 1010;
    static constexpr int kIdCarrierToNoise = 1011;
    static constexpr int kIdRequired = 1012;
    static constexpr int kIdMargin = 1013;
    static constexpr int kIdLevel = 1014;
    static constexpr int kIdBitErrorRate = 1015;
    static constexpr int kIdUncorrected = 1016;
    static constexpr int kIdWatch = 1020;
    static constexpr int kIdStopWatching = 1021;
    static constexpr int kIdPlayer = 1022;
    static constexpr int kIdPlayerStatus = 1023;
    static constexpr int kIdNetwork = 1024;

    CTransponderPage(CBdacontrolDlg& tunerPage, QWidget* parent = nullptr);
    ~CTransponderPage() override;

    QTableWidget* TransponderTable() const { return m_pTransponderTable; }
    QTableWidget* ServiceTable() const { return m_pServiceTable; }
    // The "Dish Alignment" window once "Dish..." has opened it.
    CDishWindow* DishWindow() const { return m_pDishWindow.get(); }
    // The "Stream to Network" window once "Network..." has opened it.
    CNetworkDialog* NetworkDialog() const { return m_pNetworkDialog.get(); }
    const std::shared_ptr<CDishMotionEstimate>& DishEstimate() const { return m_pDishEstimate; }

    // From the monitor thread after each poll: the carrier report of the lock, none unlocked.
    void NoteCarrierReport(const std::optional<MediaInfoRecord>& report);
    // "Lock TP" tuned (from this page or the Tuner Setting page): the services start anew.
    void OnTransponderLocked();
    // Before the graph goes: the signal worker ends and the player's feed stops.
    void StopLiveWork();

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    // Enter in the transponder list tunes the chosen transponder; on the rest of the page it
    // does nothing (it never reaches the window, where it would end the program).
    bool OnEnter() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    CTunerSession& m_session = DefaultTunerSession();
    void OnSatelliteChosen();
    void OnScan();
    void OnDish();
    void OnNetwork();
    // "Window": the page into a window of its own, or back into its tab.
    void OnOwnWindow();
    // The page's size with room for the roomy rows of both tables and all their columns, from
    // their sizes now.
    QSize RoomySize() const;
    // The motor's believed angle across runs: the dish stays where it was while the program is
    // not running.
    void LoadDishAngle();
    // When the window goes (and, for a page never shown, when it is deleted).
    void SaveDishAngle();
    void OnTransponderActivated(int row);
    // On the monitor thread: a lock on the motor's dish, tuned at rest, proves the estimate.
    void ProveDishByLock(bool locked);
    // The row of the position that the last tune asked for; none when it is not listed there.
    std::optional<int> TunedRowIn(const OrbitalPosition& position) const;
    // Shows the tuned row of the chosen position in bold, with a tip that says so.
    void MarkTunedRow();
    // Chooses the position and row of the last tune, once for each new tune.
    void FollowTheTuner();
    void PollSignal();
    void ShowSignal(const SignalMeasureResult& measure);
    void RefreshServices();
    void OnWatch();
    void OnStopWatching();
    void OnPlayerEnded(const CPlayerFeed* feed, const PlayerEnd& end);
    void ShowPlayerStatus();
    void AttachScanner();

    CBdacontrolDlg& m_tunerPage;
    CPropertySheet* m_pSheet = nullptr;  // found when the page first goes into its own window
    QComboBox* m_pSatelliteList;
    QLineEdit* m_pPlayerCommand;
    QLineEdit* m_pPlayerStatus;
    QPushButton* m_pWatchButton;
    QPushButton* m_pStopButton;
    QTableWidget* m_pTransponderTable;
    QTableWidget* m_pServiceTable;
    std::vector<OrbitalPosition> m_positions;
    std::optional<CTunerSession::TunedCarrier> m_followed;  // the tune the list last went to

    std::mutex m_carrierLock;
    std::optional<MediaInfoRecord> m_carrier;  // guarded by m_carrierLock
    std::unique_ptr<CPeriodicWorker> m_pSignalWorker;

    std::shared_ptr<CServiceScanner> m_pScanner;
    std::uint64_t m_nServicesShown = ~std::uint64_t{0};  // scanner revision in the table
    std::shared_ptr<CPlayerFeed> m_pFeed;                // the player that plays
    // Players asked to stop, kept until they are gone (their end arrives as a queued call).
    std::vector<std::shared_ptr<CPlayerFeed>> m_stoppingFeeds;
    std::string m_strPlayerName;
    std::string m_strPlayerEnd;  // how the last player ended, for the status box
    QTimer m_refresh;
    // Fed with every DiSEqC message sent, from the page's construction on, so that the dish
    // window knows the motor also when it is opened after a "Go".
    std::shared_ptr<CDishMotionEstimate> m_pDishEstimate;
    DishMotion m_loadedDish;                        // the angle the settings hold
    std::atomic<std::uint64_t> m_nTunedMs{0};       // when the last tune was sent
    std::atomic<int> m_nLockedReportsSinceTune{0};  // counted on the monitor thread
    std::unique_ptr<CDishWindow> m_pDishWindow;
    std::unique_ptr<CNetworkDialog> m_pNetworkDialog;
};
