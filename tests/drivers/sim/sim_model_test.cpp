// The simulated card's pure parts: DiSEqC decoding, dish geometry, carrier arithmetic, the sky
// read from satellite files, the options file and the programme names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "data/satellite_file.h"
#include "drivers/sim/sim_carrier_math.h"
#include "drivers/sim/sim_diseqc_command.h"
#include "drivers/sim/sim_multiplex.h"
#include "drivers/sim/sim_options.h"
#include "drivers/sim/sim_pointing.h"
#include "drivers/sim/sim_sky.h"
#include "drivers/sim/sim_stream_source.h"
#include "drivers/sim/sim_test_rig.h"
#include "drivers/sim/sim_trace.h"

namespace {

TEST(SimDiseqcCommand, DecodesEverySwitchAndPositionerCommand) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        SimDiseqcKind kind;
        const char* meaning;
    };
    const Case cases[] = {
        {{0xE0, 0x10, 0x38, 0xF0},
         SimDiseqcKind::CommittedSwitch,
         "committed switch port A, vertical, low band"},
        {{0xE0, 0x10, 0x38, 0xF2},
         SimDiseqcKind::CommittedSwitch,
         "committed switch port A, horizontal, low band"},
        {{0xE0, 0x10, 0x38, 0xF5},
         SimDiseqcKind::CommittedSwitch,
         "committed switch port B, vertical, high band"},
        {{0xE0, 0x10, 0x38, 0xFD},
         SimDiseqcKind::CommittedSwitch,
         "committed switch port D, vertical, high band"},
        {{0xE1, 0x31, 0x60}, SimDiseqcKind::Halt, "motor halt"},
        {{0xE0, 0x31, 0x63}, SimDiseqcKind::LimitsOff, "motor limits off"},
        {{0xE0, 0x31, 0x66}, SimDiseqcKind::SetEastLimit, "motor set east limit"},
        {{0xE0, 0x31, 0x67}, SimDiseqcKind::SetWestLimit, "motor set west limit"},
        {{0xE0, 0x31, 0x68, 0x00}, SimDiseqcKind::DriveEast, "motor drive east continuously"},
        {{0xE0, 0x31, 0x69, 0x50}, SimDiseqcKind::DriveWest, "motor drive west, time-out 80 s"},
        {{0xE1, 0x31, 0x68, 0xFF}, SimDiseqcKind::DriveEast, "motor drive east 1 step"},
        {{0xE0, 0x31, 0x69, 0xF8}, SimDiseqcKind::DriveWest, "motor drive west 8 steps"},
        {{0xE0, 0x31, 0x6A, 0x00}, SimDiseqcKind::LimitsOn, "motor limits on"},
        {{0xE0, 0x31, 0x6A, 0x05}, SimDiseqcKind::Store, "motor store position 5"},
        {{0xE0, 0x31, 0x6B, 0x00}, SimDiseqcKind::Goto, "motor goto reference position 0"},
        {{0xE0, 0x30, 0x6B, 0x2C}, SimDiseqcKind::Goto, "motor goto position 44"},
        {{0xE1, 0x31, 0x6E, 0xE0, 0xA2},
         SimDiseqcKind::GotoAngle,
         "motor goto angle 10.1250 deg east"},
        {{0xE1, 0x31, 0x6E, 0xD0, 0xA6},
         SimDiseqcKind::GotoAngle,
         "motor goto angle 10.3750 deg west"},
        {{0xE1, 0x31, 0x6E, 0x00, 0xA2},
         SimDiseqcKind::Ignored,
         "motor goto angle with direction nibble 0, ignored"},
        {{0x70, 0x10, 0x38, 0xF0},
         SimDiseqcKind::Ignored,
         "not a command from the master, ignored"},
        {{0xDF, 0x31, 0x60}, SimDiseqcKind::Ignored, "not a command from the master, ignored"},
        {{0xE4, 0x31, 0x60}, SimDiseqcKind::Ignored, "not a command from the master, ignored"},
        // The switches answer 10..17 with any master framing; SMATV (18) is not theirs.
        {{0xE3, 0x17, 0x38, 0xF0},
         SimDiseqcKind::CommittedSwitch,
         "committed switch port A, vertical, low band"},
        {{0xE0, 0x18, 0x38, 0xF0}, SimDiseqcKind::Ignored, "command 38 for address 18, ignored"},
        {{0xE0, 0x31, 0x38, 0xF0}, SimDiseqcKind::Ignored, "command 38 for address 31, ignored"},
        {{0xE0, 0x10, 0x38}, SimDiseqcKind::Ignored, "command 38 without its data, ignored"},
        {{0xE0, 0x10, 0x00}, SimDiseqcKind::Ignored, "command 00 for address 10, ignored"},
        {{0xE0, 0x10}, SimDiseqcKind::Ignored, "too short, ignored"},
    };
    for (const Case& c : cases) {
        const SimDiseqcCommand command = DecodeDiseqcCommand(c.bytes);
        EXPECT_EQ(command.kind, c.kind) << c.meaning;
        EXPECT_EQ(command.meaning, c.meaning);
    }
    EXPECT_DOUBLE_EQ(
        DecodeDiseqcCommand(std::vector<std::uint8_t>{0xE1, 0x31, 0x6E, 0xE0, 0xA2}).angle, 10.125);
    EXPECT_DOUBLE_EQ(
        DecodeDiseqcCommand(std::vector<std::uint8_t>{0xE1, 0x31, 0x6E, 0xD1, 0x06}).angle,
        -16.375);
    const auto committed = DecodeDiseqcCommand(std::vector<std::uint8_t>{0xE0, 0x10, 0x38, 0xF9});
    EXPECT_EQ(committed.port, 2);
    EXPECT_TRUE(committed.highBand);
    EXPECT_FALSE(committed.horizontal);
}

