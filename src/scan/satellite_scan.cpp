#include "scan/satellite_scan.h"

#include <cmath>
#include <utility>

#include "status/required_cn.h"
#include "status/stream_info_decoder.h"

namespace {

// Tenths of a dB: what the table and the file show, and so what the row keeps.
double RoundTenth(double value) {
    return std::round(value * 10.0) / 10.0;
}

// The extended codes of the x-model cards that only DVB-S2X has.
constexpr std::int32_t kFirstS2xCode = 64;
constexpr std::int32_t kLastS2xCode = 130;

}  // namespace

ScannedCarrier DescribeScannedCarrier(const MediaInfoRecord& report, bool extendedCodes) {
    ScannedCarrier carrier;
    if (extendedCodes && report.modCode >= kFirstS2xCode && report.modCode <= kLastS2xCode) {
        const stream_info::ExtendedModCode code =
            stream_info::DecodeExtendedModCode(report.modCode);
        carrier.deliverySystem = "DVB-S2X";
        carrier.modCod = carrier.deliverySystem;
        for (const std::string& part : {code.modulation, code.fec}) {
            if (part != "UNKNOWN") carrier.modCod += " " + part;
        }
        return carrier;  // no published C/N for the extended codes here
    }
    if (report.standard == required_cn::kStandardDvbS) carrier.deliverySystem = "DVB-S";
    if (report.standard == required_cn::kStandardDvbS2) carrier.deliverySystem = "DVB-S2";
    carrier.modCod = required_cn::ModCodText(report).value_or("");
    carrier.requiredDb = required_cn::RequiredCarrierToNoise(report);
    return carrier;
}

bool WithinTunerRange(double frequencyMHz, int lnbLowMHz, int lnbHighMHz, int lnbSwitchMHz) {
    const int oscillator = frequencyMHz > lnbSwitchMHz ? lnbHighMHz : lnbLowMHz;
    if (oscillator <= 0) return true;
    const double intermediate = std::fabs(frequencyMHz - oscillator);
    return intermediate >= 950.0 && intermediate <= 2150.0;
}

CSatelliteScan::CSatelliteScan(std::vector<SatelliteTransponder> transponders,
                               std::vector<bool> tunable)
    : m_transponders(std::move(transponders)), m_tunable(std::move(tunable)) {}

ScanStep CSatelliteScan::Step(std::uint64_t nowMs, const ScanObservation* latest) {
    const bool current = latest != nullptr && latest->generation == m_nGeneration;
    switch (m_phase) {
        case Phase::Start:
            return NextTransponder();
        case Phase::AwaitLock: {
            if (current && latest->locked) {
                m_row.locked = true;
                m_row.lockMs =
                    static_cast<int>(latest->atMs > m_nActedMs ? latest->atMs - m_nActedMs : 0);
                Take(*latest);
                m_phase = Phase::Resetting;
                return {ScanAction::ResetServices, m_nIndex};
            }
            if (current && latest->carrierToNoiseDb)
                m_row.carrierToNoiseDb = RoundTenth(*latest->carrierToNoiseDb);
            if (nowMs - m_nActedMs >= m_nLockWaitMs) {
                FinishRow();
                return NextTransponder();
            }
            return {ScanAction::Wait, m_nIndex};
        }
        case Phase::AwaitServices: {
            if (current) Take(*latest);
            const bool streamsKnown = !m_bMultistream || m_nReadsSinceGrowth >= kSettledReads;
            if ((m_bServicesComplete && streamsKnown) || nowMs - m_nActedMs >= kServicesTimeoutMs) {
                FinishRow();
                return NextTransponder();
            }
            return {ScanAction::Wait, m_nIndex};
        }
        case Phase::Tuning:
        case Phase::Resetting:
        case Phase::Restoring:
            return {ScanAction::Wait, m_nIndex};
        case Phase::Finished:
            break;
    }
    return {ScanAction::Finished, m_nIndex};
}

