// The vendor properties of a Linux DVB tuner, as the system's driver operations use them.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/linux_dvb_test_rig.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"

namespace linuxdvb::testing {
namespace {

// Case names by the property's name without its common prefix ("DISEQC", "GET_MEDIAINFO").
std::string PropertyName(DWORD id) {
    constexpr std::string_view kPrefix = "KSPROPERTY_BDA_";
    const std::string_view name = VendorPropertyName(KSPROPSETID_BdaExt, id);
    if (!name.starts_with(kPrefix)) return "Id" + std::to_string(id);
    return std::string(name.substr(kPrefix.size()));
}

struct SupportCase {
    DWORD id;
    HRESULT hr;
    DWORD support;
};

class PinSupport : public ::testing::TestWithParam<SupportCase> {};

TEST_P(PinSupport, AnswersTheSystemsSupportQuery) {
    CLinuxDvbTestRig rig;
    DWORD support = 0xFFFF;
    EXPECT_EQ(rig.PinDriver()->QuerySupported(KSPROPSETID_BdaExt, GetParam().id, &support),
              GetParam().hr);
    EXPECT_EQ(support, GetParam().support);
}

INSTANTIATE_TEST_SUITE_P(
    Properties, PinSupport,
    ::testing::Values(
        SupportCase{KSPROPERTY_BDA_GET_MEDIAINFO, S_OK, KSPROPERTY_SUPPORT_GET},
        SupportCase{KSPROPERTY_BDA_STREAMTYPE_PARAMS, S_OK,
                    KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET},
        SupportCase{KSPROPERTY_BDA_INPUTMULTISTREAMID, S_OK, KSPROPERTY_SUPPORT_SET},
        SupportCase{KSPROPERTY_BDA_DISEQC, S_OK, KSPROPERTY_SUPPORT_SET},
        SupportCase{KSPROPERTY_BDA_GOLDCODE, S_OK, KSPROPERTY_SUPPORT_SET},
        // No MODCOD filter in the kernel: the system reports "444don't support this interface".
        SupportCase{KSPROPERTY_BDA_MODCODES, E_PROP_ID_UNSUPPORTED, 0},
        SupportCase{99, E_PROP_ID_UNSUPPORTED, 0}),
    [](const ::testing::TestParamInfo<SupportCase>& item) { return PropertyName(item.param.id); });

TEST(FilterSurface, AnswersThePropertySetButSupportsNothing) {
    CLinuxDvbTestRig rig;
    DWORD support = 0;
    // The system's USB probe must fail, so that it takes the "Input0" pin (PCI-E carrier).
    EXPECT_EQ(
        rig.FilterDriver()->QuerySupported(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_PRESENT, &support),
        E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(
        rig.FilterDriver()->QuerySupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, &support),
        E_PROP_SET_UNSUPPORTED);
    std::vector<std::uint8_t> record(TunerControlRecord::kSize, 0);
    EXPECT_EQ(rig.FilterDriver()->Set(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, nullptr, 0,
                                      record.data(), TunerControlRecord::kSize),
              E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(rig.PinDriver()->QuerySupported(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_PRESENT, &support),
              E_PROP_SET_UNSUPPORTED);
    // A DiSEqC bus carries no reply from a motor: the card cannot say whether one heard.
    EXPECT_EQ(rig.FilterDriver()->QuerySupported(KSPROPSETID_MotorReach, KSPROPERTY_MOTOR_REACHED,
                                                 &support),
              E_PROP_SET_UNSUPPORTED);
}

struct SizeCase {
    DWORD id;
    bool get;
    std::size_t size;
};

class WrongSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(WrongSizes, AreRefusedAndNothingHappens) {
    CLinuxDvbTestRig rig;
    for (const std::size_t size : {GetParam().size - 1, GetParam().size + 1, std::size_t{0}}) {
        std::vector<std::uint8_t> record(size + 1, 0);
        record[0] = 1;
        const auto length = static_cast<DWORD>(size);
        DWORD returned = 7;
        const HRESULT hr =
            GetParam().get ? rig.PinDriver()->Get(KSPROPSETID_BdaExt, GetParam().id, record.data(),
                                                  length, record.data(), length, &returned)
                           : rig.PinDriver()->Set(KSPROPSETID_BdaExt, GetParam().id, record.data(),
                                                  length, record.data(), length);
        EXPECT_EQ(hr, E_INVALIDARG) << size;
    }
    EXPECT_EQ(rig.Kernel().Calls(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Records, WrongSizes,
    ::testing::Values(SizeCase{KSPROPERTY_BDA_GET_MEDIAINFO, true, MediaInfoRecord::kSize},
                      SizeCase{KSPROPERTY_BDA_STREAMTYPE_PARAMS, true, StreamTypeRecord::kSize},
                      SizeCase{KSPROPERTY_BDA_STREAMTYPE_PARAMS, false, StreamTypeRecord::kSize},
                      SizeCase{KSPROPERTY_BDA_INPUTMULTISTREAMID, false, MediaInfoRecord::kSize},
                      SizeCase{KSPROPERTY_BDA_DISEQC, false, DiseqcMessageRecord::kSize},
                      SizeCase{KSPROPERTY_BDA_GOLDCODE, false, CodeRecord::kSize}),
    [](const ::testing::TestParamInfo<SizeCase>& item) {
        return PropertyName(item.param.id) + (item.param.get ? "_Get" : "_Set");
    });

TEST(StreamType, TransportStreamOnly) {
    CLinuxDvbTestRig rig;
    std::vector<std::uint8_t> current = {0, 0};
    ASSERT_EQ(rig.GetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, current), S_OK);
    EXPECT_EQ(current, (std::vector<std::uint8_t>{1, 0}));
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, {1, 0}), S_OK);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, {0, 1}),
              HRESULT_ERROR_NOT_SUPPORTED);
    EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, {1, 1}),
              E_INVALIDARG);
    EXPECT_EQ(rig.Kernel().Calls(), std::vector<std::string>{});
}