TEST(SimDiseqcCommand, LengthFollowsFromTheCommandByte) {
    const std::pair<std::uint8_t, std::size_t> lengths[] = {
        {0x38, 4}, {0x68, 4}, {0x69, 4}, {0x6A, 4}, {0x6B, 4}, {0x6E, 5},
        {0x60, 3}, {0x63, 3}, {0x66, 3}, {0x67, 3}, {0x00, 3},
    };
    for (const auto& [command, length] : lengths)
        EXPECT_EQ(DiseqcLengthOfCommand(command), length) << int{command};
}

TEST(SimPointing, PolarMountAtTheProgramsAngleMeetsTheSatellite) {
    struct Case {
        double latitude, longitude, motorAngle, satellite, maxError;
    };
    const Case cases[] = {
        {50.0, 10.0, 10.125, 19.2, 0.1},    // E0 A2 from 50 N 10 E
        {-33.9, 10.0, -10.375, 19.2, 0.2},  // D0 A6 from 33.9 S 10 E: mirrored
        {50.0, 10.0, 0.0, 10.0, 1e-9},      // angle 0: due south, on the arc
        {50.0, 10.0, -16.375, -5.0, 0.3},   // D1 06 for 5.0 W
    };
    for (const Case& c : cases) {
        const auto site = sim::SitePosition(c.latitude, c.longitude);
        const auto towards = sim::Direction(site, sim::SatellitePosition(c.satellite));
        const auto boresight = sim::PolarMountBoresight(c.latitude, c.longitude, c.motorAngle);
        EXPECT_LT(sim::AngleBetween(boresight, towards), c.maxError)
            << c.latitude << " " << c.satellite;
        EXPECT_GT(sim::Elevation(c.latitude, c.longitude, towards), 20.0);
    }
    // The same motor angle turns a southern dish the other way.
    const auto north = sim::PolarMountBoresight(-33.9, 10.0, 10.375);
    const auto towards =
        sim::Direction(sim::SitePosition(-33.9, 10.0), sim::SatellitePosition(19.2));
    EXPECT_GT(sim::AngleBetween(north, towards), 15.0);
}

TEST(SimPointing, BeamIsSeventyLambdaOverDiameterWithAGaussianLoss) {
    const double width = sim::BeamWidth(0.80, 11.362e9);
    EXPECT_NEAR(width, 70.0 * 299792458.0 / 11.362e9 / 0.80, 1e-12);
    EXPECT_NEAR(width, 2.309, 0.001);
    EXPECT_DOUBLE_EQ(sim::PointingLoss(width / 2, width), 3.0);
    EXPECT_DOUBLE_EQ(sim::PointingLoss(width, width), 12.0);
    EXPECT_DOUBLE_EQ(sim::PointingLoss(0.0, width), 0.0);
}

