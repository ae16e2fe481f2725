// Whole graphs on the simulated cards: what locks where, the dish motor seen through reception,
// the DVB-S2 extras and the carrier report, and device removal.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>

#include "drivers/sim/sim_test_rig.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/devices/device_event_hub.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"

namespace {

constexpr std::size_t kArden = 0;
constexpr std::size_t kGlen = 1;
constexpr std::size_t kHeath = 2;

const SimTune kAstra11362{11362, 'H', 22000};    // 19.2 E, DVB-S2 8PSK 2/3, low band
const SimTune kHotbird10719{10719, 'V', 27500};  // 13.0 E, DVB-S 3/4
const SimTune kAstra28{10714, 'H', 22000};       // 28.2 E, DVB-S 5/6 (10714.25 in the file)
const SimTune kS2x{12516, 'V', 30000};           // the card's DVB-S2X carrier, 19.2 E
const SimTune kMultistream{12590, 'V', 27500};   // ISI 1, 2, 3
const SimTune kScrambled{12630, 'V', 22000};     // gold 131070

// The records as the system encodes them.
template <std::size_t N>
std::vector<std::uint8_t> Bytes(const std::array<std::uint8_t, N>& bytes) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::vector<std::uint8_t> CodeBytes(std::int32_t value, std::int32_t type) {
    return Bytes(CodeRecord::For(value, type).bytes);
}

std::vector<std::uint8_t> IsiBytes(std::int32_t isi) {
    MediaInfoRecord record;
    record.inputStreamId = isi;
    return Bytes(record.Encode());
}

struct ModCodEntryBytes {
    std::uint32_t modCod, selector1, selector2;
};

// `count` need not be the number of entries: the dialog's ALL record names only its first ones.
std::vector<std::uint8_t> ModCodBytes(std::uint32_t count,
                                      const std::vector<ModCodEntryBytes>& entries) {
    ModCodeFilterRecord record;
    for (const ModCodEntryBytes& entry : entries)
        record.Append(entry.modCod, entry.selector1, entry.selector2);
    record.count = count;
    return Bytes(record.Encode());
}

// Tunes as "Lock TP" does: the committed-switch message first, then the tune request, then Run.
void LockTp(CSimTestRig& rig, char port, const SimTune& tune) {
    ASSERT_EQ(rig.SendCommittedSwitch(port, tune), S_OK);
    ASSERT_EQ(rig.Tune(tune), S_OK);
    ASSERT_EQ(rig.Run(), S_OK);
}

std::set<std::string> ServiceNames(const CSimTestRig& rig) {
    std::set<std::string> names;
    for (const SdtService& service : rig.Services()) names.insert(service.name);
    return names;
}

TEST(SimReception, AListedTransponderLocksAfterTheAcquisitionTimeWithStatedStrengthAndQuality) {
    CSimTestRig rig(kArden);
    LockTp(rig, 'B', kAstra11362);
    rig.Clock().AdvanceMs(299);
    EXPECT_EQ(rig.ReadStatistics().locked, 0);
    rig.Clock().AdvanceMs(1);
    const auto statistics = rig.ReadStatistics();
    ASSERT_EQ(statistics.hr, S_OK);
    EXPECT_EQ(statistics.locked, 1);
    // C/N 14.0 dB on the boresight: strength 3 * (14 + 13), quality 5 * 14.
    EXPECT_EQ(statistics.strength, 81);
    EXPECT_EQ(statistics.quality, 70);
    const auto carrier = rig.Card().LockedCarrier();
    ASSERT_TRUE(carrier);
    EXPECT_EQ(carrier->frequencyKHz, 11362000u);
    EXPECT_EQ(carrier->orbitalTenthsEast, 192);
    EXPECT_EQ(carrier->modulation, dvb_rate::Modulation::Psk8);
    EXPECT_EQ(carrier->rate, dvb_rate::CodeRate::R2_3);
}

TEST(SimReception, WrongPolarisationOscillatorsOrSymbolRateGiveNoLock) {
    struct Case {
        const char* what;
        SimTune tune;
    };
    const Case cases[] = {
        {"vertical", {11362, 'V', 22000}},
        {"low oscillator 9700", {11362, 'H', 22000, 9700}},
        {"high oscillator and switch for a high-band tune",
         {11362, 'H', 22000, 9750, 10700, 11000}},
        {"symbol rate 27500", {11362, 'H', 27500}},
        {"symbol rate 22200 (0.9 % off)", {11362, 'H', 22200}},
        {"frequency 6 MHz off", {11368, 'H', 22000}},
    };
    for (const Case& c : cases) {
        CSimTestRig rig(kArden);
        LockTp(rig, 'B', c.tune);
        rig.Clock().AdvanceMs(1000);
        EXPECT_EQ(rig.ReadStatistics().locked, 0) << c.what;
        EXPECT_EQ(rig.ReadStatistics().quality, 0) << c.what;
    }
    // Within the tolerances it still locks: 2 MHz off, 5 MHz off (22000 kSps allow 5.5 MHz),
    // 0.4 % off.
    for (const SimTune& tune :
         {SimTune{11364, 'H', 22000}, SimTune{11357, 'H', 22000}, SimTune{11362, 'H', 22088}}) {
        CSimTestRig rig(kArden);
        LockTp(rig, 'B', tune);
        rig.Clock().AdvanceMs(300);
        EXPECT_EQ(rig.ReadStatistics().locked, 1)
            << tune.frequencyMHz << " " << tune.symbolRateKsps;
    }
}

TEST(SimReception, PortsSelectTheFixedDishesAndNoMessageKeepsTheLastPort) {
    struct Case {
        char port;
        SimTune tune;
        bool locks;
    };
    const Case cases[] = {
        {'B', kAstra11362, true},   {'C', kAstra11362, false},   {'D', kAstra11362, false},
        {'C', kHotbird10719, true}, {'B', kHotbird10719, false}, {'D', kAstra28, true},
        {'C', kAstra28, false},
    };
    for (const Case& c : cases) {
        CSimTestRig rig(kArden);
        LockTp(rig, c.port, c.tune);
        rig.Clock().AdvanceMs(400);
        EXPECT_EQ(rig.ReadStatistics().locked, c.locks ? 1 : 0)
            << c.port << " " << c.tune.frequencyMHz;
    }
    CSimTestRig rig(kArden);
    LockTp(rig, 'C', kHotbird10719);
    rig.Clock().AdvanceMs(400);
    ASSERT_EQ(rig.ReadStatistics().locked, 1);
    // "Diseqc NULL": no message, a new tune on the same port.
    ASSERT_EQ(rig.Tune(SimTune{10719, 'V', 27500}), S_OK);
    rig.Clock().AdvanceMs(400);
    EXPECT_EQ(rig.ReadStatistics().locked, 1);
    EXPECT_EQ(rig.Card().Port(), 2);
}

TEST(SimReception, TheUsbCardTakesItsSwitchMessageFromTheTunerRecord) {
    CSimTestRig rig(kGlen);
    EXPECT_EQ(rig.Card().Port(), 0);
    LockTp(rig, 'D', kAstra28);
    rig.Clock().AdvanceMs(400);
    EXPECT_EQ(rig.Card().Port(), 3);
    EXPECT_EQ(rig.ReadStatistics().locked, 1);
}

TEST(SimReception, TheDvbS2xCarrierLocksOnlyOnTheXModelCard) {
    for (const auto& [card, locks] :
         {std::pair{kArden, false}, std::pair{kGlen, false}, std::pair{kHeath, true}}) {
        CSimTestRig rig(card);
        LockTp(rig, 'B', kS2x);
        rig.Clock().AdvanceMs(400);
        EXPECT_EQ(rig.ReadStatistics().locked, locks ? 1 : 0) << card;
    }
}

TEST(SimReception, GotoAngleFromANorthernSiteTurnsTheMotorisedDishOntoAstra) {
    CSimTestRig rig(kArden);
    LockTp(rig, 'A', kAstra11362);
    rig.Clock().AdvanceMs(1000);
    EXPECT_EQ(rig.ReadStatistics().locked, 0);  // the dish looks due south, 9.2 degrees off
    // The system's message for 19.2 E from 50.0 N 10.0 E: 10.125 degrees east.
    ASSERT_EQ(rig.SendDiseqc({0xE1, 0x31, 0x6E, 0xE0, 0xA2}), S_OK);
    rig.Clock().AdvanceMs(3000);
    EXPECT_NEAR(rig.Card().MotorAngle(), 4.5, 1e-9);  // 1.5 degrees per second
    EXPECT_EQ(rig.ReadStatistics().locked, 0);
    rig.Clock().AdvanceMs(3750 + 300);  // 6.75 s of travel in all
    EXPECT_DOUBLE_EQ(rig.Card().MotorAngle(), 10.125);
    const auto statistics = rig.ReadStatistics();
    EXPECT_EQ(statistics.locked, 1);
    EXPECT_EQ(statistics.strength, 81);  // 0.06 degrees off: a few thousandths of a dB
}

TEST(SimReception, GotoAngleFromASouthernSiteIsMirrored) {
    SimOptions options = CSimTestRig::NoiselessOptions();
    options.latitude = -33.9;
    options.longitude = 10.0;
    CSimTestRig rig(kArden, options);
    LockTp(rig, 'A', kAstra11362);
    // The system's message for 19.2 E from 33.9 S 10.0 E: 10.375 degrees, direction nibble D.
    ASSERT_EQ(rig.SendDiseqc({0xE1, 0x31, 0x6E, 0xD0, 0xA6}), S_OK);
    rig.Clock().AdvanceMs(7000 + 300);
    EXPECT_DOUBLE_EQ(rig.Card().MotorAngle(), -10.375);
    EXPECT_EQ(rig.ReadStatistics().locked, 1);
    // The opposite nibble turns the dish away from the satellite.
    ASSERT_EQ(rig.SendDiseqc({0xE0, 0x31, 0x6E, 0xE0, 0xA6}), S_OK);
    rig.Clock().AdvanceMs(15000);
    EXPECT_EQ(rig.ReadStatistics().locked, 0);
}

TEST(SimReception, ScrambledCarrierLocksOnlyWithItsCodeInRootOrGoldForm) {
    struct Step {
        std::int32_t value;
        std::int32_t type;  // 0 root, 1 gold
        bool locks;
    };
    const Step steps[] = {
        {0, 1, false},                        // the default code
        {131070, 1, true},                    // gold form
        {8, 1, false},     {16416, 0, true},  // root form of the same code
        {1, 0, false},                        // root 1 = gold 0
    };
    CSimTestRig rig(kArden);
    LockTp(rig, 'B', kScrambled);
    rig.Clock().AdvanceMs(400);
    for (const Step& step : steps) {
        if (step.value != 0 || step.type != 1) {
            ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE,
                                    CodeBytes(step.value, step.type)),
                      S_OK);
        }
        rig.Clock().AdvanceMs(400);
        EXPECT_EQ(rig.ReadStatistics().locked, step.locks ? 1 : 0)
            << step.value << "/" << step.type;
    }
    // The unscrambled carriers need gold 0.
    ASSERT_EQ(
        rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE, CodeBytes(131070, kGoldCode)),
        S_OK);
    LockTp(rig, 'B', kAstra11362);
    rig.Clock().AdvanceMs(400);
    EXPECT_EQ(rig.ReadStatistics().locked, 0);
}

