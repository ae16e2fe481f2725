#pragma once
// "Stream Health", the page after the Transponders page: the tuned stream's ETSI TR 101 290
// indicators as lights with their counts since the last reset, its PIDs with their rates, the
// stream's rate against the carrier's useful rate, a reset and a CSV export. It changes nothing
// the other pages show or send.
//
// Threads: the health monitor is fed on the stream tap's worker and only locks a mutex briefly;
// the page reads it by a timer of the window's thread while shown. The carrier report comes from
// the main window's monitor thread (NoteCarrierReport).
#include <QTimer>
#include <array>
#include <memory>
#include <mutex>
#include <optional>

#include "graph/tuner_session.h"
#include "platform/ks/vendor_records.h"
#include "platform/ui/qt/property_page.h"
#include "services/stream_health.h"

class CHealthLight;
class QLineEdit;
class QPushButton;
class QTableWidget;

class CStreamHealthPage : public CPropertyPage {
public:
    static constexpr int kIdd = 170;
    static constexpr int kIdPids = 1101;
    static constexpr int kIdRate = 1102;
    static constexpr int kIdReset = 1103;
    static constexpr int kIdExport = 1104;
    // The lights, one per indicator in the order of HealthIndicator.
    static constexpr int kIdFirstLight = 1110;

    explicit CStreamHealthPage(QWidget* parent = nullptr);
    ~CStreamHealthPage() override;

    QTableWidget* PidTable() const { return m_pPidTable; }
    CHealthLight* Light(HealthIndicator indicator) const {
        return m_lights[static_cast<std::size_t>(indicator)];
    }

    // From the monitor thread after each poll: the carrier report of the lock, none unlocked.
    void NoteCarrierReport(const std::optional<MediaInfoRecord>& report);
    // "Lock TP" tuned: the counts start anew on the new carrier.
    void OnTransponderLocked();
    // Before the graph goes: the monitor leaves the stream tap.
    void StopLiveWork();

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // A fresh monitor on the tap, in place of the one there was.
    void AttachMonitor();
    void DetachMonitor();
    void Refresh();
    void OnReset();
    void OnExport();

    CTunerSession& m_session = DefaultTunerSession();
    std::array<CHealthLight*, kHealthIndicators> m_lights{};
    QTableWidget* m_pPidTable;
    QLineEdit* m_pRate;
    std::shared_ptr<CStreamHealthMonitor> m_pMonitor;  // on the tap while the graph lives
    bool m_bAttached = false;

    std::mutex m_carrierLock;
    std::optional<MediaInfoRecord> m_carrier;  // guarded by m_carrierLock
    QTimer m_refresh;
};