SimCarrier Carrier(SimSystem system, dvb_rate::Modulation modulation, dvb_rate::CodeRate rate) {
    SimCarrier carrier;
    carrier.system = system;
    carrier.modulation = modulation;
    carrier.rate = rate;
    carrier.symbolRate = 30'000'000;
    return carrier;
}

TEST(SimCarrierMath, CodesHeadersAndRequiredCarrierToNoise) {
    using dvb_rate::CodeRate;
    using dvb_rate::Modulation;
    const SimCarrier dvbs = Carrier(SimSystem::DvbS, Modulation::Qpsk, CodeRate::R7_8);
    EXPECT_EQ(sim::ExtendedModCodeOf(dvbs), 37);
    EXPECT_EQ(sim::DvbsCodeRateIndexOf(dvbs), 6);
    EXPECT_EQ(sim::Dvbs2ModCodOf(dvbs), 0);
    EXPECT_EQ(sim::Matype1Of(dvbs), 0xF0);
    EXPECT_DOUBLE_EQ(sim::RequiredCarrierToNoise(dvbs), 8.5);

    SimCarrier s2 = Carrier(SimSystem::DvbS2, Modulation::Apsk32, CodeRate::R9_10);
    EXPECT_EQ(sim::Dvbs2ModCodOf(s2), 28);
    EXPECT_EQ(sim::ExtendedModCodeOf(s2), 28);
    EXPECT_EQ(sim::DvbsCodeRateIndexOf(s2), 8);
    EXPECT_EQ(sim::ModulationCodeOf(s2), 3);
    EXPECT_DOUBLE_EQ(sim::RequiredCarrierToNoise(s2), 16.05);
    s2.inputStreams = {4, 9};
    s2.nullPacketDeletion = true;
    s2.rollOff = 1;
    EXPECT_EQ(sim::Matype1Of(s2), 0xD5);  // TS, MIS, CCM, NPD, 0.25
    s2.payload = SimPayload::GenericContinuous;
    s2.inputStreams.clear();
    s2.nullPacketDeletion = false;
    EXPECT_EQ(sim::Matype1Of(s2), 0x71);  // GC, SIS, CCM, 0.25

    SimCarrier s2x = Carrier(SimSystem::DvbS2X, Modulation::Qpsk, CodeRate::R1_4);
    s2x.s2xPlsCode = 132;
    s2x.pilots = true;
    EXPECT_EQ(sim::ExtendedModCodeOf(s2x), 66);
    EXPECT_DOUBLE_EQ(sim::RequiredCarrierToNoise(s2x), -2.03);
    // Kbch 18528 - 80 header bits per 90 + 360 * 90 + 22 * 36 symbols.
    EXPECT_DOUBLE_EQ(*sim::CarrierUsefulBitRate(s2x), 30e6 * 18448 / 33282);
    EXPECT_EQ(sim::CarrierLabel(s2x), "0 H 30000 DVB-S2X QPSK 13/45");
}

