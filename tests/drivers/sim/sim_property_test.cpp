// The simulated cards' vendor properties: which object answers which set, exact record sizes,
// value checks, fault injection, the USB tuner record, and the trace of every exchange.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>

#include "drivers/sim/sim_test_rig.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"

namespace {

constexpr DWORD kGet = KSPROPERTY_SUPPORT_GET;
constexpr DWORD kSet = KSPROPERTY_SUPPORT_SET;

ComPtr<IKsPropertySet> FilterHandle(IBaseFilter* tuner) {
    ComPtr<IKsPropertySet> handle;
    tuner->QueryInterface(IID_IKsPropertySet, handle.ReleaseAndGetVoidAddress());
    return handle;
}

ComPtr<IKsPropertySet> PinHandle(IBaseFilter* tuner) {
    ComPtr<IKsPropertySet> handle;
    PinOf(tuner, L"Input0")->QueryInterface(IID_IKsPropertySet, handle.ReleaseAndGetVoidAddress());
    return handle;
}

struct SupportCase {
    std::size_t card;
    bool pin;
    GUID set;
    DWORD id;
    HRESULT hr;
    DWORD support;
};

TEST(SimProperties, EachCardAnswersExactlyItsSetOnItsObject) {
    const GUID bda = KSPROPSETID_BdaExt;
    const GUID ctrl = KSPROPSETID_Ctrl;
    const SupportCase cases[] = {
        // PCI-E style (Arden; the x-model Heath is the same): BdaExt on "Input0".
        {0, true, bda, 12, S_OK, kGet},
        {0, true, bda, 13, S_OK, kGet | kSet},
        {0, true, bda, 14, S_OK, kSet},
        {0, true, bda, 21, S_OK, kSet},
        {0, true, bda, 23, S_OK, kSet},
        {0, true, bda, 24, S_OK, kSet},
        {0, true, bda, 15, E_PROP_ID_UNSUPPORTED, 0},
        {0, true, bda, 22, E_PROP_ID_UNSUPPORTED, 0},
        {0, true, ctrl, 1, E_PROP_SET_UNSUPPORTED, 0},
        {0, false, ctrl, 1, E_PROP_SET_UNSUPPORTED, 0},
        {0, false, bda, 21, E_PROP_SET_UNSUPPORTED, 0},
        {2, true, bda, 12, S_OK, kGet},
        {2, false, ctrl, 1, E_PROP_SET_UNSUPPORTED, 0},
        // USB (Glen): Ctrl on the filter; property 1 only there.
        {1, false, ctrl, 1, S_OK, 0},
        {1, false, ctrl, 3, S_OK, kSet},
        {1, false, ctrl, 15, S_OK, kGet},
        {1, false, ctrl, 20, S_OK, kSet},
        {1, false, ctrl, 21, S_OK, kSet},
        {1, false, ctrl, 2, E_PROP_ID_UNSUPPORTED, 0},
        {1, false, bda, 14, E_PROP_SET_UNSUPPORTED, 0},
        {1, true, ctrl, 1, E_PROP_SET_UNSUPPORTED, 0},
        {1, true, bda, 21, E_PROP_SET_UNSUPPORTED, 0},
    };
    for (const SupportCase& c : cases) {
        CSimTestRig rig(c.card);
        const auto handle = c.pin ? PinHandle(rig.TunerFilter()) : FilterHandle(rig.TunerFilter());
        ASSERT_TRUE(handle);
        DWORD support = 0xFFFF;
        EXPECT_EQ(handle->QuerySupported(c.set, c.id, &support), c.hr)
            << c.card << " " << c.pin << " " << c.id;
        if (SUCCEEDED(c.hr)) {
            EXPECT_EQ(support, c.support) << c.card << " " << c.id;
        }
    }
}

TEST(SimProperties, AccessesAPropertyDoesNotHaveAreRefused) {
    CSimTestRig rig(0);
    std::vector<std::uint8_t> record(DiseqcMessageRecord::kSize, 0);
    DWORD returned = 0;
    EXPECT_EQ(rig.Driver()->Get(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, nullptr, 0,
                                record.data(), DiseqcMessageRecord::kSize, &returned),
              E_PROP_ID_UNSUPPORTED);
    std::vector<std::uint8_t> info(MediaInfoRecord::kSize, 0);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO, info),
              E_PROP_ID_UNSUPPORTED);
    CSimTestRig usb(1);
    EXPECT_EQ(usb.SetRecord(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_PRESENT, {}), E_PROP_ID_UNSUPPORTED);
}

