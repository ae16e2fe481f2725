// The scan's state machine against a scripted card whose time the test drives in 50 ms readings:
// what it asks to do and when, and the rows it gathers.
#include "scan/satellite_scan.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kReadEveryMs = 50;

// The DVB-S2 8PSK 2/3 carrier of 11362 H: MODCOD 13, which needs 6.62 dB.
MediaInfoRecord Dvbs2Report(std::int32_t modCode = 13) {
    MediaInfoRecord report;
    report.standard = 1;
    report.modCode = modCode;
    report.inputStream = 1;  // single input stream
    return report;
}

// A transponder as the scripted card answers for it.
struct ScriptedCarrier {
    int symbolRateKsps = 22000;
    std::optional<std::uint64_t> lockAfterMs;  // none: never locks
    std::optional<double> carrierToNoiseDb;
    MediaInfoRecord report = Dvbs2Report();
    std::vector<int> inputStreams;                 // named in turn by the report
    std::optional<std::uint64_t> servicesAfterMs;  // after the reset; none: never complete
    int services = 0;
    bool staleLockAfterTune = false;    // a reading of the previous generation that shows lock
    bool burst = false;                 // every stream named in each reading
    std::uint64_t lockSearchMs = 3000;  // what the tuner says its search for the carrier may take
};

struct ScanRun {
    std::vector<std::string> actions;  // "tune 0 at 0", "reset at 300", "restore at 800"
    std::vector<ScanRow> rows;
    bool cancelled = false;
};

// Steps the machine once per reading until it has finished; `meddle` acts before each step.
ScanRun RunScan(const std::vector<ScriptedCarrier>& sky,
                const std::function<void(CSatelliteScan&, std::uint64_t)>& meddle = {}) {
    std::vector<SatelliteTransponder> transponders;
    for (std::size_t i = 0; i < sky.size(); ++i) {
        SatelliteTransponder transponder;
        transponder.frequencyMHz = 11000.5 + 20.0 * static_cast<double>(i);
        transponder.polarisation = i % 2 ? 'V' : 'H';
        transponder.symbolRateKsps = sky[i].symbolRateKsps;
        transponder.fec = "AUTO";
        transponders.push_back(transponder);
    }
    CSatelliteScan scan(transponders);
    ScanRun run;
    std::optional<std::size_t> tuned;
    std::uint64_t tunedAt = 0;
    std::optional<std::uint64_t> resetAt;
    std::size_t reports = 0;
    bool staleDue = false;
    for (std::uint64_t now = 0; now < 600'000; now += kReadEveryMs) {
        if (meddle) meddle(scan, now);
        ScanObservation reading;
        reading.generation = scan.Generation();
        reading.atMs = now;
        if (tuned) {
            const ScriptedCarrier& carrier = sky[*tuned];
            reading.carrierToNoiseDb = carrier.carrierToNoiseDb;
            reading.locked = carrier.lockAfterMs && now - tunedAt >= *carrier.lockAfterMs;
            if (reading.locked) {
                reading.carrier = carrier.report;
                if (!carrier.inputStreams.empty()) {
                    reading.carrier->inputStream = 0;
                    reading.carrier->inputStreamId =
                        carrier.inputStreams[reports++ % carrier.inputStreams.size()];
                    if (carrier.burst) reading.moreInputStreamIds = carrier.inputStreams;
                }
            }
            reading.servicesComplete =
                resetAt && carrier.servicesAfterMs && now - *resetAt >= *carrier.servicesAfterMs;
            if (reading.servicesComplete) reading.services = carrier.services;
        }
        if (staleDue) {
            reading.generation -= 1;
            reading.locked = true;
            reading.carrier = Dvbs2Report();
            staleDue = false;
        }
        const ScanStep step = scan.Step(now, &reading);
        const std::string at = " at " + std::to_string(now);
        switch (step.action) {
            case ScanAction::Tune:
                run.actions.push_back("tune " + std::to_string(step.index) + at);
                tuned = step.index;
                tunedAt = now;
                resetAt.reset();
                staleDue = sky[step.index].staleLockAfterTune;
                scan.Acted(now, sky[step.index].lockSearchMs);
                break;
            case ScanAction::ResetServices:
                run.actions.push_back("reset" + at);
                resetAt = now;
                scan.Acted(now);
                break;
            case ScanAction::RestorePage:
                run.actions.push_back("restore" + at);
                tuned.reset();
                scan.Acted(now);
                break;
            case ScanAction::Wait:
                break;
            case ScanAction::Finished:
                run.rows = scan.Rows();
                run.cancelled = scan.IsCancelled();
                return run;
        }
    }
    ADD_FAILURE() << "the scan never finished";
    return run;
}

