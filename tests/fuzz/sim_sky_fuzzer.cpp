// The simulated card's sky from the satellite files of Transponders/: the input is one file, or
// several separated by form feeds (files of the same position merge). Every carrier read from a
// file must keep the file's frequency and symbol rate. Then a card tunes a few of the carriers
// with its dish on their satellite, waits for the lock, and makes the carrier report of what it
// locked on and, for the first lock, the stream, as the driver's report and the capture filter do.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "data/satellite_file.h"
#include "drivers/sim/sim_card.h"
#include "drivers/sim/sim_card_catalog.h"
#include "drivers/sim/sim_clock.h"
#include "drivers/sim/sim_sky.h"
#include "drivers/sim/sim_stream_source.h"
#include "fuzz_support.h"
#include "platform/win/known_folders.h"

namespace {

constexpr std::size_t kMaxFiles = 4;
constexpr std::size_t kCarriersTuned = 3;
constexpr std::size_t kPacketsMade = 16;

// Writes the parts of the input as Sat-0.ini, Sat-1.ini, ... into a fresh folder.
std::string WriteSatelliteFiles(std::span<const std::uint8_t> input) {
    const std::string folder = fuzz::ScratchFolder() + "/Transponders";
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directory(folder);
    for (std::size_t file = 0; file < kMaxFiles && !input.empty(); ++file) {
        std::size_t end = 0;
        while (end < input.size() && (input[end] != '\f' || file + 1 == kMaxFiles)) ++end;
        fuzz::WriteFile(folder + "/Sat-" + std::to_string(file) + ".ini", input.first(end));
        input = input.subspan(std::min(end + 1, input.size()));
    }
    return folder;
}

// A carrier from a file stands for one of its transponders, at the same frequency (to the kHz)
// and symbol rate.
bool FromTransponder(const SimCarrier& carrier, const std::vector<SatelliteFile>& satellites) {
    for (const SatelliteFile& satellite : satellites) {
        if (satellite.orbitalTenthsEast != carrier.orbitalTenthsEast) continue;
        for (const SatelliteTransponder& transponder : satellite.transponders) {
            if (std::fabs(transponder.frequencyMHz * 1000.0 - carrier.frequencyKHz) <= 0.5 &&
                std::uint64_t{carrier.symbolRate} ==
                    std::uint64_t(transponder.symbolRateKsps) * 1000u) {
                return true;
            }
        }
    }
    return false;
}

LONG PolarisationOf(char polarisation) {
    switch (polarisation) {
        case 'H':
            return 1;
        case 'V':
            return 2;
        case 'L':
            return 3;
        default:
            return 4;
    }
}

// A card whose port B dish looks at the carrier's satellite from right below it, with signal
// to spare, tunes the carrier through an LNB whose oscillators it knows. Once locked, it makes
// the first packets of the stream when `stream` is set (making a stream costs the most); returns
// whether it did.
bool TuneAndStream(const std::shared_ptr<const CSimSky>& sky, const SimCarrier& carrier,
                   bool stream) {
    SimOptions options;
    const double east = carrier.orbitalTenthsEast / 10.0;
    options.longitude = east > 180.0 ? east - 360.0 : east;
    options.latitude = 10.0;
    options.fixedDishEast[0] = options.longitude;
    options.carrierToNoise = 40.0;
    options.noise = 0.0;
    const auto clock = std::make_shared<CSimClock>(CSimClock::Mode::Manual);
    CSimCard card(kSimulatedCards[2], options, sky, clock, 1);

    const std::uint8_t portB[] = {0xE0, 0x10, 0x38, 0xF4};
    card.SendDiseqc(portB);
    BdaTuneRequest request;
    request.lowOscillator = options.lnbLowMHz * 1000;
    request.highOscillator = options.lnbHighMHz * 1000;
    request.lnbSwitch = 11'700'000;
    request.frequency = carrier.frequencyKHz;
    request.polarisation = PolarisationOf(carrier.polarisation);
    request.symbolRate = carrier.symbolRate / 1000;
    FUZZ_CHECK(card.Tune(request) == S_OK);
    clock->AdvanceMs(CSimCard::kAcquisitionTicks / CSimClock::kTicksPerMs + 10);

    BdaSignal signal;
    FUZZ_CHECK(card.ReadSignal(&signal) == S_OK);
    FUZZ_CHECK(signal.strength >= 0 && signal.strength <= 100 && signal.quality >= 0 &&
               signal.quality <= 100);
    const std::array<std::int32_t, 18> report = card.MediaInfo();
    const std::optional<SimCarrier> locked = card.LockedCarrier();
    FUZZ_CHECK(locked.has_value() == signal.locked);
    if (!locked) return false;
    FUZZ_CHECK(report[1] >= 0 && static_cast<std::uint32_t>(report[1]) == locked->symbolRate);

    const SimStreamPlan plan = card.StreamPlan();
    if (!stream || plan.output == SimOutput::None || !plan.config) return false;
    try {
        CSimStreamSource source(plan.output, *plan.config);
        std::array<std::uint8_t, kPacketsMade * 188> packets{};
        source.Fill(packets.data(), kPacketsMade);
        if (plan.output == SimOutput::Transport) {
            for (std::size_t i = 0; i < kPacketsMade; ++i) FUZZ_CHECK(packets[i * 188] == 0x47);
        }
    } catch (const std::invalid_argument&) {
        // The capture filter delivers nothing for such a stream; so be it here.
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The card's trace goes nowhere: a folder that does not exist.
    static const bool traceOff = [] {
        platform::FolderRoots roots;
        roots.driveCRoot = fuzz::ScratchFolder() + "/no-such-folder";
        platform::SetFolderRoots(roots);
        return true;
    }();
    FUZZ_CHECK(traceOff);
    const std::string folder = WriteSatelliteFiles({data, size});
    const auto sky = std::make_shared<const CSimSky>(CSimSky::Load(folder));
    const std::vector<SatelliteFile> satellites = ReadSatelliteFolder(folder);

    std::size_t tuned = 0;
    bool streamed = false;
    for (const SimCarrier& carrier : sky->Carriers()) {
        if (carrier.extra) continue;
        FUZZ_CHECK(FromTransponder(carrier, satellites));
        if (tuned++ < kCarriersTuned) streamed = TuneAndStream(sky, carrier, !streamed) || streamed;
    }
    return 0;
}
