#pragma once
// Tuning as a call: a typed transponder in, a typed result out. Tune prepares the driver's tuner
// control record, brings the output stream type in line, sends the committed-switch message,
// tunes and runs the graph, all on one tuner session; it shows nothing. "Lock TP" is one of its
// callers: it reads and saves the Tuner Setting page's fields and shows the errors as that page
// always has.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "graph/driver_report.h"
#include "graph/tuner_page.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/com_ptr.h"

class CTunerSession;

// The DVB-S2 scrambling sequence: a root or a gold code (kRootCode, kGoldCode of the records).
struct ScramblingCode {
    std::int32_t value = 0;
    std::int32_t type = 0;
};

// Everything one tune needs: the LNB, the carrier, the switch port, the output stream type and
// the DVB-S2 extras, each sent only when set.
struct Transponder {
    std::int32_t lnbLowMHz = 0;
    std::int32_t lnbHighMHz = 0;
    // Frequencies above it are in the high band (22 kHz tone); unsigned, so -1 never is.
    std::int32_t lnbSwitchMHz = 0;
    std::int32_t frequencyMHz = 0;
    std::int32_t symbolRateKsps = 0;
    std::int32_t polarityIndex = 0;    // 0 horizontal, 1 vertical
    std::int32_t diseqcPortIndex = 0;  // 0 no switch message, 1..4 ports A..D, -1 as 0
    StreamTypeRecord streamType = kTransportStreamType;
    std::optional<ScramblingCode> scramblingCode;
    std::optional<ModCodeFilterRecord> modcodFilter;
    std::optional<std::int32_t> inputStreamId;
};

struct TuneError {
    enum class Kind {
        NoTuner,         // no graph was built for the device: nothing was sent
        InvalidRequest,  // the tuning objects refused the values: the driver got no locator
        Refused,         // the driver refused the tune
    };
    Kind kind;
    std::string text;  // the words the Tuner Setting page shows for it
};

struct TuneResult {
    enum class Outcome {
        Locked,     // the card reported a lock within the wait
        NotLocked,  // tuned, but no lock seen within the wait (none is looked for without one)
        Error,
    };
    Outcome outcome = Outcome::NotLocked;
    // What the driver said on the way (stream type, switch message, extras), in order; these
    // came before the errors.
    DriverReports driverReports;
    std::vector<TuneError> errors;  // in the order they arose
};

// Tunes the session's tuner, then waits up to `waitForLock` for the card to report a lock
// (checked every 20 ms of the program's tick count). Any thread; the driver sequence holds the
// session's driver mutex.
TuneResult Tune(CTunerSession& session, const Transponder& transponder,
                std::chrono::milliseconds waitForLock = std::chrono::milliseconds(0));

// The hidden "Send" button: saves the settings and sets the record's constants and port.
void PrepareTunerControl(CTunerSession& session, ITunerPage& page);
// "Lock TP": the page's transponder tuned; the page shows the result before its buttons are
// enabled again.
void LockTransponder(CTunerSession& session, ITunerPage& page);
// How many tunes Tune has sent the session's driver. It counts up under the driver mutex, in
// the same hold as the tune, so a carrier report read after a count was taken belongs to that
// tune or a later one.
std::uint64_t TuneCount(const CTunerSession& session);
HRESULT CreateDVBTuneRequest(CTunerSession& session, ComPtr<IDVBTuneRequest>& request,
                             const Transponder& transponder);