TEST(SimReception, InputStreamSelectionChangesTheDeliveredServices) {
    CSimTestRig rig(kArden);
    LockTp(rig, 'B', kMultistream);
    rig.Clock().AdvanceMs(2000);
    const auto first = ServiceNames(rig);
    ASSERT_FALSE(first.empty());

    // "Apply": the identifier, then a new "Lock TP".
    ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, IsiBytes(2)),
              S_OK);
    rig.Stop();
    LockTp(rig, 'B', kMultistream);
    rig.Clock().AdvanceMs(2000);
    const auto second = ServiceNames(rig);
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(rig.Card().InputStreamId(), 2);

    // An identifier the carrier does not have: lock, but nothing is delivered.
    ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, IsiBytes(7)),
              S_OK);
    LockTp(rig, 'B', kMultistream);
    rig.Clock().AdvanceMs(400);
    rig.TakeBytes();
    rig.Clock().AdvanceMs(1000);
    EXPECT_EQ(rig.ReadStatistics().locked, 1);
    EXPECT_TRUE(rig.TakeBytes().empty());
}

TEST(SimReception, ModCodFilterDropsFramesButKeepsTheLock) {
    struct Case {
        const char* what;
        std::vector<std::uint8_t> record;
        bool passes;
    };
    const std::vector<ModCodEntryBytes> all = {{12, 0, 0}, {12, 1, 0}, {12, 0, 1}, {12, 1, 1},
                                               {18, 0, 0}, {18, 1, 0}, {18, 0, 1}, {18, 1, 1}};
    const Case cases[] = {
        {"8PSK 2/3 normal frames with pilots", ModCodBytes(1, {{13, 0, 1}}), true},
        {"8PSK 2/3 without pilots only", ModCodBytes(1, {{13, 0, 0}}), false},
        {"QPSK 1/2 only", ModCodBytes(4, {{4, 0, 0}, {4, 1, 0}, {4, 0, 1}, {4, 1, 1}}), false},
        {"the dialog's ALL record: a full record passes everything", ModCodBytes(112, all), true},
        {"empty filter", ModCodBytes(0, {}), true},
    };
    for (const Case& c : cases) {
        CSimTestRig rig(kArden);
        ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_MODCODES, c.record), S_OK)
            << c.what;
        LockTp(rig, 'B', kAstra11362);
        rig.Clock().AdvanceMs(1000);
        EXPECT_EQ(rig.ReadStatistics().locked, 1) << c.what;
        EXPECT_EQ(!rig.TakeBytes().empty(), c.passes) << c.what;
    }
}