TEST(SimProperties, RecordsOfTheWrongSizeAreRefusedAndChangeNothing) {
    struct SizeCase {
        std::size_t card;
        GUID set;
        DWORD id;
        std::size_t size;
        bool get;
    };
    const SizeCase cases[] = {
        {0, KSPROPSETID_BdaExt, 12, MediaInfoRecord::kSize, true},
        {0, KSPROPSETID_BdaExt, 13, StreamTypeRecord::kSize, true},
        {0, KSPROPSETID_BdaExt, 13, StreamTypeRecord::kSize, false},
        {0, KSPROPSETID_BdaExt, 14, MediaInfoRecord::kSize, false},
        {0, KSPROPSETID_BdaExt, 21, DiseqcMessageRecord::kSize, false},
        {0, KSPROPSETID_BdaExt, 23, CodeRecord::kSize, false},
        {0, KSPROPSETID_BdaExt, 24, ModCodeFilterRecord::kSize, false},
        {1, KSPROPSETID_Ctrl, 3, TunerControlRecord::kSize, false},
        {1, KSPROPSETID_Ctrl, 15, MediaInfoRecord::kSize, true},
        {1, KSPROPSETID_Ctrl, 20, CodeRecord::kSize, false},
        {1, KSPROPSETID_Ctrl, 21, ModCodeFilterRecord::kSize, false},
    };
    for (const SizeCase& c : cases) {
        CSimTestRig rig(c.card);
        for (const std::size_t size : {c.size - 1, c.size + 1, std::size_t{0}}) {
            // A record that would act if it were taken: stream type GS, gold 131070, port D.
            std::vector<std::uint8_t> record(std::max<std::size_t>(size + 64, 200), 0);
            record[1] = 1;
            record[0] = c.id == 21 && c.set == KSPROPSETID_BdaExt ? 1 : 0xFE;
            record[1] = 0xFF;
            record[2] = 0x01;
            const std::size_t message = DiseqcMessageRecord::kMessageOffset;
            record[message] = 0xE0, record[message + 1] = 0x10, record[message + 2] = 0x38,
            record[message + 3] = 0xFC;
            record[DiseqcMessageRecord::kLengthOffset] = 4;
            record[CodeRecord::kTypeOffset] = 1;
            DWORD returned = 99;
            const auto length = static_cast<DWORD>(size);
            const HRESULT hr = c.get ? rig.Driver()->Get(c.set, c.id, record.data(), length,
                                                         record.data(), length, &returned)
                                     : rig.Driver()->Set(c.set, c.id, record.data(), length,
                                                         record.data(), length);
            EXPECT_EQ(hr, E_INVALIDARG) << c.id << " size " << size;
        }
        EXPECT_EQ(rig.Card().Port(), 0) << c.id;
        EXPECT_EQ(rig.Card().PlsGold(), 0u) << c.id;
        EXPECT_FALSE(rig.Card().GenericOutput()) << c.id;
    }
}

