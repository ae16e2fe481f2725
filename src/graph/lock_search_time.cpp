#include "graph/lock_search_time.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>

#include "graph/tuner_session.h"
#include "platform/ks/driver_bytes.h"
#include "platform/ks/ks_property_set.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"

namespace {

using std::chrono::milliseconds;

// Slow carriers take demodulators longer to find.
milliseconds BySymbolRate(std::int32_t symbolRateKsps) {
    if (symbolRateKsps >= 10000) return milliseconds(3000);
    if (symbolRateKsps >= 2000) return milliseconds(5000);
    return milliseconds(8000);
}

std::optional<milliseconds> AskDriver(IBaseFilter* tuner, const Transponder& transponder) {
    ComPtr<IKsPropertySet> driver;
    if (tuner == nullptr ||
        FAILED(tuner->QueryInterface(IID_IKsPropertySet, driver.ReleaseAndGetVoidAddress())))
        return std::nullopt;
    LockSearchRecord carrier;
    carrier.frequencyKHz = static_cast<std::uint32_t>(std::max(0, transponder.frequencyMHz)) * 1000;
    carrier.symbolRate = static_cast<std::uint32_t>(std::max(0, transponder.symbolRateKsps)) * 1000;
    carrier.polarisation =
        transponder.polarityIndex == 0 ? BDA_POLARISATION_LINEAR_H : BDA_POLARISATION_LINEAR_V;
    auto question = carrier.Encode();
    std::array<std::uint8_t, LockSearchRecord::kAnswerSize> answer{};
    DWORD returned = 0;
    if (FAILED(driver->Get(KSPROPSETID_LockSearch, KSPROPERTY_LOCK_SEARCH_TIME, question.data(),
                           LockSearchRecord::kSize, answer.data(), LockSearchRecord::kAnswerSize,
                           &returned)) ||
        returned != LockSearchRecord::kAnswerSize)
        return std::nullopt;
    const std::uint32_t ms = driver_bytes::GetLe32(answer.data());
    if (ms == 0) return std::nullopt;  // no search takes no time: the driver knows nothing
    return milliseconds(ms);
}

}  // namespace

milliseconds LockSearchTime(CTunerSession& session, const Transponder& transponder) {
    const std::optional<milliseconds> answer = session.WithDriverHeld(
        [&session, &transponder] { return AskDriver(session.TunerFilter().Get(), transponder); });
    return answer.value_or(BySymbolRate(transponder.symbolRateKsps));
}