// The carrier report as the driver hands it out: eighteen little-endian DWORDs.
std::vector<std::int32_t> ReportOf(CSimTestRig& rig) {
    const bool usb = rig.Card().Profile().carrier == SimPropertyCarrier::Usb;
    std::vector<std::uint8_t> record(MediaInfoRecord::kSize, 0);
    EXPECT_EQ(
        rig.GetRecord(usb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt,
                      usb ? KSPROPERTY_CTRL_GET_MEDIAINFO : KSPROPERTY_BDA_GET_MEDIAINFO, record),
        S_OK);
    std::vector<std::int32_t> fields;
    for (std::size_t i = 0; i < MediaInfoRecord::kSize; i += 4)
        fields.push_back(static_cast<std::int32_t>(driver_bytes::GetLe32(&record[i])));
    return fields;
}

TEST(SimReception, CarrierReportOfTheDvbS2xCarrierOnTheXModelCard) {
    CSimTestRig rig(kHeath);
    LockTp(rig, 'B', kS2x);
    rig.Clock().AdvanceMs(400);
    // IF 12516 - 10600 MHz; 30 MBd; DVB-S2; extended code 66 (QPSK 13/45); no DVB-S rate; QPSK;
    // transport; single stream; CCM; no ISSYI; no NPD; roll-off 0.20; ISI 0; MATYPE F2 00;
    // spectrum normal; pilots on; normal frames.
    const std::vector<std::int32_t> expected = {1916000, 30000000, 1, 66, 8,    0, 3, 1, 1,
                                                0,       0,        2, 0,  0xF2, 0, 0, 1, 0};
    EXPECT_EQ(ReportOf(rig), expected);
}

