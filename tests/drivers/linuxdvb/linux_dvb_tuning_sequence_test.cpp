// What reaches the kernel, in order, when the system tunes a Linux DVB tuner through the
// network provider: SEC (tone off, voltage, power-up or quiet, the waiting switch message, quiet,
// tone), then the carrier, stream id and scrambling index, and the tune.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/linux_dvb_test_rig.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"

namespace linuxdvb::testing {
namespace {

using Calls = std::vector<std::string>;

const std::string kDefaultStream = "set DTV_STREAM_ID=4294967295 DTV_SCRAMBLING_SEQUENCE_INDEX=0";

struct SequenceCase {
    const char* name;
    Tune tune;
    int port;   // 0: no message, 1..4: A..D
    Calls sec;  // the calls before DTV_CLEAR
    std::uint32_t intermediateKHz;
};

class TuningSequence : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(TuningSequence, SecBeforeCarrierInKernelOrder) {
    CLinuxDvbTestRig rig;
    const SequenceCase& c = GetParam();
    if (c.port > 0) {
        ASSERT_EQ(rig.SendDiseqc(CLinuxDvbTestRig::CommittedSwitch(c.port, c.tune)), S_OK);
        EXPECT_EQ(rig.Kernel().Calls(), Calls{}) << "the switch message waits for the tune";
    }
    ASSERT_EQ(rig.TuneTo(c.tune), S_OK);
    Calls expected = {"open frontend"};
    expected.insert(expected.end(), c.sec.begin(), c.sec.end());
    expected.push_back("set DTV_CLEAR");
    // vidtv's rules: one DVB-S2 attempt with everything on "auto", QPSK as after DTV_CLEAR.
    expected.push_back(
        "set DTV_DELIVERY_SYSTEM=6 DTV_FREQUENCY=" + std::to_string(c.intermediateKHz) +
        " DTV_SYMBOL_RATE=27500000 DTV_MODULATION=0 DTV_INNER_FEC=9 "
        "DTV_INVERSION=2 DTV_PILOT=2 DTV_ROLLOFF=3");
    expected.push_back(kDefaultStream);
    expected.push_back("set DTV_TUNE");
    EXPECT_EQ(rig.Kernel().Calls(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    BandsPolarisationsPorts, TuningSequence,
    ::testing::Values(
        SequenceCase{"NoPortLowHorizontal",
                     {11362, 'H'},
                     0,
                     {"tone off", "voltage 18", "tone off"},
                     1612000},
        SequenceCase{
            "NoPortHighVertical", {12188, 'V'}, 0, {"tone off", "voltage 13", "tone on"}, 1588000},
        SequenceCase{
            "PortALowHorizontal",
            {11362, 'H'},
            1,
            {"tone off", "voltage 18", "pause 150", "diseqc E0 10 38 F2", "pause 15", "tone off"},
            1612000},
        SequenceCase{
            "PortBHighHorizontal",
            {12188, 'H'},
            2,
            {"tone off", "voltage 18", "pause 150", "diseqc E0 10 38 F7", "pause 15", "tone on"},
            1588000},
        SequenceCase{
            "PortCLowVertical",
            {11362, 'V'},
            3,
            {"tone off", "voltage 13", "pause 150", "diseqc E0 10 38 F8", "pause 15", "tone off"},
            1612000},
        SequenceCase{
            "PortDHighVertical",
            {12188, 'V'},
            4,
            {"tone off", "voltage 13", "pause 150", "diseqc E0 10 38 FD", "pause 15", "tone on"},
            1588000},
        // The switch frequency itself is the low band; one MHz above is high.
        SequenceCase{
            "AtSwitchLowBand",
            {11700, 'H'},
            1,
            {"tone off", "voltage 18", "pause 150", "diseqc E0 10 38 F2", "pause 15", "tone off"},
            1950000},
        SequenceCase{
            "AboveSwitchHighBand",
            {11701, 'H'},
            1,
            {"tone off", "voltage 18", "pause 150", "diseqc E0 10 38 F3", "pause 15", "tone on"},
            1101000}),
    [](const ::testing::TestParamInfo<SequenceCase>& item) { return item.param.name; });

TEST(TuningSequenceRepeat, SwitchMessageGoesWithItsOwnTuneOnly) {
    CLinuxDvbTestRig rig;
    const Tune tune{11362, 'H'};
    ASSERT_EQ(rig.SendDiseqc(CLinuxDvbTestRig::CommittedSwitch(2, tune)), S_OK);
    ASSERT_EQ(rig.TuneTo(tune), S_OK);
    rig.Kernel().ClearCalls();
    // The LNB is powered now: 15 ms of quiet after the voltage change, no power-up time.
    ASSERT_EQ(rig.SendDiseqc(CLinuxDvbTestRig::CommittedSwitch(2, Tune{12188, 'V'})), S_OK);
    ASSERT_EQ(rig.TuneTo(Tune{12188, 'V'}), S_OK);
    Calls calls = rig.Kernel().Calls();
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ(
        Calls(calls.begin(), calls.begin() + 6),
        (Calls{"tone off", "voltage 13", "pause 15", "diseqc E0 10 38 F5", "pause 15", "tone on"}));
    // "Diseqc NULL": the system sends no message, and the card repeats none.
    rig.Kernel().ClearCalls();
    ASSERT_EQ(rig.TuneTo(Tune{12188, 'V'}), S_OK);
    calls = rig.Kernel().Calls();
    EXPECT_EQ(Calls(calls.begin(), calls.begin() + 3),
              (Calls{"tone off", "voltage 13", "tone on"}));
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                            [](const std::string& call) { return call.rfind("diseqc", 0) == 0; }),
              0);
}

TEST(TuningSequenceRepeat, PositionerCommandGoesOutAtOnceUnderTheBusRules) {
    CLinuxDvbTestRig rig;
    ASSERT_EQ(rig.SendDiseqc({0xE0, 0x31, 0x6B, 0x01}), S_OK);
    // Nothing tuned yet: the motor gets 13 V and the power-up time first.
    EXPECT_EQ(rig.Kernel().Calls(),
              (Calls{"open frontend", "tone off", "voltage 13", "pause 150", "diseqc E0 31 6B 01",
                     "pause 15", "voltage 13", "tone off"}));
    ASSERT_EQ(rig.TuneTo(Tune{}), S_OK);
    const Calls calls = rig.Kernel().Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "diseqc E0 31 6B 01"), 1)
        << "not replayed at the tune";
}