TEST(SimSky, FilesOfOnePositionMergeAndLinesBecomeCarriers) {
    const auto file = [](int position, const char* name, std::vector<const char*> lines) {
        SatelliteFile satellite;
        satellite.orbitalTenthsEast = position;
        satellite.name = name;
        for (const char* line : lines)
            satellite.transponders.push_back(*ParseTransponderLine(line));
        return satellite;
    };
    const CSimSky sky = CSimSky::FromSatellites({
        file(192, "Astra", {"11362,H,22000,2/3,DVB-S2,8PSK"}),
        file(192, "Astra-1KR",
             {"11362,H,22000,AUTO,DVB-S2,8PSK", "10714,H,22000,AUTO,DVB-S2,16APSK",
              "11244,H,22000,AUTO,DVB-S", "11318,V,22000,2/3,DVB-S,8PSK",
              "11400,V,2000,AUTO,ISDB-S"}),
        file(3550, "Amos", {"10722,H,27500,9/10,DVB-S2,QPSK"}),
    });
    const auto find = [&](int position, std::uint32_t khz, char polarisation) -> const SimCarrier* {
        for (const SimCarrier& c : sky.Carriers()) {
            if (c.orbitalTenthsEast == position && c.frequencyKHz == khz &&
                c.polarisation == polarisation)
                return &c;
        }
        return nullptr;
    };
    const SimCarrier* first = find(192, 11362000, 'H');
    ASSERT_TRUE(first);
    EXPECT_EQ(first->rate, dvb_rate::CodeRate::R2_3);  // the first file wins
    EXPECT_TRUE(first->pilots);
    EXPECT_EQ(std::count_if(sky.Carriers().begin(), sky.Carriers().end(),
                            [](const SimCarrier& c) { return c.frequencyKHz == 11362000; }),
              1);
    const SimCarrier* apsk = find(192, 10714000, 'H');
    ASSERT_TRUE(apsk);
    EXPECT_EQ(apsk->satellite, "Astra");
    EXPECT_EQ(apsk->rate, dvb_rate::CodeRate::R3_4);
    const SimCarrier* dvbs = find(192, 11318000, 'V');
    ASSERT_TRUE(dvbs);
    EXPECT_EQ(dvbs->system, SimSystem::DvbS);
    EXPECT_EQ(dvbs->modulation, dvb_rate::Modulation::Qpsk);
    EXPECT_EQ(dvbs->rate, dvb_rate::CodeRate::R2_3);
    EXPECT_EQ(find(192, 11244000, 'H')->rate, dvb_rate::CodeRate::R3_4);
    EXPECT_FALSE(find(192, 11400000, 'V'));
    EXPECT_FALSE(find(3550, 10722000, 'H')->pilots);
    // The card's own carriers, at 19.2 E under the position's name.
    const SimCarrier* s2x = find(192, 12516000, 'V');
    const SimCarrier* mis = find(192, 12590000, 'V');
    const SimCarrier* pls = find(192, 12630000, 'V');
    const SimCarrier* generic = find(192, 12670000, 'V');
    ASSERT_TRUE(s2x && mis && pls && generic);
    EXPECT_EQ(s2x->system, SimSystem::DvbS2X);
    EXPECT_EQ(mis->inputStreams, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(pls->plsGold, 131070u);
    EXPECT_EQ(generic->payload, SimPayload::GenericContinuous);
    EXPECT_EQ(generic->satellite, "Astra");
    EXPECT_EQ(sky.Positions(), (std::vector<int>{192, 3550}));
}

SatelliteFile SatelliteOf(int position, const char* name, const std::vector<std::string>& lines) {
    SatelliteFile satellite;
    satellite.orbitalTenthsEast = position;
    satellite.name = name;
    for (const std::string& line : lines)
        satellite.transponders.push_back(*ParseTransponderLine(line));
    return satellite;
}

// "position name kHz polarisation" of each carrier that came from a file, in the sky's order.
std::vector<std::string> FileCarriers(const CSimSky& sky) {
    std::vector<std::string> kept;
    for (const SimCarrier& c : sky.Carriers()) {
        if (c.extra) continue;
        kept.push_back(std::to_string(c.orbitalTenthsEast) + " " + c.satellite + " " +
                       std::to_string(c.frequencyKHz) + " " + c.polarisation);
    }
    return kept;
}

TEST(SimSky, CarriersLessThanAMegahertzApartAreOneAndTheFirstReadWins) {
    struct Case {
        const char* what;
        std::vector<SatelliteFile> files;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        {"the same line in a second file of the position",
         {SatelliteOf(130, "Hotbird", {"10719,V,27500,3/4"}),
          SatelliteOf(130, "Hotbird 13C", {"10719,V,27500,2/3", "10758,V,27500,3/4"})},
         {"130 Hotbird 10719000 V", "130 Hotbird 10758000 V"}},
        {"999 kHz apart is one, 1000 kHz apart two",
         {SatelliteOf(130, "A",
                      {"11000,H,27500,3/4", "11000.999,H,27500,3/4", "10999.001,H,27500,3/4",
                       "11001,H,27500,3/4", "10999,H,27500,3/4"})},
         {"130 A 11000000 H", "130 A 11001000 H", "130 A 10999000 H"}},
        {"only kept carriers count: a dropped one shadows nothing",
         {SatelliteOf(130, "A",
                      {"11000,H,27500,3/4", "11000.9,H,27500,3/4", "11001.8,H,27500,3/4"})},
         {"130 A 11000000 H", "130 A 11001800 H"}},
        {"other polarisation or position: all kept",
         {SatelliteOf(130, "A", {"11000,H,27500,3/4", "11000,V,27500,3/4", "11000,L,27500,3/4"}),
          SatelliteOf(282, "B", {"11000,H,27500,3/4"})},
         {"130 A 11000000 H", "130 A 11000000 V", "130 A 11000000 L", "282 B 11000000 H"}},
        {"at the ends of the kHz range",
         {SatelliteOf(130, "A",
                      {"0.5,H,1000,3/4", "1.2,H,1000,3/4", "4294967.295,H,1000,3/4",
                       "4294966.5,H,1000,3/4", "4294966.2,H,1000,3/4"})},
         {"130 A 500 H", "130 A 4294967295 H", "130 A 4294966200 H"}},
        {"a later file of the position is named by the first",
         {SatelliteOf(192, "", {}), SatelliteOf(192, "Astra", {"10714,H,22000,3/4"})},
         {"192  10714000 H"}},
        {"the card's own carriers replace what they overlap",
         {SatelliteOf(192, "Astra",
                      {"12516.5,V,27500,3/4", "12515,V,27500,3/4", "12590,H,27500,3/4",
                       "12630.999,V,27500,3/4"})},
         {"192 Astra 12515000 V", "192 Astra 12590000 H"}},
    };
    for (const Case& c : cases) {
        const CSimSky sky = CSimSky::FromSatellites(c.files);
        EXPECT_EQ(FileCarriers(sky), c.kept) << c.what;
        EXPECT_EQ(sky.Carriers().size(), c.kept.size() + CSimSky::ExtraCarriers("").size())
            << c.what;
    }
}

TEST(SimSky, ThousandsOfCrowdedCarriersMergeAsComparingEachWithEveryKeptOneWould) {
    // Files of three positions, four polarisations, frequencies on a 250 kHz grid of 40 MHz:
    // most lines fall within a megahertz of others.
    std::vector<SatelliteFile> files;
    std::uint64_t state = 12345;
    const auto next = [&state](std::uint64_t range) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return (state >> 33) % range;
    };
    for (int file = 0; file < 12; ++file) {
        SatelliteFile satellite;
        satellite.orbitalTenthsEast = 130 + 10 * static_cast<int>(next(3));
        satellite.name = "File " + std::to_string(file);
        for (int line = 0; line < 400; ++line) {
            SatelliteTransponder transponder;
            transponder.frequencyMHz = 11000 + 0.25 * static_cast<double>(next(160));
            transponder.polarisation = "HVLR"[next(4)];
            transponder.symbolRateKsps = 27500;
            transponder.fec = "3/4";
            satellite.transponders.push_back(transponder);
        }
        files.push_back(std::move(satellite));
    }
    // The definition: each carrier against every one kept before it.
    std::vector<std::string> expected;
    std::vector<std::tuple<int, char, std::uint32_t>> kept;
    std::map<int, std::string> names;
    for (const SatelliteFile& satellite : files) {
        names.emplace(satellite.orbitalTenthsEast, satellite.name);
        for (const SatelliteTransponder& t : satellite.transponders) {
            const auto khz = static_cast<std::uint32_t>(std::lround(t.frequencyMHz * 1000));
            const bool known = std::any_of(kept.begin(), kept.end(), [&](const auto& k) {
                return std::get<0>(k) == satellite.orbitalTenthsEast &&
                       std::get<1>(k) == t.polarisation &&
                       std::abs(static_cast<double>(std::get<2>(k)) - khz) < 1000;
            });
            if (known) continue;
            kept.emplace_back(satellite.orbitalTenthsEast, t.polarisation, khz);
            expected.push_back(std::to_string(satellite.orbitalTenthsEast) + " " +
                               names[satellite.orbitalTenthsEast] + " " + std::to_string(khz) +
                               " " + t.polarisation);
        }
    }
    ASSERT_GT(expected.size(), 200u);
    ASSERT_LT(expected.size(), 600u);  // of 4,800: crowded indeed
    EXPECT_EQ(FileCarriers(CSimSky::FromSatellites(files)), expected);
}