ScanRow RowOf(std::size_t index, int symbolRateKsps = 22000) {
    ScanRow row;
    row.frequencyMHz = 11000.5 + 20.0 * static_cast<double>(index);
    row.polarisation = index % 2 ? 'V' : 'H';
    row.symbolRateKsps = symbolRateKsps;
    return row;
}

struct ScanCase {
    const char* name;
    std::vector<ScriptedCarrier> sky;
    std::vector<std::string> actions;
    std::vector<ScanRow> rows;
};

std::vector<ScanCase> ScanCases() {
    std::vector<ScanCase> cases;

    // Locks after 300 ms, every table has passed 500 ms after the reset.
    ScriptedCarrier locking{22000, 300, 12.34, Dvbs2Report(), {}, 500, 7, false};
    ScanRow locked = RowOf(0);
    locked.locked = true;
    locked.lockMs = 300;
    locked.carrierToNoiseDb = 12.3;
    locked.marginDb = 5.7;  // 12.3 - 6.62
    locked.deliverySystem = "DVB-S2";
    locked.modCod = "DVB-S2 8PSK 2/3";
    locked.services = 7;
    cases.push_back(
        {"Locks", {locking}, {"tune 0 at 0", "reset at 300", "restore at 800"}, {locked}});

    // No lock: the wait ends when the tuner's search for the carrier would have, whatever the
    // symbol rate; a C/N the card measured is kept.
    for (const auto& [rate, timeout] :
         {std::pair{22000, std::uint64_t{1300}}, {27500, 16500}, {1000, 88500}, {1000, 1500}}) {
        ScriptedCarrier silent{rate, std::nullopt, -1.96, Dvbs2Report(), {}, std::nullopt,
                               0,    false,        false, timeout};
        ScanRow unlocked = RowOf(0, rate);
        unlocked.carrierToNoiseDb = -2.0;
        cases.push_back({"NoLock",
                         {silent},
                         {"tune 0 at 0", "restore at " + std::to_string(timeout)},
                         {unlocked}});
    }

    // Locked, but the tables never complete (a generic stream): 3 s after the reset it ends.
    ScriptedCarrier generic{22000, 300, 9.0, Dvbs2Report(4), {}, std::nullopt, 0, false};
    ScanRow noTables = RowOf(0);
    noTables.locked = true;
    noTables.lockMs = 300;
    noTables.carrierToNoiseDb = 9.0;
    noTables.marginDb = 8.0;  // QPSK 1/2 needs 1.00
    noTables.deliverySystem = "DVB-S2";
    noTables.modCod = "DVB-S2 QPSK 1/2";
    cases.push_back({"ServicesTimeOut",
                     {generic},
                     {"tune 0 at 0", "reset at 300", "restore at 3300"},
                     {noTables}});

    // Three input streams named in turn: the tables are complete at once, but the set must stop
    // growing for the settled count of readings first.
    ScriptedCarrier multi{27500, 300, 11.0, Dvbs2Report(12), {2, 1, 3}, 50, 4, false};
    ScanRow streams = RowOf(0, 27500);
    streams.locked = true;
    streams.lockMs = 300;
    streams.carrierToNoiseDb = 11.0;
    streams.marginDb = 5.5;  // 8PSK 3/5 needs 5.50
    streams.deliverySystem = "DVB-S2";
    streams.modCod = "DVB-S2 8PSK 3/5";
    streams.inputStreamIds = {1, 2, 3};
    streams.services = 4;
    // Reset at 300; readings from 350 name 1, 3 (new), 2, 1, 3 ...: the set is whole at 400
    // (the first reading at 300 named 2), unchanged for kSettledReads readings from 450.
    const std::uint64_t settled = 400 + CSatelliteScan::kSettledReads * kReadEveryMs;
    cases.push_back({"Multistream",
                     {multi},
                     {"tune 0 at 0", "reset at 300", "restore at " + std::to_string(settled)},
                     {streams}});

    // The same with every stream named within one reading (reports read in a row): the set is
    // whole at the lock, unchanged from 350.
    ScriptedCarrier burst = multi;
    burst.burst = true;
    cases.push_back(
        {"MultistreamInOneReading",
         {burst},
         {"tune 0 at 0", "reset at 300",
          "restore at " + std::to_string(300 + CSatelliteScan::kSettledReads * kReadEveryMs)},
         {streams}});

    // A reading begun before the second tune says "locked": it belongs to the first transponder.
    ScriptedCarrier staleVictim{22000, std::nullopt, std::nullopt, Dvbs2Report(), {}, std::nullopt,
                                0,     true};
    cases.push_back({"StaleGenerationIgnored",
                     {locking, staleVictim},
                     {"tune 0 at 0", "reset at 300", "tune 1 at 800", "restore at 3800"},
                     {locked, RowOf(1)}});

    cases.push_back({"NothingToScan", {}, {}, {}});
    return cases;
}

class SatelliteScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(SatelliteScanTest, AsksAndGathers) {
    const ScanCase& c = GetParam();
    const ScanRun run = RunScan(c.sky);
    EXPECT_EQ(run.actions, c.actions);
    ASSERT_EQ(run.rows.size(), c.rows.size());
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
        SCOPED_TRACE(i);
        const ScanRow& got = run.rows[i];
        const ScanRow& want = c.rows[i];
        EXPECT_EQ(got.frequencyMHz, want.frequencyMHz);
        EXPECT_EQ(got.polarisation, want.polarisation);
        EXPECT_EQ(got.symbolRateKsps, want.symbolRateKsps);
        EXPECT_EQ(got.locked, want.locked);
        EXPECT_EQ(got.lockMs, want.lockMs);
        EXPECT_EQ(got.carrierToNoiseDb, want.carrierToNoiseDb);
        ASSERT_EQ(got.marginDb.has_value(), want.marginDb.has_value());
        if (want.marginDb) {
            EXPECT_NEAR(*got.marginDb, *want.marginDb, 1e-9);
        }
        EXPECT_EQ(got.deliverySystem, want.deliverySystem);
        EXPECT_EQ(got.modCod, want.modCod);
        EXPECT_EQ(got.inputStreamIds, want.inputStreamIds);
        EXPECT_EQ(got.services, want.services);
    }
    EXPECT_FALSE(run.cancelled);
}

INSTANTIATE_TEST_SUITE_P(Cases, SatelliteScanTest, ::testing::ValuesIn(ScanCases()),
                         [](const ::testing::TestParamInfo<ScanCase>& param) {
                             return std::string(param.param.name) + std::to_string(param.index);
                         });