TEST(TuningSequenceFallback, FrontendWithoutDvbS2TunesDvbS) {
    CLinuxDvbTestRig rig(FrontendWith({SYS_DVBS}, "DVB-S only demod"));
    ASSERT_EQ(rig.TuneTo(Tune{11362, 'V', 22000}), S_OK);
    EXPECT_EQ(rig.Kernel().Calls(),
              (Calls{"open frontend", "tone off", "voltage 13", "tone off", "set DTV_CLEAR",
                     "set DTV_DELIVERY_SYSTEM=5 DTV_FREQUENCY=1612000 DTV_SYMBOL_RATE=22000000 "
                     "DTV_MODULATION=0 DTV_INNER_FEC=9 DTV_INVERSION=2 DTV_PILOT=1 DTV_ROLLOFF=0",
                     "set DTV_TUNE"}));
}

TEST(TuningStreamSelection, IsiAndPlsApplyAtTheNextTune) {
    CLinuxDvbTestRig rig;
    constexpr std::size_t kIsi = MediaInfoRecord::kInputStreamIdOffset;
    std::vector<std::uint8_t> isi(MediaInfoRecord::kSize, 0);
    isi[kIsi] = 5;
    ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, isi), S_OK);
    std::vector<std::uint8_t> root(CodeRecord::kSize, 0);
    root[CodeRecord::kValueOffset] = 16416 & 0xFF;  // root code 16416 = gold code 131070
    root[CodeRecord::kValueOffset + 1] = 16416 >> 8;
    ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE, root), S_OK);
    EXPECT_EQ(rig.Kernel().Calls(), Calls{}) << "nothing reaches the kernel before the tune";
    ASSERT_EQ(rig.TuneTo(Tune{}), S_OK);
    Calls calls = rig.Kernel().Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "set DTV_STREAM_ID=5 DTV_SCRAMBLING_SEQUENCE_INDEX=131070");
    EXPECT_EQ(calls.back(), "set DTV_TUNE");

    // A gold code passes through; "no selection" (-1) clears the stream id filter.
    std::vector<std::uint8_t> gold(CodeRecord::kSize, 0);
    gold[CodeRecord::kValueOffset] = 0x39;  // 12345
    gold[CodeRecord::kValueOffset + 1] = 0x30;
    gold[CodeRecord::kTypeOffset] = 1;
    ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE, gold), S_OK);
    std::fill(isi.begin() + kIsi, isi.begin() + kIsi + 4, 0xFF);
    ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, isi), S_OK);
    rig.Kernel().ClearCalls();
    ASSERT_EQ(rig.TuneTo(Tune{}), S_OK);
    calls = rig.Kernel().Calls();
    EXPECT_EQ(calls[calls.size() - 2],
              "set DTV_STREAM_ID=4294967295 DTV_SCRAMBLING_SEQUENCE_INDEX=12345");
}