TEST(SimReception, CarrierReportOfADvbSCarrier) {
    // Hotbird 10719 V 27500 DVB-S 3/4: IF 969 MHz, code rate index 2, the header of a plain TS.
    const std::vector<std::int32_t> arden = {969000, 27500000, 0, 0, 2,    0, 3, 1, 1,
                                             0,      0,        0, 0, 0xF0, 0, 0, 0, 0};
    std::vector<std::int32_t> heath = arden;
    heath[3] = 34;  // the extended code of DVB-S 3/4
    for (const auto& [card, expected] :
         {std::pair{kArden, arden}, std::pair{kGlen, arden}, std::pair{kHeath, heath}}) {
        CSimTestRig rig(card);
        LockTp(rig, 'C', kHotbird10719);
        rig.Clock().AdvanceMs(400);
        EXPECT_EQ(ReportOf(rig), expected) << card;
    }
}

TEST(SimReception, CarrierReportOfTheMultistreamCarrierNamesEachInputStreamInTurn) {
    CSimTestRig rig(kArden);
    LockTp(rig, 'B', kMultistream);
    rig.Clock().AdvanceMs(400);
    std::vector<std::int32_t> reported;
    for (int i = 0; i < 4; ++i) {
        const auto fields = ReportOf(rig);
        EXPECT_EQ(fields[7], 0);      // multiple input streams
        EXPECT_EQ(fields[13], 0xD6);  // TS, MIS, CCM, NPD, roll-off 0.20
        EXPECT_EQ(fields[14], fields[12]);
        reported.push_back(fields[12]);
    }
    EXPECT_EQ(reported, (std::vector<std::int32_t>{1, 2, 3, 1}));
    ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, IsiBytes(3)),
              S_OK);
    EXPECT_EQ(ReportOf(rig)[12], 3);
    EXPECT_EQ(ReportOf(rig)[12], 3);
}

