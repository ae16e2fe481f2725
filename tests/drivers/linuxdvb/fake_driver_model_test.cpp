#include "drivers/linuxdvb/fake_driver_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/fake_dvb_kernel.h"

namespace linuxdvb::testing {
namespace {

constexpr std::uint32_t kLocked =
    FE_HAS_SIGNAL | FE_HAS_CARRIER | FE_HAS_VITERBI | FE_HAS_SYNC | FE_HAS_LOCK;
constexpr std::uint32_t kCarrierOnly = FE_HAS_SIGNAL | FE_HAS_CARRIER;

// 8PSK 3/4 with pilots, vertical low band; and a DVB-S one on the same frequency.
FakeCarrier S2Carrier() {
    FakeCarrier carrier;
    carrier.ifKHz = 1612000;
    carrier.modulation = PSK_8;
    carrier.pilot = PILOT_ON;
    return carrier;
}

FakeCarrier SCarrier() {
    FakeCarrier carrier = S2Carrier();
    carrier.deliverySystem = SYS_DVBS;
    carrier.modulation = QPSK;
    carrier.pilot = PILOT_OFF;
    return carrier;
}

// What the program sets before DTV_TUNE: delivery system, frequency, symbol rate, then the rest.
std::vector<DvbProperty> Request(std::uint32_t system, std::vector<DvbProperty> rest = {},
                                 std::uint32_t frequency = 1612000, std::uint32_t rate = 27500000) {
    std::vector<DvbProperty> properties = {{DTV_CLEAR, 0},
                                           {DTV_DELIVERY_SYSTEM, system},
                                           {DTV_FREQUENCY, frequency},
                                           {DTV_SYMBOL_RATE, rate}};
    properties.insert(properties.end(), rest.begin(), rest.end());
    properties.push_back({DTV_TUNE, 0});
    return properties;
}

struct Session {
    explicit Session(const std::string& model, const FakeCarrier& carrier) {
        kernel.UseModel(DriverModel(model));
        kernel.AddCarrier(carrier);
        EXPECT_EQ(kernel.OpenFrontend(0, 0, frontend), 0);
        EXPECT_EQ(frontend->SetVoltage(carrier.voltage), 0);
        EXPECT_EQ(frontend->SetTone(carrier.tone), 0);
    }
    std::uint32_t StatusAfter(int milliseconds) {
        kernel.Pause()(milliseconds);
        std::uint32_t status = 0;
        EXPECT_EQ(frontend->ReadStatus(status), 0);
        return status;
    }
    int DriverError() {
        std::lock_guard guard(kernel.state->lock);
        return kernel.state->tunes.empty() ? -1 : kernel.state->tunes.back().driverError;
    }
    std::uint32_t Get(std::uint32_t command) {
        DvbProperty property{command, 0};
        EXPECT_EQ(frontend->GetProperties({&property, 1}), 0);
        return property.value;
    }