// The report holds what the driver reads back from its demodulator after lock, and nothing that
// is only the request echoed by the kernel's cache.
struct ReportCase {
    const char* name;
    const char* frontendName;
    std::uint32_t status;
    std::vector<std::int32_t> fields;  // standard, MODCOD, modulation, roll-off, pilots, spectrum
};

class CarrierReportFromTheDriver : public ::testing::TestWithParam<ReportCase> {};

TEST_P(CarrierReportFromTheDriver, ShowsOnlyWhatTheDemodulatorTold) {
    const ReportCase& c = GetParam();
    CLinuxDvbTestRig rig(FrontendWith({SYS_DVBS, SYS_DVBS2}, c.frontendName));
    rig.Kernel().state->status = c.status;
    ASSERT_EQ(rig.TuneTo(Tune{}), S_OK);
    {
        // As a driver's get_frontend fills the cache after lock (or the request stays there).
        std::lock_guard guard(rig.Kernel().state->lock);
        auto& properties = rig.Kernel().state->properties;
        properties[DTV_MODULATION] = PSK_8;
        properties[DTV_INNER_FEC] = FEC_3_4;
        properties[DTV_ROLLOFF] = ROLLOFF_25;
        properties[DTV_PILOT] = PILOT_ON;
        properties[DTV_INVERSION] = INVERSION_OFF;
    }
    std::vector<std::uint8_t> record(MediaInfoRecord::kSize, 0xEE);
    ASSERT_EQ(rig.GetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO, record), S_OK);
    const MediaInfoRecord report =
        MediaInfoRecord::Decode(std::span<const std::uint8_t, MediaInfoRecord::kSize>(
            record.data(), MediaInfoRecord::kSize));
    EXPECT_EQ(report.ifFrequency, 1612000);
    EXPECT_EQ(report.symbolRate, 27500000);
    EXPECT_EQ(report.streamType, 3);
    EXPECT_EQ((std::vector<std::int32_t>{report.standard, report.modCode, report.modulation,
                                         report.rollOff, report.pilots, report.spectrum}),
              c.fields);
    // The baseband header is never known on Linux, nor is the received ISI.
    EXPECT_EQ(
        (std::vector<std::int32_t>{report.inputStream, report.inputStreamId,
                                   report.codingModulation, report.matype1, report.frameLength}),
        (std::vector<std::int32_t>{-1, -1, -1, -1, -1}));
}

