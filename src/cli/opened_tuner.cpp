#include "cli/opened_tuner.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>

#include "graph/driver_control.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/devices/device_registry.h"
#include "platform/win/text_encoding.h"

namespace cli {

namespace {

std::string Joined(const DriverReports& reports) {
    std::string text;
    for (const DriverReport& report : reports) {
        if (!text.empty()) text += " ";
        text += report.text;
    }
    return text;
}

std::optional<int> IndexIn(const std::string& choice, std::size_t count) {
    int index = 0;
    const char* end = choice.data() + choice.size();
    const auto [stop, error] = std::from_chars(choice.data(), end, index);
    if (error != std::errc() || stop != end || index < 0 ||
        static_cast<std::size_t>(index) >= count)
        return std::nullopt;
    return index;
}

}  // namespace

std::vector<ListedTuner> ListTuners() {
    std::vector<ListedTuner> tuners;
    // The registry's order is the device enumeration's: an index here is a tuner index there.
    for (const DeviceDescriptor& device :
         CDeviceRegistry::Instance().Devices(KSCATEGORY_BDA_NETWORK_TUNER)) {
        ListedTuner tuner;
        tuner.index = static_cast<int>(tuners.size());
        tuner.name = device.friendlyName ? platform::WideToUtf8(*device.friendlyName)
                                         : "(device without a readable name)";
        tuner.kind = device.kind;
        if (device.holders) tuner.holders = device.holders();
        tuners.push_back(std::move(tuner));
    }
    return tuners;
}

std::variant<std::unique_ptr<COpenedTuner>, TunerFailure> COpenedTuner::Open(
    const std::string& choice) {
    const std::vector<ListedTuner> tuners = ListTuners();
    if (tuners.empty()) return TunerFailure{3, "No tuner is installed."};
    const ListedTuner* chosen = &tuners.front();
    if (!choice.empty()) {
        chosen = nullptr;
        if (const auto index = IndexIn(choice, tuners.size())) {
            chosen = &tuners[static_cast<std::size_t>(*index)];
        } else if (const auto named = std::find_if(
                       tuners.begin(), tuners.end(),
                       [&choice](const ListedTuner& tuner) { return tuner.name == choice; });
                   named != tuners.end()) {
            chosen = &*named;
        }
        if (chosen == nullptr)
            return TunerFailure{2, fmt::format("No tuner \"{}\": give an index from 0 to {} or a "
                                               "name that vlk-tscap list shows.",
                                               choice, tuners.size() - 1)};
    }
    if (!chosen->holders.empty()) {
        return TunerFailure{3, fmt::format("The tuner \"{}\" is in use by another program: {}. "
                                           "Close that program, or choose another tuner.",
                                           chosen->name, chosen->holders)};
    }
    std::unique_ptr<COpenedTuner> opened(new COpenedTuner());
    CTunerSession& session = opened->m_session;
    session.SelectDevice(chosen->index, chosen->name);
    DriverReports reports;
    session.BuildGraph(reports);
    if (session.TunerModel() == 0 || !session.HasGraph()) {
        const std::string why = Joined(reports);
        return TunerFailure{3, fmt::format("The tuner \"{}\" cannot be opened{}", chosen->name,
                                           why.empty() ? std::string(".") : ": " + why)};
    }
    reports.clear();
    if (AcquireDriverControl(session, reports) == DriverControlResult::Failed)
        return TunerFailure{
            3, fmt::format("The tuner \"{}\" does not answer: {}", chosen->name, Joined(reports))};
    return opened;
}

COpenedTuner::~COpenedTuner() {
    m_session.CloseTuner();
}

}  // namespace cli