    CFakeDvbKernel kernel;
    std::unique_ptr<IDvbFrontendDevice> frontend;
};

struct TuneCase {
    const char* name;
    const char* model;
    FakeCarrier carrier;
    std::vector<DvbProperty> request;
    int waitMs;
    std::uint32_t status;
    int driverError;  // what set_frontend returned; DTV_TUNE itself always succeeds
};

class DriverModelTuneTest : public ::testing::TestWithParam<TuneCase> {};

TEST_P(DriverModelTuneTest, StatusFollowsTheDriversRules) {
    const TuneCase& test = GetParam();
    Session session(test.model, test.carrier);
    EXPECT_EQ(session.frontend->SetProperties(test.request), 0);
    EXPECT_EQ(session.StatusAfter(test.waitMs), test.status);
    EXPECT_EQ(session.DriverError(), test.driverError);
}

const std::vector<DvbProperty> kS2Explicit = {{DTV_MODULATION, PSK_8},
                                              {DTV_INNER_FEC, FEC_3_4},
                                              {DTV_ROLLOFF, ROLLOFF_35},
                                              {DTV_PILOT, PILOT_ON}};

std::string CaseName(const ::testing::TestParamInfo<TuneCase>& param) {
    return param.param.name;
}

FakeCarrier QpskWithPilots() {
    FakeCarrier carrier = S2Carrier();
    carrier.modulation = QPSK;
    return carrier;
}

// Input streams 1 and 2, or stream 5 scrambled with gold code 7.
FakeCarrier MultiStream() {
    FakeCarrier carrier = S2Carrier();
    carrier.inputStreams = {1, 2};
    return carrier;
}

FakeCarrier Scrambled() {
    FakeCarrier carrier = S2Carrier();
    carrier.inputStreams = {5};
    carrier.goldCode = 7;
    return carrier;
}

// ISI 5, gold code 7 (code type 1) in DTV_STREAM_ID.
constexpr std::uint32_t kPackedStreamId = 5 | (7u << 8) | (1u << 26);

const std::vector<DvbProperty> kS2WrongFec = {
    {DTV_MODULATION, PSK_8}, {DTV_INNER_FEC, FEC_2_3}, {DTV_ROLLOFF, ROLLOFF_35}};
const std::vector<DvbProperty> kS2AutoRollOff = {
    {DTV_MODULATION, PSK_8}, {DTV_INNER_FEC, FEC_3_4}, {DTV_ROLLOFF, ROLLOFF_AUTO}};

// Lock times: cx24116 100 ms (+500 for a wrong pilot guess), tda10071 300, stb0899 200,
// stv090x 300, m88ds3103 200, stv0910 300, vidtv 0.
const std::vector<TuneCase> kTuneCases = {
    {"Cx24116RefusesAutoRollOffInS2", "cx24116", S2Carrier(), Request(SYS_DVBS2, kS2AutoRollOff),
     2000, 0, EOPNOTSUPP},
    {"Cx24116RefusesAutoFecInS2", "cx24116", S2Carrier(),
     Request(SYS_DVBS2, {{DTV_MODULATION, PSK_8}}), 2000, 0, EOPNOTSUPP},
    {"Cx24116LocksOnExplicitS2After100Ms", "cx24116", S2Carrier(), Request(SYS_DVBS2, kS2Explicit),
     100, kLocked, 0},
    // A read while the driver waits for the lock inside its tune waits with it: at 99 ms it
    // returns at the lock.
    {"Cx24116ReadAt99MsWaitsForTheLock", "cx24116", S2Carrier(), Request(SYS_DVBS2, kS2Explicit),
     99, kLocked, 0},
    {"Cx24116WrongFecDoesNotLock", "cx24116", S2Carrier(), Request(SYS_DVBS2, kS2WrongFec), 2000,
     kCarrierOnly, 0},
    // Auto pilot guesses "off" for QPSK; a QPSK carrier with pilots needs the second try, and a
    // read meanwhile waits for it.
    {"Cx24116AutoPilotLocksOnTheSecondGuess", "cx24116", QpskWithPilots(),
     Request(SYS_DVBS2, {{DTV_INNER_FEC, FEC_3_4}}), 0, kLocked, 0},
    {"Cx24116RefusesAutoRollOffInDvbS", "cx24116", SCarrier(),
     Request(SYS_DVBS, {{DTV_ROLLOFF, ROLLOFF_AUTO}}), 2000, 0, EOPNOTSUPP},
    {"Tda10071TakesAutoFecWithStatedRollOff", "tda10071", S2Carrier(),
     Request(SYS_DVBS2, {{DTV_MODULATION, QPSK}}), 300, kLocked, 0},
    {"Tda10071RefusesAutoRollOff", "tda10071", S2Carrier(),
     Request(SYS_DVBS2, {{DTV_ROLLOFF, ROLLOFF_AUTO}}), 2000, 0, EINVAL},
    {"Stb0899S2ModeMissesDvbS", "stb0899", SCarrier(), Request(SYS_DVBS2), 2000, kCarrierOnly, 0},
    {"Stb0899TakesEveryAuto", "stb0899", S2Carrier(),
     Request(SYS_DVBS2, {{DTV_ROLLOFF, ROLLOFF_AUTO}}), 200, kLocked, 0},
    {"Stv090xS2ModeFindsDvbS", "stv090x", SCarrier(), Request(SYS_DVBS2), 300, kLocked, 0},
    {"M88ds3103IgnoresAWrongFec", "m88ds3103", S2Carrier(),
     Request(SYS_DVBS2, {{DTV_INNER_FEC, FEC_1_2}}), 200, kLocked, 0},
    {"SymbolRateTwoPercentOff", "stv0910", S2Carrier(), Request(SYS_DVBS2, {}, 1612000, 28050000),
     2000, kCarrierOnly, 0},
    {"StreamIdMissingFromTheCarrier", "stv0910", MultiStream(),
     Request(SYS_DVBS2, {{DTV_STREAM_ID, 3}}), 2000, kCarrierOnly, 0},
    // stv090x filters only on 0..255: a packed stream id turns the filter off, and its
    // scrambling code comes from DTV_SCRAMBLING_SEQUENCE_INDEX alone.
    {"Stv090xIgnoresAPackedGoldCode", "stv090x", Scrambled(),
     Request(SYS_DVBS2, {{DTV_STREAM_ID, kPackedStreamId}}), 2000, kCarrierOnly, 0},
    {"Stv0910TakesTheIndexForTheGoldCode", "stv0910", Scrambled(),
     Request(SYS_DVBS2, {{DTV_STREAM_ID, 5}, {DTV_SCRAMBLING_SEQUENCE_INDEX, 7}}), 300, kLocked, 0},
    {"VidtvNeedsTheExactFrequency", "vidtv", S2Carrier(), Request(SYS_DVBS2, {}, 1612001), 2000, 0,
     0},
};

INSTANTIATE_TEST_SUITE_P(Cases, DriverModelTuneTest, ::testing::ValuesIn(kTuneCases), CaseName);

// Guards the rule that makes a lock search necessary: which drivers leave the tone off after a
// DiSEqC message, so a high-band carrier is lost until the tone is set again.
TEST(DriverModelTest, ToneLeftOffAfterDiseqcLosesTheHighBandLock) {
    const std::vector<std::string> keepTone = {"cx24116", "tda10071", "stb0899",   "cx24117",
                                               "mxl5xx",  "stv0900",  "m88rs2000", "stv0288",
                                               "stv0299", "tda10086", "si21xx",    "vidtv"};
    for (const FakeDriverModel& model : AllDriverModels()) {
        const bool dvbs2 = std::find(model.deliverySystems.begin(), model.deliverySystems.end(),
                                     SYS_DVBS2) != model.deliverySystems.end();
        FakeCarrier carrier = dvbs2 ? S2Carrier() : SCarrier();
        carrier.voltage = DvbVoltage::Volt18;
        carrier.tone = true;
        Session session(model.name, carrier);
        ASSERT_EQ(
            session.frontend->SetProperties(dvbs2 ? Request(SYS_DVBS2, {{DTV_MODULATION, PSK_8},
                                                                        {DTV_INNER_FEC, FEC_3_4},
                                                                        {DTV_ROLLOFF, ROLLOFF_35},
                                                                        {DTV_PILOT, PILOT_ON}})
                                                  : Request(SYS_DVBS, {{DTV_INNER_FEC, FEC_3_4}})),
            0);
        ASSERT_EQ(session.StatusAfter(1000), kLocked) << model.name;
        const std::uint8_t message[] = {0xE0, 0x10, 0x38, 0xF3};
        ASSERT_EQ(session.frontend->SendDiseqc(message), 0);
        const bool kept = std::find(keepTone.begin(), keepTone.end(), model.name) != keepTone.end();
        EXPECT_EQ(session.StatusAfter(0), kept ? kLocked : 0u) << model.name;
    }
}

// A HW-algo driver that refuses before touching the chip still reports the previous carrier; a
// software-zigzag one is in FESTATE_ERROR and reports nothing.
TEST(DriverModelTest, RefusedRetuneKeepsOrDropsThePreviousLock) {
    for (const auto& [name, status] : std::vector<std::pair<std::string, std::uint32_t>>{
             {"cx24116", kLocked}, {"tda10071", 0}}) {
        Session session(name, S2Carrier());
        ASSERT_EQ(session.frontend->SetProperties(Request(SYS_DVBS2, kS2Explicit)), 0);
        ASSERT_EQ(session.StatusAfter(1000), kLocked);
        ASSERT_EQ(session.frontend->SetProperties(
                      Request(SYS_DVBS2, {{DTV_ROLLOFF, ROLLOFF_AUTO}}, 1700000)),
                  0);
        EXPECT_EQ(session.StatusAfter(1000), status) << name;
    }
}

TEST(DriverModelTest, ReadBackIsTheCarrierOnlyWhereGetFrontendReadsIt) {
    struct Case {
        const char* model;
        std::uint32_t command;
        std::uint32_t expected;
    };
    // Requested: DVB-S2, FEC_AUTO, QPSK (DTV_CLEAR's default), pilot auto, 1612500 kHz; the
    // carrier is 8PSK 3/4 with pilots at 1612000 kHz.
    for (const Case& test :
         {Case{"tda10071", DTV_INNER_FEC, FEC_3_4}, Case{"tda10071", DTV_MODULATION, PSK_8},
          Case{"tda10071", DTV_FREQUENCY, 1612000}, Case{"m88ds3103", DTV_PILOT, PILOT_ON},
          Case{"m88ds3103", DTV_FREQUENCY, 1612500}, Case{"stb0899", DTV_FREQUENCY, 1612000},
          Case{"stb0899", DTV_INNER_FEC, FEC_AUTO}, Case{"stv090x", DTV_MODULATION, QPSK},
          Case{"stv0910", DTV_ROLLOFF, ROLLOFF_25}}) {
        Session session(test.model, S2Carrier());
        ASSERT_EQ(session.frontend->SetProperties(
                      Request(SYS_DVBS2, {{DTV_ROLLOFF, ROLLOFF_25}}, 1612500)),
                  0);
        ASSERT_EQ(session.StatusAfter(1000), kLocked) << test.model;
        EXPECT_EQ(session.Get(test.command), test.expected)
            << test.model << " command " << test.command;
    }
}

TEST(DriverModelTest, CoreRefusalsReachTheProgram) {
    Session session("stb0899", S2Carrier());
    // Below the 5 Msym/s stb0899 declares, whatever its search could do.
    EXPECT_EQ(session.frontend->SetProperties(Request(SYS_DVBS2, {}, 1612000, 2000000)), EINVAL);
    EXPECT_EQ(session.frontend->SetProperties(Request(SYS_DVBT)), EINVAL);
    const std::vector<std::string> calls = session.kernel.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.back(),
              "set DTV_CLEAR DTV_DELIVERY_SYSTEM=3 DTV_FREQUENCY=1612000 "
              "DTV_SYMBOL_RATE=27500000 DTV_TUNE -> errno 22");
    std::lock_guard guard(session.kernel.state->lock);
    EXPECT_TRUE(session.kernel.state->tunes.empty());
}

TEST(DriverModelTest, ClearSetsTheKernelsDefaultsAndKeepsTheSystem) {
    Session session("stv0910", S2Carrier());
    ASSERT_EQ(
        session.frontend->SetProperties(std::vector<DvbProperty>{{DTV_DELIVERY_SYSTEM, SYS_DVBS2},
                                                                 {DTV_ROLLOFF, ROLLOFF_20},
                                                                 {DTV_STREAM_ID, 4},
                                                                 {DTV_INNER_FEC, FEC_2_3},
                                                                 {DTV_CLEAR, 0}}),
        0);
    EXPECT_EQ(session.Get(DTV_DELIVERY_SYSTEM), SYS_DVBS2);
    EXPECT_EQ(session.Get(DTV_ROLLOFF), ROLLOFF_35);
    EXPECT_EQ(session.Get(DTV_INNER_FEC), FEC_AUTO);
    EXPECT_EQ(session.Get(DTV_PILOT), PILOT_AUTO);
    EXPECT_EQ(session.Get(DTV_STREAM_ID), NO_STREAM_ID_FILTER);
}

TEST(DriverModelTest, SecondOpenIsBusyAndLastCloseUnpowersTheLnb) {
    Session session("m88ds3103", S2Carrier());
    std::unique_ptr<IDvbFrontendDevice> second;
    EXPECT_EQ(session.kernel.OpenFrontend(0, 0, second), EBUSY);
    session.frontend.reset();
    const std::vector<FakeSecEvent> timeline = session.kernel.SecTimeline();
    ASSERT_FALSE(timeline.empty());
    EXPECT_EQ(timeline.back().voltage, DvbVoltage::Off);
    EXPECT_TRUE(timeline.back().implicit);
    EXPECT_EQ(session.kernel.OpenFrontend(0, 0, second), 0);
}

TEST(DriverModelTest, DiseqcLengthLimitsAndBusTime) {
    Session session("tda10071", S2Carrier());
    const std::uint8_t shortMessage[] = {0xE0, 0x10};
    const std::uint8_t longMessage[] = {0xE0, 0x31, 0x6E, 0x01, 0x02, 0x03, 0x04};
    const std::uint8_t message[] = {0xE0, 0x10, 0x38, 0xF0};
    const std::int64_t before = session.kernel.NowMs();
    EXPECT_EQ(session.frontend->SendDiseqc(shortMessage), EINVAL);
    EXPECT_EQ(session.frontend->SendDiseqc(longMessage), EINVAL);
    EXPECT_EQ(session.frontend->SendDiseqc(message), 0);
    EXPECT_EQ(session.kernel.NowMs() - before, 60);
    EXPECT_EQ(session.kernel.Calls().back(), "diseqc E0 10 38 F0");
}

TEST(DriverModelTest, GoldCodeRegisterHasTheFullPeriod) {
    // x^18 + x^7 + 1 is primitive: the register returns to its start after 2^18 - 1 shifts only.
    EXPECT_EQ(GoldToRoot(0), 1u);
    EXPECT_EQ(GoldToRoot(262143), 1u);
    EXPECT_NE(GoldToRoot(262143 / 3), 1u);
    EXPECT_NE(GoldToRoot(262143 / 7), 1u);
    EXPECT_NE(GoldToRoot(262143 / 19), 1u);
    EXPECT_NE(GoldToRoot(262143 / 73), 1u);
}

}  // namespace
}  // namespace linuxdvb::testing