INSTANTIATE_TEST_SUITE_P(
    Drivers, CarrierReportFromTheDriver,
    ::testing::Values(
        // Reads back delivery system, modulation, FEC, pilots and inversion; not the roll-off.
        ReportCase{"ReadsBackMost", "NXP TDA10071", 0x1F, {1, 14, 1, -1, 1, 0}},
        ReportCase{"UnlockedTellsNothing", "NXP TDA10071", 0x03, {-1, 29, -1, -1, -1, -1}},
        // Reads back nothing and searches DVB-S in DVB-S2 mode: even the standard is unknown.
        ReportCase{
            "ReadsBackNothing", "Dummy demod for DVB-T/T2/C/S/S2", 0x1F, {-1, 29, -1, -1, -1, -1}}),
    [](const ::testing::TestParamInfo<ReportCase>& item) { return item.param.name; });

TEST(CarrierReport, FrontendFailureIsAFailedRead) {
    CLinuxDvbTestRig rig;
    rig.Kernel().SetError("GetProperties", EIO);
    std::vector<std::uint8_t> record(MediaInfoRecord::kSize, 0);
    EXPECT_EQ(rig.GetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO, record), E_FAIL);
}

// Where the driver reads each field (platform/ks/vendor_records.h).
constexpr std::size_t kDiseqcCommand = DiseqcMessageRecord::kCommandOffset;
constexpr std::size_t kDiseqcMessage = DiseqcMessageRecord::kMessageOffset;
constexpr std::size_t kDiseqcLength = DiseqcMessageRecord::kLengthOffset;
constexpr std::size_t kIsi = MediaInfoRecord::kInputStreamIdOffset;
constexpr std::size_t kCodeValue = CodeRecord::kValueOffset;
constexpr std::size_t kCodeType = CodeRecord::kTypeOffset;

struct RecordCase {
    const char* name;
    DWORD id;
    std::size_t size;
    std::vector<std::pair<std::size_t, std::uint8_t>> bytes;  // offset, value
    HRESULT hr;
};

class RecordValues : public ::testing::TestWithParam<RecordCase> {};