std::uint64_t CSatelliteScan::Acted(std::uint64_t nowMs, std::uint64_t lockWaitMs) {
    ++m_nGeneration;
    m_nActedMs = nowMs;
    if (m_phase == Phase::Tuning) m_nLockWaitMs = lockWaitMs;
    // Cancelled while the tune or the reset was under way: the page's transponder comes next.
    if (m_bCancelled && (m_phase == Phase::Tuning || m_phase == Phase::Resetting))
        m_phase = Phase::Start;
    if (m_phase == Phase::Tuning) m_phase = Phase::AwaitLock;
    if (m_phase == Phase::Resetting) m_phase = Phase::AwaitServices;
    if (m_phase == Phase::Restoring) m_phase = Phase::Finished;
    return m_nGeneration;
}

void CSatelliteScan::Cancel() {
    if (m_phase == Phase::Restoring || m_phase == Phase::Finished) return;
    m_bCancelled = true;
    // A tune or a reset under way is let finish (Acted); only then is the page's transponder
    // tuned, so two tunes never overlap.
    if (m_phase != Phase::Tuning && m_phase != Phase::Resetting) m_phase = Phase::Start;
}

void CSatelliteScan::Refused() {
    m_bRefused = true;
    m_phase = Phase::Finished;
}

ScanStep CSatelliteScan::NextTransponder() {
    if (m_phase != Phase::Start) ++m_nIndex;
    while (!m_bCancelled && m_nIndex < m_transponders.size() && m_nIndex < m_tunable.size() &&
           !m_tunable[m_nIndex]) {
        const SatelliteTransponder& skipped = m_transponders[m_nIndex++];
        ScanRow row;
        row.frequencyMHz = skipped.frequencyMHz;
        row.polarisation = skipped.polarisation;
        row.symbolRateKsps = skipped.symbolRateKsps;
        m_rows.push_back(row);
        ++m_nUntunable;
    }
    if (m_bCancelled || m_nIndex >= m_transponders.size()) {
        // Nothing tuned: the card is still what the page shows.
        if (!m_bTunedAny) {
            m_phase = Phase::Finished;
            return {ScanAction::Finished, m_nIndex};
        }
        m_phase = Phase::Restoring;
        return {ScanAction::RestorePage, m_nIndex};
    }
    const SatelliteTransponder& transponder = m_transponders[m_nIndex];
    m_row = ScanRow{};
    m_row.frequencyMHz = transponder.frequencyMHz;
    m_row.polarisation = transponder.polarisation;
    m_row.symbolRateKsps = transponder.symbolRateKsps;
    m_requiredDb.reset();
    m_bMultistream = false;
    m_streams.clear();
    m_nReadsSinceGrowth = 0;
    m_bServicesComplete = false;
    m_phase = Phase::Tuning;
    m_bTunedAny = true;
    return {ScanAction::Tune, m_nIndex};
}

void CSatelliteScan::Take(const ScanObservation& reading) {
    if (reading.carrierToNoiseDb) m_row.carrierToNoiseDb = RoundTenth(*reading.carrierToNoiseDb);
    if (reading.carrier) {
        const ScannedCarrier carrier =
            DescribeScannedCarrier(*reading.carrier, reading.extendedCodes);
        m_row.deliverySystem = carrier.deliverySystem;
        m_row.modCod = carrier.modCod;
        m_requiredDb = carrier.requiredDb;
        // MULTIPLE_INPUT_STREAM: the report names one of the streams, a different one in turn.
        if (reading.carrier->inputStream == 0) {
            m_bMultistream = true;
            bool grew = m_streams.insert(reading.carrier->inputStreamId).second;
            for (const int id : reading.moreInputStreamIds) grew |= m_streams.insert(id).second;
            m_nReadsSinceGrowth = grew ? 0 : m_nReadsSinceGrowth + 1;
        }
    }
    if (reading.services) m_row.services = reading.services;
    m_bServicesComplete = reading.servicesComplete;
}

void CSatelliteScan::FinishRow() {
    if (m_row.locked && m_row.carrierToNoiseDb && m_requiredDb)
        m_row.marginDb = RoundTenth(*m_row.carrierToNoiseDb - *m_requiredDb);
    m_row.inputStreamIds.assign(m_streams.begin(), m_streams.end());
    m_rows.push_back(m_row);
}
