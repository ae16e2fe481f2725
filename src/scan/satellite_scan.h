#pragma once
// One scan of a satellite's transponders, as a pure state machine: the caller tunes, reads the
// card and keeps the time; the machine says what to do next and gathers the rows.
//
// Per transponder: tune; wait for a reading that shows lock, at most as long as the caller says
// the tuner's search for that carrier may take (LockSearchTime); then reset the services and wait
// until they are complete, at most kServicesTimeoutMs, while the input streams of a multistream
// carrier are gathered (the card names one at a time; the set counts as whole once it has not
// grown for kSettledReads readings). At the end, also after Cancel, the page's own transponder
// is tuned again, so the card is what the Tuner Setting page shows.
//
// Readings carry the generation they were taken in; Acted() starts a new one after each tune and
// each reset, so that a reading begun before the card was told counts for nothing.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "data/satellite_file.h"
#include "platform/ks/vendor_records.h"
#include "scan/scan_row.h"

// One reading of the card, taken on the dialog's worker.
struct ScanObservation {
    std::uint64_t generation = 0;
    std::uint64_t atMs = 0;  // when the reading began
    bool locked = false;
    std::optional<double> carrierToNoiseDb;
    std::optional<MediaInfoRecord> carrier;
    // Further input streams named by reports read right after `carrier` (a multistream carrier).
    std::vector<int> moreInputStreamIds;
    bool extendedCodes = false;  // the card reports DVB-S2X codes in the MODCOD field
    bool servicesComplete = false;
    std::optional<int> services;  // programs of the last complete PAT
};

enum class ScanAction {
    Tune,           // tune Transponders()[index], then Acted()
    ResetServices,  // forget the services seen so far, then Acted()
    RestorePage,    // tune the page's own transponder again, then Acted()
    Wait,           // step again with the next reading
    Finished,
};

struct ScanStep {
    ScanAction action = ScanAction::Wait;
    std::size_t index = 0;

    bool operator==(const ScanStep&) const = default;
};

// The delivery system, MODCOD text and needed C/N of a carrier report.
struct ScannedCarrier {
    std::string deliverySystem;
    std::string modCod;
    std::optional<double> requiredDb;
};
ScannedCarrier DescribeScannedCarrier(const MediaInfoRecord& report, bool extendedCodes);

// A satellite tuner takes 950..2150 MHz from the LNB: a transponder whose IF through this LNB
// (the band chosen by the switch frequency, as "Lock TP" chooses it) lies outside cannot be
// received, and tuning it would only wait out the time-out (Ka-band lines behind a Ku LNB).
// Oscillators that are not set (0) decide nothing: true.
bool WithinTunerRange(double frequencyMHz, int lnbLowMHz, int lnbHighMHz, int lnbSwitchMHz);

class CSatelliteScan {
public:
    static constexpr std::uint64_t kServicesTimeoutMs = 3000;
    static constexpr int kSettledReads = 4;

    // `tunable[i]` false: transponder i is not tuned and counts as not locked (see
    // WithinTunerRange); an empty list: every transponder is tuned.
    explicit CSatelliteScan(std::vector<SatelliteTransponder> transponders,
                            std::vector<bool> tunable = {});

    // `latest`: the newest reading since the last step, if any.
    ScanStep Step(std::uint64_t nowMs, const ScanObservation* latest);
    // The caller did what the last step asked (at `nowMs`); returns the new generation. After a
    // Tune, `lockWaitMs` is how long to wait for its lock.
    std::uint64_t Acted(std::uint64_t nowMs, std::uint64_t lockWaitMs = 0);
    // The transponder under way is dropped and the page's transponder comes next: at once, or,
    // while a tune or a reset is under way (the caller's Acted awaited), after it.
    void Cancel();
    // A tune was refused (no tuner): the scan ends at once, nothing more is tuned.
    void Refused();

    std::uint64_t Generation() const { return m_nGeneration; }
    const std::vector<SatelliteTransponder>& Transponders() const { return m_transponders; }
    // One row per transponder scanned to the end, in scan order.
    const std::vector<ScanRow>& Rows() const { return m_rows; }
    bool IsCancelled() const { return m_bCancelled; }
    bool IsRefused() const { return m_bRefused; }
    // Transponders passed over as out of the tuner's range.
    std::size_t Untunable() const { return m_nUntunable; }

private:
    enum class Phase {
        Start,
        Tuning,  // Tune asked, Acted awaited
        AwaitLock,
        Resetting,  // ResetServices asked, Acted awaited
        AwaitServices,
        Restoring,  // RestorePage asked, Acted awaited
        Finished,
    };

    ScanStep NextTransponder();
    ScanStep Restore();
    void Take(const ScanObservation& reading);
    void FinishRow();

    const std::vector<SatelliteTransponder> m_transponders;
    const std::vector<bool> m_tunable;
    std::vector<ScanRow> m_rows;
    Phase m_phase = Phase::Start;
    std::size_t m_nIndex = 0;
    std::uint64_t m_nGeneration = 0;
    std::uint64_t m_nActedMs = 0;  // when the last tune or reset was done
    std::uint64_t m_nLockWaitMs = 0;
    bool m_bCancelled = false;
    bool m_bRefused = false;
    bool m_bTunedAny = false;
    std::size_t m_nUntunable = 0;
    // The transponder under way.
    ScanRow m_row;
    std::optional<double> m_requiredDb;
    bool m_bMultistream = false;
    std::set<int> m_streams;
    int m_nReadsSinceGrowth = 0;
    bool m_bServicesComplete = false;
};