TEST(SimProperties, ValuesTheDriverDoesNotTakeAreRefused) {
    CSimTestRig rig(0);
    auto diseqc = [](std::uint8_t command, std::uint8_t length) {
        std::vector<std::uint8_t> record(DiseqcMessageRecord::kSize, 0);
        record[DiseqcMessageRecord::kCommandOffset] = command;
        const std::uint8_t portB[] = {0xE0, 0x10, 0x38, 0xF4};
        std::copy(std::begin(portB), std::end(portB),
                  record.begin() + DiseqcMessageRecord::kMessageOffset);
        record[DiseqcMessageRecord::kLengthOffset] = length;
        return record;
    };
    auto code = [](std::int32_t value, std::uint8_t type) {
        std::vector<std::uint8_t> record(CodeRecord::kSize, 0);
        for (std::size_t i = 0; i < 4; ++i)
            record[CodeRecord::kValueOffset + i] =
                static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) >> (8 * i));
        record[CodeRecord::kTypeOffset] = type;
        return record;
    };
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 21, diseqc(2, 4)), E_INVALIDARG);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 21, diseqc(1, 2)), E_INVALIDARG);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 21, diseqc(1, 7)), E_INVALIDARG);
    EXPECT_EQ(rig.Card().Port(), 0);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 21, diseqc(1, 4)), S_OK);
    EXPECT_EQ(rig.Card().Port(), 1);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 13, {1, 1}), E_INVALIDARG);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 13, {0, 0}), E_INVALIDARG);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 23, code(262142, 1)), E_INVALIDARG);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 23, code(-1, 1)), E_INVALIDARG);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 23, code(0, 0)), E_INVALIDARG);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 23, code(262144, 0)), E_INVALIDARG);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 23, code(5, 2)), E_INVALIDARG);
    EXPECT_EQ(rig.Card().PlsGold(), 0u);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 23, code(262141, 1)), S_OK);
    EXPECT_EQ(rig.Card().PlsGold(), 262141u);
    std::vector<std::uint8_t> modcods(ModCodeFilterRecord::kSize, 0);
    const std::size_t count = ModCodeFilterRecord::kCountOffset;
    const std::size_t entry = ModCodeFilterRecord::kEntriesOffset;
    modcods[count] = 113;
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 24, modcods), E_INVALIDARG);
    modcods[count] = 1, modcods[entry] = 29;
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 24, modcods), E_INVALIDARG);
    modcods[entry] = 13, modcods[entry + 4] = 2;
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 24, modcods), E_INVALIDARG);
    std::vector<std::uint8_t> isi(MediaInfoRecord::kSize, 0);
    const std::size_t id = MediaInfoRecord::kInputStreamIdOffset;
    isi[id] = 0x00, isi[id + 1] = 0x01;  // 256
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 14, isi), E_INVALIDARG);
    isi[id] = 0xFF, isi[id + 1] = 0xFF, isi[id + 2] = 0xFF, isi[id + 3] = 0xFF;  // -1: no selection
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, 14, isi), S_OK);
    EXPECT_EQ(rig.Card().InputStreamId(), -1);
}

TEST(SimProperties, StreamTypeReadsBackWhatWasSet) {
    CSimTestRig rig(0);
    std::vector<std::uint8_t> record(2, 0xAA);
    ASSERT_EQ(rig.GetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, record), S_OK);
    EXPECT_EQ(record, (std::vector<std::uint8_t>{1, 0}));
    ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, {0, 1}), S_OK);
    ASSERT_EQ(rig.GetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, record), S_OK);
    EXPECT_EQ(record, (std::vector<std::uint8_t>{0, 1}));
}

TEST(SimProperties, InjectedPropertyFaults) {
    const std::vector<std::uint8_t> portB = {0xE0, 0x10, 0x38, 0xF4};
    {
        CSimTestRig rig(0);
        rig.Card().Faults().MakeUnsupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC);
        DWORD support = 0;
        EXPECT_EQ(rig.Driver()->QuerySupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, &support),
                  E_PROP_ID_UNSUPPORTED);
        EXPECT_EQ(rig.SendDiseqc(portB), E_PROP_ID_UNSUPPORTED);
        EXPECT_EQ(rig.Card().Port(), 0);
        rig.Card().Faults().Clear();
        EXPECT_EQ(rig.SendDiseqc(portB), S_OK);
        EXPECT_EQ(rig.Card().Port(), 1);
    }
    {
        // A positive code still acts; a failure code does not.
        CSimTestRig rig(0);
        rig.Card().Faults().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC,
                                      CSimFaults::Operation::Set, S_FALSE);
        EXPECT_EQ(rig.SendDiseqc(portB), S_FALSE);
        EXPECT_EQ(rig.Card().Port(), 1);
        rig.Card().Faults().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC,
                                      CSimFaults::Operation::Set, E_FAIL);
        rig.Clock().AdvanceMs(200);
        EXPECT_EQ(rig.SendDiseqc({0xE0, 0x10, 0x38, 0xF8}), E_FAIL);
        EXPECT_EQ(rig.Card().Port(), 1);
    }
    {
        CSimTestRig rig(1);
        rig.Card().Faults().SetResult(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_PRESENT,
                                      CSimFaults::Operation::Query, E_FAIL);
        DWORD support = 0;
        EXPECT_EQ(rig.Driver()->QuerySupported(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_PRESENT, &support),
                  E_FAIL);
        rig.Card().Faults().SetResult(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GET_MEDIAINFO,
                                      CSimFaults::Operation::Get, E_FAIL);
        std::vector<std::uint8_t> info(MediaInfoRecord::kSize, 0x5A);
        EXPECT_EQ(rig.GetRecord(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GET_MEDIAINFO, info), E_FAIL);
        EXPECT_EQ(info, std::vector<std::uint8_t>(MediaInfoRecord::kSize, 0x5A));
        rig.Card().Faults().SetResult(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GET_MEDIAINFO,
                                      CSimFaults::Operation::Get, S_FALSE);
        EXPECT_EQ(rig.GetRecord(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GET_MEDIAINFO, info), S_FALSE);
        EXPECT_EQ(info, std::vector<std::uint8_t>(MediaInfoRecord::kSize, 0));
    }
}

