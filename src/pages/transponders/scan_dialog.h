#pragma once
// "Scan of <satellite>": every transponder of a satellite file tuned in turn behind the Tuner
// Setting page's LNB and switch port (its fields and settings file left as they are), with what
// each carries; the last scan of each satellite kept in the user's configuration folder and shown
// again; export as CSV.
//
// Threads: the card is read (lock, C/N, carrier report, services) on a worker of the dialog, which
// posts each reading to the window's thread; the tunes run on the same worker, between readings,
// and post their end. The scan's state machine and every widget
// stay on the window's thread. The worker reads the generation before each reading, and the
// window raises it only after a tune or a reset has returned (see CSatelliteScan).
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/listed_transponder.h"
#include "data/satellite_file.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "platform/com/win_types.h"
#include "platform/ui/qt/dialog.h"
#include "scan/satellite_scan.h"
#include "scan/scan_row.h"

class CBdacontrolDlg;
class CPeriodicWorker;
class CServiceScanner;
class QProgressBar;
class QPushButton;
class QLineEdit;
class QTableWidget;

class CScanDialog : public CDialog {
public:
    static constexpr int kIdd = 170;
    static constexpr int kIdStart = 1101;
    static constexpr int kIdCancelScan = 1102;
    static constexpr int kIdProgress = 1103;
    static constexpr int kIdStatus = 1104;
    static constexpr int kIdResults = 1105;
    static constexpr int kIdExport = 1106;
    static constexpr int kIdClose = IDCANCEL;
    static constexpr int kColumns = 11;
    // A cell's text and the number it sorts by.
    using ScanCell = std::pair<std::string, std::optional<double>>;

    CScanDialog(CBdacontrolDlg& tunerPage, SatelliteFile satellite,
                std::shared_ptr<CServiceScanner> scanner, QWidget* parent = nullptr);
    ~CScanDialog() override;

    QTableWidget* ResultTable() const { return m_pTable; }
    // The rows the table shows: the last scan stored, or the one under way.
    const std::vector<ScanRow>& Rows() const { return m_rows; }
    bool IsScanning() const { return m_pScan != nullptr; }
    // Where this satellite's last scan is kept.
    const std::string& StorePath() const { return m_strStorePath; }

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    // Enter only presses the button that has the focus; it never closes the dialog.
    void OnOK() override {}
    // Close and the close box: a scan under way is cancelled first.
    void OnCancel() override;
    // Escape cancels a scan under way and otherwise closes.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The save-as dialog; nullopt when the user cancels.
    std::optional<QString> AskExportPath();

    CTunerSession& m_session = DefaultTunerSession();
    void OnStart();
    void OnCancelScan();
    void OnExport();
    void OnReading(const ScanObservation& reading);
    // Steps the scan until it waits; `reading` goes to the first step.
    void Advance(const ScanObservation* reading);
    // Tunes `entry` behind the Tuner Setting page's LNB and port on the worker.
    void StartTune(const TunerEntry& entry);
    // On the window's thread, after the tune, which began at `tunedMs` (the lock time counts from
    // there, however long the window took to hear of its end); its lock is awaited `lockWaitMs`.
    void OnTuned(std::uint64_t tunedMs, const TuneResult& result, std::uint64_t lockWaitMs);
    void Finish();
    void ReadCard();
    std::uint64_t NowMs() const;
    // The table anew with `rows`.
    void ShowRows(const std::vector<ScanRow>& rows);
    // Adds the rows past those shown, each where the user's sort puts it, the others in place.
    void ShowNewRows(const std::vector<ScanRow>& rows);
    // Widens the columns that texts this wide would not fit in.
    void FitColumns(const std::array<int, kColumns>& textWidths);
    void ShowLastScan();
    void SetStatus(const std::string& text);
    void EnableButtons();

    CBdacontrolDlg& m_tunerPage;
    const SatelliteFile m_satellite;
    const std::shared_ptr<CServiceScanner> m_pScanner;
    std::string m_strStorePath;
    QPushButton* m_pStartButton;
    QPushButton* m_pCancelButton;
    QPushButton* m_pExportButton;
    QProgressBar* m_pProgress;
    QLineEdit* m_pStatus;
    QTableWidget* m_pTable;
    std::vector<ScanRow> m_rows;

    std::unique_ptr<CSatelliteScan> m_pScan;  // while a scan is under way
    TunerEntry m_pageEntry;                   // the page's transponder before the scan
    std::uint64_t m_nStartMs = 0;
    bool m_bAdvancing = false;
    QTimer m_stepTimer;  // steps without a reading, so time-outs pass when the driver is slow

    // Shared with the worker.
    std::atomic<std::uint64_t> m_nGeneration{0};
    std::atomic<DWORD> m_nBaseTick{0};
    std::atomic<bool> m_bExtendedCodes{false};
    std::unique_ptr<CPeriodicWorker> m_pWorker;
};