TEST(SimSky, CarriersBetweenTwoFrequenciesInTheSkysOrder) {
    const CSimSky sky = CSimSky::FromSatellites(
        {SatelliteOf(130, "A", {"11000,H,27500,3/4", "10900,V,27500,3/4", "11000,V,27500,3/4"}),
         SatelliteOf(282, "B", {"10950,H,27500,3/4", "10900,H,27500,3/4"})});
    using Found = std::vector<std::size_t>;
    EXPECT_EQ(sky.CarriersBetween(10'900'000, 11'000'000), (Found{0, 1, 2, 3, 4}));
    EXPECT_EQ(sky.CarriersBetween(10'900'001, 10'999'999), (Found{3}));
    EXPECT_EQ(sky.CarriersBetween(10'999'000, 11'001'000), (Found{0, 2}));
    EXPECT_EQ(sky.CarriersBetween(0, 10'899'999), Found{});
    EXPECT_EQ(sky.CarriersBetween(12'670'000, UINT64_MAX), (Found{8}));  // the last extra
    EXPECT_EQ(CSimSky().CarriersBetween(0, UINT64_MAX), Found{});
}

TEST(SimSky, LoadStopsAtTheFolderLimits) {
    const CTempFolder folder;
    WriteWholeFile(folder.File("a.ini"), "[SATTYPE]\n1=0130\n2=A\n[DVB]\n1=11000,H,27500,3/4\n");
    WriteWholeFile(folder.File("b.ini"), "[SATTYPE]\n1=0282\n2=B\n[DVB]\n1=11000,H,27500,3/4\n");
    SatelliteFolderLimits oneFile;
    oneFile.files = 1;
    EXPECT_EQ(FileCarriers(CSimSky::Load(folder.Path(), oneFile)),
              (std::vector<std::string>{"130 A 11000000 H"}));
    EXPECT_EQ(FileCarriers(CSimSky::Load(folder.Path())),
              (std::vector<std::string>{"130 A 11000000 H", "282 B 11000000 H"}));
}