TEST(SimProperties, InjectedInterfaceFaults) {
    CSimTestRig rig(0);
    CSimFaults& faults = rig.Card().Faults();
    IBaseFilter* tuner = rig.TunerFilter();
    ComPtr<IUnknown> any;
    faults.Refuse(CSimFaults::Interface::FilterPropertySet);
    EXPECT_EQ(tuner->QueryInterface(IID_IKsPropertySet, any.ReleaseAndGetVoidAddress()),
              E_NOINTERFACE);
    EXPECT_TRUE(PinHandle(tuner));
    faults.Refuse(CSimFaults::Interface::PinPropertySet);
    EXPECT_FALSE(PinHandle(tuner));
    faults.Refuse(CSimFaults::Interface::SignalStatistics);
    EXPECT_EQ(rig.ReadStatistics().hr, E_NOINTERFACE);
    faults.Refuse(CSimFaults::Interface::Topology);
    EXPECT_EQ(tuner->QueryInterface(IBDA_Topology::kIid, any.ReleaseAndGetVoidAddress()),
              E_NOINTERFACE);
    EXPECT_EQ(rig.Tune(SimTune{}), E_NOINTERFACE);
    faults.Clear();
    faults.Refuse(CSimFaults::Interface::DeviceControl);
    EXPECT_EQ(rig.Tune(SimTune{}), E_NOINTERFACE);
    faults.Clear();

    faults.FailStatistics(E_FAIL);
    EXPECT_EQ(rig.ReadStatistics().hr, E_FAIL);
    faults.Clear();
    EXPECT_EQ(rig.ReadStatistics().hr, S_OK);

    faults.FailCommit(MakeHresult(0x80070015));
    EXPECT_EQ(rig.Tune(SimTune{}), MakeHresult(0x80070015));
    EXPECT_EQ(rig.Environment().TraceText().find(" tune "), std::string::npos);
    faults.Clear();
    EXPECT_EQ(rig.Tune(SimTune{}), S_OK);
    EXPECT_NE(rig.Environment().TraceText().find(" tune "), std::string::npos);
}

