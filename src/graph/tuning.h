#pragma once
// "Lock TP": store the page's transponder, prepare the driver's tuner control record, bring the
// output stream type in line, send the committed-switch message, tune and run the graph.
#include <cstdint>

#include "graph/tuner_page.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/com_ptr.h"

struct TransponderInput {
    std::int32_t frequencyMHz = 0;
    std::int32_t symbolRateKsps = 0;
    std::int32_t lnbLowMHz = 0;
    std::int32_t lnbHighMHz = 0;
    std::int32_t polarityIndex = 0;
};

// The hidden "Send" button: saves the settings and sets the record's constants and port.
void PrepareTunerControl(ITunerPage& page);
void LockTransponder(ITunerPage& page);
// How many tunes LockTransponder has sent the driver. It counts up under the driver mutex, in the
// same hold as the tune, so a carrier report read after a count was taken belongs to that tune
// or a later one.
std::uint64_t TuneCount();
HRESULT CreateDVBTuneRequest(ComPtr<IDVBTuneRequest>& request, const TransponderInput& transponder,
                             std::int32_t lnbSwitchMHz);