TEST(SimSky, LinesBeyondTheCarrierUnitsAreLeftOut) {
    // Found by fuzzing: 113610719 MHz is 113610719000 kHz, which wrapped around 32 bits to a
    // carrier at 1941569304 kHz that the file does not have; 4294968 kSps became 704 symbols/s,
    // and 2750000 kSps, locked, gave the carrier report a negative symbol rate.
    const std::string folder = ::testing::TempDir() + "/sim-sky-units";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    std::ofstream(folder + "/Sat.ini") << "[SATTYPE]\n1=0192\n2=Astra\n[DVB]\n0=7\n"
                                          "1=113610719,V,27500,3/4\n"
                                          "2=11000,V,4294968,3/4\n"
                                          "3=10719,V,2750000,3/4,DVB-S2,16APSK\n"
                                          "4=4294967.295,H,2147483,3/4\n"
                                          "5=4294967.2955,H,27500,3/4\n"
                                          "6=11100,H,2147484,3/4\n"
                                          "7=11362,H,22000,2/3\n";
    const CSimSky sky = CSimSky::Load(folder);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> fromFile;
    for (const SimCarrier& c : sky.Carriers()) {
        if (!c.extra) fromFile.emplace_back(c.frequencyKHz, c.symbolRate);
    }
    EXPECT_EQ(fromFile, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                            {4294967295u, 2147483000u}, {11362000u, 22000000u}}));
    std::filesystem::remove_all(folder);
}

TEST(SimSky, GeneratedSatelliteFilesGiveTheKnownTransponders) {
    const CSimSky sky = CSimSky::Load(BuildTranspondersFolder());
    const auto positions = sky.Positions();
    for (const int position : {130, 192, 282}) {
        EXPECT_TRUE(std::find(positions.begin(), positions.end(), position) != positions.end())
            << position;
    }
    const auto astra =
        std::find_if(sky.Carriers().begin(), sky.Carriers().end(), [](const SimCarrier& c) {
            return c.orbitalTenthsEast == 192 && c.frequencyKHz == 11362000 &&
                   c.polarisation == 'H';
        });
    ASSERT_NE(astra, sky.Carriers().end());
    EXPECT_EQ(sim::CarrierLabel(*astra), "11362 H 22000 DVB-S2 8PSK 2/3");
    for (const SimCarrier& extra : CSimSky::ExtraCarriers("Astra")) {
        const auto clashes =
            std::count_if(sky.Carriers().begin(), sky.Carriers().end(), [&](const SimCarrier& c) {
                return !c.extra && c.orbitalTenthsEast == 192 &&
                       c.polarisation == extra.polarisation &&
                       std::abs(static_cast<double>(c.frequencyKHz) - extra.frequencyKHz) < 20000;
            });
        EXPECT_EQ(clashes, 0) << extra.frequencyKHz;
    }
}