TEST(SimProperties, UsbTunerRecordCarriesTheMessageFromOffset21WithoutALength) {
    CSimTestRig rig(1);
    using Tuner = TunerControlRecord;
    std::vector<std::uint8_t> record(Tuner::kSize, 0);
    const std::pair<std::size_t, std::uint32_t> values[] = {{Tuner::kFrequencyOffset, 11362},
                                                            {Tuner::kLnbLowOffset, 9750},
                                                            {Tuner::kLnbHighOffset, 10600},
                                                            {Tuner::kSymbolRateOffset, 22000}};
    for (const auto& [offset, value] : values) {
        for (std::size_t b = 0; b < 4; ++b)
            record[offset + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    record[Tuner::kPolarityOffset] = 0;
    record[Tuner::kConstantsOffset] = 1, record[Tuner::kConstantsOffset + 1] = 0,
    record[Tuner::kConstantsOffset + 2] = 2;
    record[Tuner::kDiseqcPortOffset] = 1;
    const std::uint8_t gotoAngle[] = {0xE1, 0x31, 0x6E, 0xE0, 0xA2};
    std::copy(std::begin(gotoAngle), std::end(gotoAngle), record.begin() + Tuner::kMessageOffset);
    ASSERT_EQ(rig.Driver()->Set(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, nullptr, 0, record.data(),
                                Tuner::kSize),
              S_OK);
    rig.Clock().AdvanceMs(2000);
    EXPECT_DOUBLE_EQ(rig.Card().MotorAngle(), 3.0);
    // A halt written over it leaves E0 A2 at 24 and 25: the command byte says three bytes.
    const std::uint8_t halt[] = {0xE0, 0x31, 0x60};
    std::copy(std::begin(halt), std::end(halt), record.begin() + Tuner::kMessageOffset);
    ASSERT_EQ(rig.Driver()->Set(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, nullptr, 0, record.data(),
                                Tuner::kSize),
              S_OK);
    rig.Clock().AdvanceMs(2000);
    EXPECT_DOUBLE_EQ(rig.Card().MotorAngle(), 3.0);
    // The committed switch: four bytes.
    const std::uint8_t portD[] = {0xE0, 0x10, 0x38, 0xFE};
    std::copy(std::begin(portD), std::end(portD), record.begin() + Tuner::kMessageOffset);
    ASSERT_EQ(rig.Driver()->Set(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, nullptr, 0, record.data(),
                                Tuner::kSize),
              S_OK);
    EXPECT_EQ(rig.Card().Port(), 3);
    const std::string trace = rig.Environment().TraceText();
    EXPECT_NE(trace.find("Glen tuner control 11362 MHz, LNB 9750/10600 MHz, 22000 kSps, "
                         "horizontal, port A, 01 00 02"),
              std::string::npos);
    EXPECT_NE(trace.find("Glen diseqc E0 31 60: motor halt"), std::string::npos);
    EXPECT_NE(trace.find("Glen diseqc E0 10 38 FE: committed switch port D, horizontal, low band"),
              std::string::npos);
}

TEST(SimProperties, TraceHasOneLinePerExchangeInTheStatedFormat) {
    CSimTestRig rig(0);
    const SimTune tune{11362, 'H', 22000};
    ASSERT_EQ(rig.SendCommittedSwitch('B', tune), S_OK);
    ASSERT_EQ(rig.Tune(tune), S_OK);
    rig.Clock().AdvanceMs(500);
    DWORD support = 0;
    rig.Driver()->QuerySupported(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_PRESENT, &support);
    const auto lines = rig.Environment().TraceLines();
    ASSERT_EQ(lines.size(), 5u);
    const std::regex stamp(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \d+\.\d{3} Arden (.*)$)");
    std::vector<std::string> events;
    for (const std::string& line : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, stamp)) << line;
        events.push_back(match[1]);
    }
    EXPECT_EQ(events[0], "diseqc E0 10 38 F6: committed switch port B, horizontal, low band");
    std::string record = "01";
    const std::map<std::size_t, const char*> set = {
        {DiseqcMessageRecord::kMessageOffset, " E0"},
        {DiseqcMessageRecord::kMessageOffset + 1, " 10"},
        {DiseqcMessageRecord::kMessageOffset + 2, " 38"},
        {DiseqcMessageRecord::kMessageOffset + 3, " F6"},
        {DiseqcMessageRecord::kLengthOffset, " 04"}};
    for (std::size_t i = 1; i < DiseqcMessageRecord::kSize; ++i)
        record += set.contains(i) ? set.at(i) : " 00";
    EXPECT_EQ(events[1], "set KSPROPERTY_BDA_DISEQC " + record + " -> 0x00000000");
    EXPECT_EQ(events[2],
              "tune 11362000 kHz, LNB 9750000/10600000 kHz, switch 11700000 kHz, horizontal, 22000 "
              "kSps: IF 1612000 kHz, "
              "low band (22 kHz off), 18 V, port B (dish at 19.2 E), RF 11362000 kHz");
    EXPECT_EQ(events[3],
              "lock 11362 H 22000 DVB-S2 8PSK 2/3 at 19.2 E Astra, C/N 14.0 dB, margin 7.4 dB");
    EXPECT_EQ(events[4], "query KSPROPERTY_CTRL_PRESENT -> 0x80070492");
    // The lock line carries the simulated time of the lock, 300 ms after the tune.
    EXPECT_NE(lines[3].find(" 0.300 Arden lock"), std::string::npos);
}

}  // namespace