// Cancel while the first of three waits for its lock: nothing more is tuned, the page's own
// transponder is, and the unfinished transponder leaves no row.
TEST(SatelliteScanCancelTest, CancelMidTransponderStopsBeforeTheNextTune) {
    ScriptedCarrier silent{22000, std::nullopt, std::nullopt, Dvbs2Report(), {}, std::nullopt,
                           0,     false};
    ScriptedCarrier locking{22000, 300, 12.0, Dvbs2Report(), {}, 500, 7, false};
    for (const std::uint64_t cancelAt : {std::uint64_t{100}, std::uint64_t{1000}}) {
        SCOPED_TRACE(cancelAt);
        const ScanRun run =
            RunScan({locking, silent, locking}, [&](CSatelliteScan& scan, auto now) {
                if (now == cancelAt) scan.Cancel();
            });
        if (cancelAt == 100) {
            EXPECT_EQ(run.actions, (std::vector<std::string>{"tune 0 at 0", "restore at 100"}));
            EXPECT_TRUE(run.rows.empty());
        } else {
            // The first finished at 800; the second was under way.
            EXPECT_EQ(run.actions, (std::vector<std::string>{"tune 0 at 0", "reset at 300",
                                                             "tune 1 at 800", "restore at 1000"}));
            EXPECT_EQ(run.rows.size(), 1u);
        }
        EXPECT_TRUE(run.cancelled);
    }
}

// Cancel while the caller's tune or reset is still under way (the dialog tunes off the window's
// thread): nothing is asked until it is done, then the page's transponder is tuned, so two tunes
// never overlap; the transponder under way leaves no row.
TEST(SatelliteScanCancelTest, CancelDuringATuneOrResetWaitsForIt) {
    for (const ScanAction underWay : {ScanAction::Tune, ScanAction::ResetServices}) {
        SCOPED_TRACE(static_cast<int>(underWay));
        CSatelliteScan scan({SatelliteTransponder{11362, 'H', 22000, "2/3", "", ""},
                             SatelliteTransponder{11385, 'V', 22000, "2/3", "", ""}});
        ASSERT_EQ(scan.Step(0, nullptr), (ScanStep{ScanAction::Tune, 0}));
        if (underWay == ScanAction::ResetServices) {
            scan.Acted(0);
            ScanObservation locked;
            locked.generation = scan.Generation();
            locked.atMs = 300;
            locked.locked = true;
            ASSERT_EQ(scan.Step(300, &locked), (ScanStep{ScanAction::ResetServices, 0}));
        }
        scan.Cancel();
        EXPECT_EQ(scan.Step(400, nullptr).action, ScanAction::Wait) << "still under way";
        scan.Acted(500);
        EXPECT_EQ(scan.Step(500, nullptr).action, ScanAction::RestorePage);
        scan.Acted(600);
        EXPECT_EQ(scan.Step(600, nullptr).action, ScanAction::Finished);
        EXPECT_TRUE(scan.IsCancelled());
        EXPECT_TRUE(scan.Rows().empty());
    }
}

// Cancel before anything was tuned: the card was never touched, so nothing is tuned back.
TEST(SatelliteScanCancelTest, CancelBeforeTheFirstTuneTunesNothing) {
    CSatelliteScan scan({SatelliteTransponder{11362, 'H', 22000, "2/3", "", ""}});
    scan.Cancel();
    EXPECT_EQ(scan.Step(0, nullptr), (ScanStep{ScanAction::Finished, 0}));
    EXPECT_TRUE(scan.IsCancelled());
}

// A refused tune (no tuner) ends the scan at once: nothing is tuned back either.
TEST(SatelliteScanCancelTest, ARefusedTuneEndsTheScan) {
    CSatelliteScan scan({SatelliteTransponder{11362, 'H', 22000, "2/3", "", ""},
                         SatelliteTransponder{11385, 'V', 22000, "2/3", "", ""}});
    ASSERT_EQ(scan.Step(0, nullptr), (ScanStep{ScanAction::Tune, 0}));
    scan.Refused();
    EXPECT_EQ(scan.Step(0, nullptr).action, ScanAction::Finished);
    EXPECT_TRUE(scan.IsRefused());
    EXPECT_TRUE(scan.Rows().empty());
}