TEST(TuningStreamSelection, KernelWithoutStreamPropertiesTunesTheDefaultStreamOnly) {
    CLinuxDvbTestRig rig;
    rig.Kernel().SetError("Set:DTV_STREAM_ID", EINVAL);
    EXPECT_EQ(rig.TuneTo(Tune{}), S_OK) << "defaults: refusal ignored";
    EXPECT_EQ(rig.Kernel().Calls().back(), "set DTV_TUNE");
    std::vector<std::uint8_t> isi(72, 0);
    isi[48] = 3;
    ASSERT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, isi), S_OK);
    rig.Kernel().ClearCalls();
    EXPECT_EQ(rig.TuneTo(Tune{}), E_INVALIDARG)
        << "a selected stream that cannot be set fails the tune";
    EXPECT_NE(rig.Kernel().Calls().back(), "set DTV_TUNE");
}

TEST(TuningFailures, SecNotSupportedStillTunes) {
    for (const int error : {kErrnoNotSupportedKernel, EOPNOTSUPP, ENOTTY}) {
        CLinuxDvbTestRig rig;
        rig.Kernel().SetError("SetTone", error);
        rig.Kernel().SetError("SetVoltage", error);
        EXPECT_EQ(rig.TuneTo(Tune{}), S_OK) << error;
        EXPECT_EQ(rig.Kernel().Calls().back(), "set DTV_TUNE") << error;
    }
}

TEST(TuningFailures, KernelRefusalsReachTheSystem) {
    CLinuxDvbTestRig rig;
    rig.Kernel().SetError("Set:DTV_DELIVERY_SYSTEM", EINVAL);  // e.g. the RF instead of the IF
    EXPECT_EQ(rig.TuneTo(Tune{}), E_INVALIDARG);
    rig.Kernel().SetError("Set:DTV_DELIVERY_SYSTEM", 0);
    rig.Kernel().SetError("SendDiseqc", kErrnoNotSupportedKernel);
    ASSERT_EQ(rig.SendDiseqc(CLinuxDvbTestRig::CommittedSwitch(1, Tune{})), S_OK);
    EXPECT_EQ(rig.TuneTo(Tune{}), HRESULT_ERROR_NOT_SUPPORTED)
        << "a switch that cannot be set fails the tune";
    EXPECT_EQ(rig.SendDiseqc({0xE0, 0x31, 0x60}), HRESULT_ERROR_NOT_SUPPORTED) << "positioner halt";
    rig.Kernel().SetError("SendDiseqc", EOPNOTSUPP);
    EXPECT_EQ(rig.SendDiseqc({0xE0, 0x31, 0x60}), HRESULT_ERROR_NOT_SUPPORTED);
    rig.Kernel().SetError("SendDiseqc", ENOTTY);
    EXPECT_EQ(rig.SendDiseqc({0xE0, 0x31, 0x60}), HRESULT_ERROR_NOT_SUPPORTED);
    rig.Kernel().SetError("SendDiseqc", 0);
    EXPECT_EQ(rig.TuneTo(Tune{0, 'H'}), E_INVALIDARG) << "frequency 0 never reaches the kernel";
}

TEST(TuningFailures, BusyFrontendIsReportedAndRetriedNextTime) {
    CLinuxDvbTestRig rig;
    rig.Kernel().SetError("OpenFrontend", EBUSY);
    EXPECT_EQ(rig.TuneTo(Tune{}), kDeviceBusy);
    rig.Kernel().SetError("OpenFrontend", 0);
    EXPECT_EQ(rig.TuneTo(Tune{}), S_OK);
}

TEST(TuningFailures, RemovedCardFailsEverythingGracefully) {
    CLinuxDvbTestRig rig;
    ASSERT_EQ(rig.TuneTo(Tune{}), S_OK);
    rig.Kernel().SetError("ReadStatus", ENODEV);
    LONG strength = 0;
    LONG quality = 0;
    BOOLEAN locked = 0;
    EXPECT_EQ(rig.ReadSignal(strength, quality, locked), kDeviceRemoved);
    rig.Kernel().SetError("ReadStatus", 0);
    EXPECT_TRUE(rig.Card().IsRemoved());
    EXPECT_EQ(rig.ReadSignal(strength, quality, locked), kDeviceRemoved) << "stays removed";
    EXPECT_EQ(rig.TuneTo(Tune{}), kDeviceRemoved);
    EXPECT_EQ(rig.SendDiseqc({0xE0, 0x31, 0x60}), kDeviceRemoved);
    std::vector<std::uint8_t> report(72, 0);
    EXPECT_EQ(rig.GetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO, report),
              kDeviceRemoved);
    DWORD support = 0;
    EXPECT_EQ(rig.PinDriver()->QuerySupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, &support),
              kDeviceRemoved);
    EXPECT_EQ(rig.Kernel().state->openFrontends, 0) << "the gone frontend is closed";
    EXPECT_EQ(rig.Control()->Run(), kDeviceRemoved) << "no stream from a removed card";
}

}  // namespace
}  // namespace linuxdvb::testing