TEST(SimOptionsFile, DefaultsWithoutAFileAndOverridesFromIt) {
    CTempFolder folder;
    const SimOptions defaults = ReadSimOptions(folder.File("missing.ini"));
    EXPECT_EQ(defaults.latitude, 50.0);
    EXPECT_EQ(defaults.longitude, 10.0);
    EXPECT_EQ(defaults.fixedDishEast, (std::array<double, 3>{19.2, 13.0, 28.2}));
    EXPECT_EQ(defaults.lnbLowMHz, 9750u);
    EXPECT_EQ(defaults.motorSpeed, 1.5);
    WriteWholeFile(folder.File("SimulatedCard.ini"),
                   "[Site]\nLatitude=-33.9\nLongitude=abc\n[Dishes]\nPortC=-30.0\nDiameter=1.2\n"
                   "[LNB]\nLow=9700\n[Motor]\nSpeed=2.5\nRange=-5\n[Reception]\nNoise=0\nSeed=7\n");
    const SimOptions options = ReadSimOptions(folder.File("SimulatedCard.ini"));
    EXPECT_EQ(options.latitude, -33.9);
    EXPECT_EQ(options.longitude, 10.0);  // not a number: default
    EXPECT_EQ(options.fixedDishEast, (std::array<double, 3>{19.2, -30.0, 28.2}));
    EXPECT_EQ(options.dishDiameter, 1.2);
    EXPECT_EQ(options.lnbLowMHz, 9700u);
    EXPECT_EQ(options.lnbHighMHz, 10600u);
    EXPECT_EQ(options.motorSpeed, 2.5);
    EXPECT_EQ(options.motorRange, 75.0);  // not positive: default
    EXPECT_EQ(options.noise, 0.0);
    EXPECT_EQ(options.seed, 7u);
}

TEST(SimMultiplex, NamesFollowFromTheCarrierInputStreamAndSeed) {
    SimCarrier carrier =
        Carrier(SimSystem::DvbS2, dvb_rate::Modulation::Psk8, dvb_rate::CodeRate::R3_5);
    carrier.orbitalTenthsEast = 192;
    carrier.satellite = "Astra";
    carrier.frequencyKHz = 12590000;
    carrier.polarisation = 'V';
    carrier.inputStreams = {1, 2, 3};
    const auto one = MakeCarrierMultiplex(carrier, 1, 20'000'000, 1);
    const auto again = MakeCarrierMultiplex(carrier, 1, 20'000'000, 1);
    const auto two = MakeCarrierMultiplex(carrier, 2, 20'000'000, 1);
    const auto reseeded = MakeCarrierMultiplex(carrier, 1, 20'000'000, 2);
    ASSERT_EQ(one.services.size(), 4u);  // one per started 5 Mbit/s
    std::vector<std::string> names;
    for (std::size_t i = 0; i < one.services.size(); ++i) {
        EXPECT_EQ(one.services[i].service_name, again.services[i].service_name);
        names.push_back(one.services[i].service_name);
        EXPECT_EQ(one.services[i].provider_name,
                  one.services[i].service_name.substr(0, one.services[i].service_name.find(' ')) +
                      " Media");
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
    EXPECT_EQ(one.transport_stream_id, (12590 % 16000) * 4 + 1 + 1000);
    EXPECT_EQ(two.transport_stream_id, (12590 % 16000) * 4 + 1 + 2000);
    EXPECT_EQ(one.original_network_id, 1);
    EXPECT_NE(one.services[0].service_name + one.services[1].service_name,
              two.services[0].service_name + two.services[1].service_name);
    EXPECT_NE(one.seed, reseeded.seed);
}

TEST(SimStreamSource, Crc8IsTheDvbS2Code) {
    const std::string check = "123456789";
    EXPECT_EQ(
        CSimStreamSource::Crc8(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()),
        0xBC);
}

TEST(SimTraceFormat, HexIsUpperCasePairsWithSingleSpaces) {
    const std::uint8_t bytes[] = {0xE0, 0x10, 0x38, 0xF6, 0x0A};
    EXPECT_EQ(CSimTrace::Hex(bytes), "E0 10 38 F6 0A");
    EXPECT_EQ(CSimTrace::Hex({}), "");
}

}  // namespace