// Transponders the tuner cannot take through the LNB are passed over at once, as not locked.
TEST(SatelliteScanRangeTest, TranspondersOutsideTheTunerRangeAreNotTuned) {
    // Universal LNB 9750/10600, switch 11700: 10700 -> 950 and 12750 -> 2150 are the edges.
    const std::pair<double, bool> cases[] = {{10700, true},   {10699.5, false}, {11700, true},
                                             {11700.5, true}, {12750, true},    {12751, false},
                                             {18507, false},  {3800, false}};
    for (const auto& [frequency, within] : cases)
        EXPECT_EQ(WithinTunerRange(frequency, 9750, 10600, 11700), within) << frequency;
    EXPECT_TRUE(WithinTunerRange(3800, 5150, 0, 0)) << "C band: IF 1350";
    EXPECT_TRUE(WithinTunerRange(18507, 0, 0, 11700)) << "no oscillator set: no judgement";

    CSatelliteScan scan({SatelliteTransponder{18507, 'V', 3630, "AUTO", "", ""},
                         SatelliteTransponder{11362, 'H', 22000, "2/3", "", ""},
                         SatelliteTransponder{18511, 'V', 3630, "AUTO", "", ""}},
                        {false, true, false});
    EXPECT_EQ(scan.Step(0, nullptr), (ScanStep{ScanAction::Tune, 1}));
    ASSERT_EQ(scan.Rows().size(), 1u);
    EXPECT_EQ(scan.Rows()[0].frequencyMHz, 18507);
    EXPECT_FALSE(scan.Rows()[0].locked);
    scan.Acted(0);
    EXPECT_EQ(scan.Step(3000, nullptr), (ScanStep{ScanAction::RestorePage, 3}));
    EXPECT_EQ(scan.Rows().size(), 3u);
    EXPECT_EQ(scan.Untunable(), 2u);
}

struct CarrierCase {
    const char* name;
    std::int32_t standard;
    std::int32_t modCode;
    std::int32_t dvbsCodeRate;
    bool extendedCodes;
    const char* system;
    const char* modCod;
    std::optional<double> required;
};

class ScannedCarrierTest : public ::testing::TestWithParam<CarrierCase> {};

TEST_P(ScannedCarrierTest, SystemModCodAndNeededCarrierToNoise) {
    const CarrierCase& c = GetParam();
    MediaInfoRecord report;
    report.standard = c.standard;
    report.modCode = c.modCode;
    report.dvbsCodeRate = c.dvbsCodeRate;
    const ScannedCarrier carrier = DescribeScannedCarrier(report, c.extendedCodes);
    EXPECT_EQ(carrier.deliverySystem, c.system);
    EXPECT_EQ(carrier.modCod, c.modCod);
    ASSERT_EQ(carrier.requiredDb.has_value(), c.required.has_value());
    if (c.required) {
        EXPECT_NEAR(*carrier.requiredDb, *c.required, 0.005);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reports, ScannedCarrierTest,
    ::testing::Values(
        // 5.5 + 10 log10(2 * 3/4 * 188/204) = 6.91 dB.
        CarrierCase{"DvbS", 0, 0, 2, false, "DVB-S", "DVB-S 3/4", 6.91},
        CarrierCase{"Dvbs2", 1, 13, 0, false, "DVB-S2", "DVB-S2 8PSK 2/3", 6.62},
        CarrierCase{"XModelDvbs2", 1, 13, 0, true, "DVB-S2", "DVB-S2 8PSK 2/3", 6.62},
        CarrierCase{"XModelDvbS", 0, 34, 2, true, "DVB-S", "DVB-S 3/4", 6.91},
        CarrierCase{"XModelS2x", 1, 66, 0, true, "DVB-S2X", "DVB-S2X QPSK 13/45", std::nullopt},
        CarrierCase{"S2xModulationOnly", 1, 127, 0, true, "DVB-S2X", "DVB-S2X 256APSK",
                    std::nullopt},
        CarrierCase{"UnknownStandard", 7, 13, 0, false, "", "", std::nullopt}),
    [](const ::testing::TestParamInfo<CarrierCase>& param) { return param.param.name; });

}  // namespace
