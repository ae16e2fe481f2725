#include "scan/scan_reading.h"

#include "graph/driver_control.h"
#include "graph/tuner_session.h"
#include "graph/tuner_signal.h"
#include "services/service_scanner.h"

namespace {

// Reports read in a row from a multistream carrier in one reading.
constexpr int kReportsPerReading = 4;

}  // namespace

ScanObservation ReadScanObservation(CTunerSession& session, const CServiceScanner* scanner,
                                    std::uint64_t generation, std::uint64_t nowMs,
                                    bool extendedCodes) {
    ScanObservation reading;
    reading.generation = generation;
    reading.atMs = nowMs;
    reading.locked = QueryTunerSignal(session).reading.locked == 1;
    reading.carrierToNoiseDb = GetSignalMeasure(session).carrierToNoiseDb;
    if (reading.locked) {
        // The card names one input stream a report, in turn, to every reader: the reports are
        // read in a row, so that no other reader takes the turns between.
        session.WithDriverHeld([&session, &reading] {
            reading.carrier = PeekMediaInfo(session);
            for (int more = 1;
                 more < kReportsPerReading && reading.carrier && reading.carrier->inputStream == 0;
                 ++more) {
                if (const auto next = PeekMediaInfo(session); next && next->inputStream == 0)
                    reading.moreInputStreamIds.push_back(next->inputStreamId);
            }
        });
    }
    reading.extendedCodes = extendedCodes;
    if (scanner != nullptr) {
        reading.servicesComplete = scanner->IsComplete();
        const std::size_t programs = scanner->Snapshot().size();
        if (reading.servicesComplete || programs > 0) reading.services = static_cast<int>(programs);
    }
    return reading;
}