TEST(SimReception, UnlockedCardReportsZeros) {
    CSimTestRig rig(kArden);
    EXPECT_EQ(ReportOf(rig), std::vector<std::int32_t>(18, 0));
}

TEST(SimReception, RemovedCardDisappearsStopsStreamingAndIsBroadcast) {
    std::atomic<int> removals{0};
    auto subscription = CDeviceEventHub::Instance().Subscribe([&](DWORD event) {
        if (event == DBT_DEVICEREMOVECOMPLETE) ++removals;
    });
    CSimTestRig rig(kArden);
    LockTp(rig, 'B', kAstra11362);
    rig.Clock().AdvanceMs(1000);
    ASSERT_FALSE(rig.TakeBytes().empty());
    const std::wstring name(rig.Card().Profile().friendlyName);

    rig.Provider().RemoveCard(kArden);
    EXPECT_EQ(removals.load(), 1);
    for (const GUID& category : {KSCATEGORY_BDA_NETWORK_TUNER, KSCATEGORY_BDA_RECEIVER_COMPONENT,
                                 KSCATEGORY_BDA_TRANSPORT_INFORMATION}) {
        for (const DeviceDescriptor& device : CDeviceRegistry::Instance().Devices(category)) {
            EXPECT_EQ(device.friendlyName->find(L"Arden"), std::wstring::npos);
        }
    }
    EXPECT_FALSE(BindDevice(KSCATEGORY_BDA_NETWORK_TUNER, name));
    rig.Clock().AdvanceMs(1000);
    EXPECT_TRUE(rig.TakeBytes().empty());
    EXPECT_EQ(rig.ReadStatistics().hr, CSimCard::kDeviceRemoved);
    DWORD support = 0;
    EXPECT_EQ(rig.Driver()->QuerySupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, &support),
              CSimCard::kDeviceRemoved);
    // The other cards stay.
    EXPECT_TRUE(
        BindDevice(KSCATEGORY_BDA_NETWORK_TUNER, std::wstring(kSimulatedCards[1].friendlyName)));
}

}  // namespace
