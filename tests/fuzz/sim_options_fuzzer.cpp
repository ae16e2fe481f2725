// The simulated card's options file SimulatedCard.ini (configuration folder), read as the card
// provider reads it, then a card made with those options: it drives and turns its dish motor,
// tunes a carrier of the sky and reports its signal. Options that are read keep to their
// documented ranges, and whatever they are, the card's readings stay within 0..100.
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include "drivers/sim/sim_card.h"
#include "drivers/sim/sim_card_catalog.h"
#include "drivers/sim/sim_clock.h"
#include "drivers/sim/sim_options.h"
#include "drivers/sim/sim_sky.h"
#include "fuzz_support.h"
#include "platform/win/known_folders.h"

namespace {

// A sky of one satellite file's worth of carriers at 19.2 E and the card's own.
std::shared_ptr<const CSimSky> Sky() {
    SatelliteFile astra;
    astra.orbitalTenthsEast = 192;
    astra.name = "Astra";
    astra.transponders = {*ParseTransponderLine("11362,H,22000,2/3,DVB-S2,8PSK"),
                          *ParseTransponderLine("10744,H,22000,5/6,DVB-S")};
    return std::make_shared<const CSimSky>(CSimSky::FromSatellites({astra}));
}

void CheckRanges(const SimOptions& options) {
    FUZZ_CHECK(std::fabs(options.latitude) <= 89.0 && std::fabs(options.longitude) <= 180.0);
    for (const double east : options.fixedDishEast) FUZZ_CHECK(std::fabs(east) <= 180.0);
    FUZZ_CHECK(options.dishDiameter > 0 && options.motorSpeed > 0 && options.motorStep > 0 &&
               options.motorRange > 0);
    FUZZ_CHECK(options.lnbLowMHz < 100000 && options.lnbHighMHz < 100000);
    FUZZ_CHECK(options.noise >= 0 && std::isfinite(options.carrierToNoise));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::shared_ptr<const CSimSky> sky = Sky();
    static const std::string path = [] {
        // The card's trace goes nowhere: a folder that does not exist.
        platform::FolderRoots roots;
        roots.driveCRoot = fuzz::ScratchFolder() + "/no-such-folder";
        platform::SetFolderRoots(roots);
        return fuzz::ScratchFolder() + "/SimulatedCard.ini";
    }();
    fuzz::WriteFile(path, {data, size});
    const SimOptions options = ReadSimOptions(path);
    CheckRanges(options);

    const auto clock = std::make_shared<CSimClock>(CSimClock::Mode::Manual);
    CSimCard card(kSimulatedCards[0], options, sky, clock, options.seed);
    // The motor: a step east, a turn to 19.2 E's angle at a site near 10 E, a stored position.
    const std::uint8_t stepEast[] = {0xE0, 0x31, 0x68, 0xFF};
    const std::uint8_t gotoAngle[] = {0xE0, 0x31, 0x6E, 0xD0, 0x9A};
    const std::uint8_t store[] = {0xE0, 0x31, 0x6A, 0x01};
    const std::uint8_t gotoStored[] = {0xE0, 0x31, 0x6B, 0x01};
    for (const auto& message :
         {std::span<const std::uint8_t>(stepEast), std::span<const std::uint8_t>(gotoAngle),
          std::span<const std::uint8_t>(store), std::span<const std::uint8_t>(gotoStored)}) {
        card.SendDiseqc(message);
        clock->AdvanceMs(150);
    }
    FUZZ_CHECK(std::isfinite(card.MotorAngle()));

    BdaTuneRequest request;
    request.lowOscillator = 9'750'000;
    request.highOscillator = 10'600'000;
    request.lnbSwitch = 11'700'000;
    request.frequency = 11'362'000;
    request.polarisation = 1;
    request.symbolRate = 22'000;
    FUZZ_CHECK(card.Tune(request) == S_OK);
    clock->AdvanceMs(400);
    BdaSignal signal;
    FUZZ_CHECK(card.ReadSignal(&signal) == S_OK);
    FUZZ_CHECK(signal.strength >= 0 && signal.strength <= 100 && signal.quality >= 0 &&
               signal.quality <= 100);
    card.MediaInfo();
    return 0;
}