TEST_P(RecordValues, AreCheckedBeforeAnythingHappens) {
    CLinuxDvbTestRig rig;
    std::vector<std::uint8_t> record(GetParam().size, 0);
    for (const auto& [offset, value] : GetParam().bytes) record[offset] = value;
    // DiSEqC goes without instance data, as the system sends it.
    const HRESULT hr = GetParam().id == KSPROPERTY_BDA_DISEQC
                           ? rig.PinDriver()->Set(KSPROPSETID_BdaExt, GetParam().id, nullptr, 0,
                                                  record.data(), static_cast<DWORD>(record.size()))
                           : rig.SetRecord(KSPROPSETID_BdaExt, GetParam().id, record);
    EXPECT_EQ(hr, GetParam().hr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordValues,
    ::testing::Values(
        RecordCase{"DiseqcThreeBytes",
                   KSPROPERTY_BDA_DISEQC,
                   DiseqcMessageRecord::kSize,
                   {{kDiseqcCommand, 1},
                    {kDiseqcMessage, 0xE0},
                    {kDiseqcMessage + 1, 0x31},
                    {kDiseqcMessage + 2, 0x60},
                    {kDiseqcLength, 3}},
                   S_OK},
        RecordCase{"DiseqcSixBytes",
                   KSPROPERTY_BDA_DISEQC,
                   DiseqcMessageRecord::kSize,
                   {{kDiseqcCommand, 1},
                    {kDiseqcMessage, 0xE0},
                    {kDiseqcMessage + 1, 0x31},
                    {kDiseqcMessage + 2, 0x6E},
                    {kDiseqcLength, 6}},
                   S_OK},
        RecordCase{"DiseqcSevenBytes",
                   KSPROPERTY_BDA_DISEQC,
                   DiseqcMessageRecord::kSize,
                   {{kDiseqcCommand, 1}, {kDiseqcMessage, 0xE0}, {kDiseqcLength, 7}},
                   E_INVALIDARG},
        RecordCase{"DiseqcTwoBytes",
                   KSPROPERTY_BDA_DISEQC,
                   DiseqcMessageRecord::kSize,
                   {{kDiseqcCommand, 1}, {kDiseqcMessage, 0xE0}, {kDiseqcLength, 2}},
                   E_INVALIDARG},
        RecordCase{"DiseqcNotSendCommand",
                   KSPROPERTY_BDA_DISEQC,
                   DiseqcMessageRecord::kSize,
                   {{kDiseqcCommand, 2}, {kDiseqcMessage, 0xE0}, {kDiseqcLength, 4}},
                   E_INVALIDARG},
        RecordCase{"DiseqcLengthHighBytes",
                   KSPROPERTY_BDA_DISEQC,
                   DiseqcMessageRecord::kSize,
                   {{kDiseqcCommand, 1}, {kDiseqcLength, 4}, {kDiseqcLength + 2, 1}},
                   E_INVALIDARG},
        RecordCase{"IsiZero", KSPROPERTY_BDA_INPUTMULTISTREAMID, MediaInfoRecord::kSize, {}, S_OK},
        RecordCase{"Isi255",
                   KSPROPERTY_BDA_INPUTMULTISTREAMID,
                   MediaInfoRecord::kSize,
                   {{kIsi, 255}},
                   S_OK},
        RecordCase{"Isi256",
                   KSPROPERTY_BDA_INPUTMULTISTREAMID,
                   MediaInfoRecord::kSize,
                   {{kIsi + 1, 1}},
                   E_INVALIDARG},
        RecordCase{"IsiMinusTwo",
                   KSPROPERTY_BDA_INPUTMULTISTREAMID,
                   MediaInfoRecord::kSize,
                   {{kIsi, 0xFE}, {kIsi + 1, 0xFF}, {kIsi + 2, 0xFF}, {kIsi + 3, 0xFF}},
                   E_INVALIDARG},
        RecordCase{"RootOne", KSPROPERTY_BDA_GOLDCODE, CodeRecord::kSize, {{kCodeValue, 1}}, S_OK},
        RecordCase{"RootZero", KSPROPERTY_BDA_GOLDCODE, CodeRecord::kSize, {}, E_INVALIDARG},
        RecordCase{"RootBeyond18Bits",
                   KSPROPERTY_BDA_GOLDCODE,
                   CodeRecord::kSize,
                   {{kCodeValue + 2, 4}},
                   E_INVALIDARG},
        RecordCase{"GoldZero", KSPROPERTY_BDA_GOLDCODE, CodeRecord::kSize, {{kCodeType, 1}}, S_OK},
        RecordCase{
            "GoldLargest",
            KSPROPERTY_BDA_GOLDCODE,
            CodeRecord::kSize,
            {{kCodeValue, 0xFD}, {kCodeValue + 1, 0xFF}, {kCodeValue + 2, 3}, {kCodeType, 1}},
            S_OK},
        RecordCase{
            "GoldBeyond",
            KSPROPERTY_BDA_GOLDCODE,
            CodeRecord::kSize,
            {{kCodeValue, 0xFE}, {kCodeValue + 1, 0xFF}, {kCodeValue + 2, 3}, {kCodeType, 1}},
            E_INVALIDARG},
        RecordCase{"CodeTypeTwo",
                   KSPROPERTY_BDA_GOLDCODE,
                   CodeRecord::kSize,
                   {{kCodeValue, 1}, {kCodeType, 2}},
                   E_INVALIDARG},
        RecordCase{"MediaInfoIsNotSettable",
                   KSPROPERTY_BDA_GET_MEDIAINFO,
                   MediaInfoRecord::kSize,
                   {},
                   E_PROP_ID_UNSUPPORTED},
        RecordCase{"ModCodesNotSupported",
                   KSPROPERTY_BDA_MODCODES,
                   ModCodeFilterRecord::kSize,
                   {},
                   E_PROP_ID_UNSUPPORTED}),
    [](const ::testing::TestParamInfo<RecordCase>& item) { return item.param.name; });

}  // namespace
}  // namespace linuxdvb::testing
