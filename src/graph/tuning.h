#pragma once
// Tuning as a call: a typed transponder in, a typed result out. Tune prepares the driver's tuner
// control record, brings the output stream type in line, sends the committed-switch message,
// tunes and runs the graph; it shows nothing. "Lock TP" is one of its callers: it reads and
// saves the Tuner Setting page's fields and shows the errors as that page always has.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "graph/tuner_page.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/com_ptr.h"

// Everything one tune needs: the LNB, the carrier and the switch port.
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
    std::vector<TuneError> errors;  // in the order they arose
};

// Tunes, then waits up to `waitForLock` for the card to report a lock (checked every 20 ms of
// the program's tick count). Any thread; the driver sequence holds the driver mutex.
TuneResult Tune(const Transponder& transponder,
                std::chrono::milliseconds waitForLock = std::chrono::milliseconds(0));

// The hidden "Send" button: saves the settings and sets the record's constants and port.
void PrepareTunerControl(ITunerPage& page);
// "Lock TP": the page's transponder tuned; its errors shown in the page's boxes.
void LockTransponder(ITunerPage& page);
// The boxes "Lock TP" shows for a tune's errors, in their order.
void ShowTuneErrors(const TuneResult& result);
// How many tunes Tune has sent the driver. It counts up under the driver mutex, in the
// same hold as the tune, so a carrier report read after a count was taken belongs to that tune
// or a later one.
std::uint64_t TuneCount();
HRESULT CreateDVBTuneRequest(ComPtr<IDVBTuneRequest>& request, const Transponder& transponder);
