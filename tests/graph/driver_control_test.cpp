#include "graph/driver_control.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "graph/bda_graph.h"
#include "graph/driver_test_environment.h"
#include "graph/tuner_session.h"
#include "platform/ks/vendor_property_sets.h"
#include "support/debug_output_capture.h"
#include "support/driver_report_print.h"

namespace {

using Kind = CFakeKsPropertySet::Kind;

// A box captioned "error" with no owner.
DriverReport Error(const char* text) {
    return {DriverReport::Form::Error, text};
}
// A box of the program's own (captioned with its name).
DriverReport Notice(const char* text) {
    return {DriverReport::Form::Notice, text};
}

TEST(AcquireDriverControlTest, UsbCarrierKeepsTheFilterHandle) {
    CDriverTestEnvironment env(Carrier::Usb);
    EXPECT_EQ(env.Session().m_BDAGraph.m_pKsCtrl.Get(),
              static_cast<IKsPropertySet*>(&env.Driver()));
    EXPECT_TRUE(IsUsbCarrier(env.Session()));
    EXPECT_EQ(env.AcquireReports(), DriverReports{});
}

TEST(AcquireDriverControlTest, PciECarrierTakesTheLastInput0Pin) {
    CDriverTestEnvironment env(Carrier::PciE, false);
    ComPtr<CFakeFilter> tuner(
        new CFakeFilter({{L"Input0", PINDIR_INPUT, AntennaType()},
                         {L"Output", PINDIR_OUTPUT, CardTransportType(0)},
                         {L"Second Input0 pin", PINDIR_INPUT, CardTransportType(3)}}));
    ComPtr<CFakeKsPropertySet> filterSet(new CFakeKsPropertySet), first = MakeDriver(Carrier::PciE),
                                                                  last = MakeDriver(Carrier::PciE);
    tuner->SetFilterPropertySet(filterSet.Get());
    tuner->SetPinPropertySet(0, first.Get());
    tuner->SetPinPropertySet(2, last.Get());
    env.PlantTuner(tuner.Get());
    DriverReports reports;
    EXPECT_EQ(AcquireDriverControl(env.Session(), reports), DriverControlResult::Acquired);
    EXPECT_EQ(reports, DriverReports{});
    EXPECT_EQ(env.Session().m_BDAGraph.m_pKsCtrl.Get(), static_cast<IKsPropertySet*>(last.Get()));
    EXPECT_FALSE(IsUsbCarrier(env.Session()));
    ASSERT_FALSE(filterSet->Calls().empty())
        << "the carrier is probed on the filter's handle first";
    EXPECT_EQ(filterSet->Calls()[0].set, KSPROPSETID_Ctrl);
    EXPECT_EQ(filterSet->Calls()[0].id, KSPROPERTY_CTRL_PRESENT);
}

TEST(AcquireDriverControlTest, RefusalsAreReportedAndAMissingPinOrTunerIsSilent) {
    CDriverTestEnvironment env(Carrier::PciE, false);
    CTunerSession& session = env.Session();
    ComPtr<CFakeFilter> bare(new CFakeFilter({{L"Input0", PINDIR_INPUT, AntennaType()}}));
    env.PlantTuner(bare.Get());
    DriverReports reports;
    EXPECT_EQ(AcquireDriverControl(session, reports), DriverControlResult::Failed);
    EXPECT_EQ(reports, DriverReports{Error("m_pTunerDevice USB QueryInterface Failed")});
    reports.clear();

    ComPtr<CFakeKsPropertySet> filterSet(new CFakeKsPropertySet);
    bare->SetFilterPropertySet(filterSet.Get());
    EXPECT_EQ(AcquireDriverControl(session, reports), DriverControlResult::Failed);
    EXPECT_EQ(reports, DriverReports{Error("m_pTunerDevice PCI/PCI-E QueryInterface Failed")});
    EXPECT_FALSE(session.HasDriverControl());
    reports.clear();

    ComPtr<CFakeFilter> noInput0(new CFakeFilter({{L"Antenna", PINDIR_INPUT, AntennaType()}}));
    noInput0->SetFilterPropertySet(filterSet.Get());
    env.PlantTuner(noInput0.Get());
    EXPECT_EQ(AcquireDriverControl(session, reports), DriverControlResult::NoHandle);
    env.PlantTuner(nullptr);
    EXPECT_EQ(AcquireDriverControl(session, reports), DriverControlResult::NoHandle);
    EXPECT_EQ(reports, DriverReports{});
    EXPECT_FALSE(session.HasDriverControl());
}

TEST(SendDiseqCommandTest, PciERecordCarriesTheMessageAtSixteenAndItsLengthAt144) {
    CDriverTestEnvironment env(Carrier::PciE);
    const std::uint8_t message[] = {0xE0, 0x10, 0x38, 0xF2};
    DriverReports reports;
    SendDiseqCommand(env.Session(), message, DiseqcForm::LockTp, reports);
    const auto sets = env.Driver().Sets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].set, KSPROPSETID_BdaExt);
    EXPECT_EQ(sets[0].id, KSPROPERTY_BDA_DISEQC);
    EXPECT_TRUE(sets[0].instance.empty());
    std::vector<std::uint8_t> expected(DiseqcMessageRecord::kSize, 0);
    expected[DiseqcMessageRecord::kCommandOffset] = 1;
    std::copy(std::begin(message), std::end(message),
              expected.begin() + DiseqcMessageRecord::kMessageOffset);
    expected[DiseqcMessageRecord::kLengthOffset] = 4;
    EXPECT_EQ(sets[0].data, expected);
    EXPECT_EQ(reports, DriverReports{});
}

TEST(SendDiseqCommandTest, UsbRecordKeepsTheTailOfALongerEarlierMessage) {
    CDriverTestEnvironment env(Carrier::Usb);
    env.Session().m_TunerControlRecord.SetFrequency(11778);
    const std::uint8_t five[] = {0xE1, 0x31, 0x6E, 0xE0, 0xA2};
    const std::uint8_t three[] = {0xE0, 0x31, 0x60};
    DriverReports reports;
    SendDiseqCommand(env.Session(), five, DiseqcForm::Positioner, reports);
    SendDiseqCommand(env.Session(), three, DiseqcForm::Positioner, reports);
    const auto sets = env.Driver().Sets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[1].set, KSPROPSETID_Ctrl);
    EXPECT_EQ(sets[1].id, KSPROPERTY_CTRL_TUNER);
    ASSERT_EQ(sets[1].data.size(), TunerControlRecord::kSize);
    const auto message = sets[1].data.begin() + TunerControlRecord::kMessageOffset;
    EXPECT_EQ(std::vector<std::uint8_t>(message, message + 5),
              (std::vector<std::uint8_t>{0xE0, 0x31, 0x60, 0xE0, 0xA2}));
    EXPECT_EQ(sets[1].data[TunerControlRecord::kFrequencyOffset],
              0x02);  // 11778 = 0x2E02, little-endian
    EXPECT_EQ(sets[1].data[TunerControlRecord::kFrequencyOffset + 1], 0x2E);
}

TEST(SendDiseqCommandTest, OnlyExactSuccessCountsAndEachFormReportsItsOwnWay) {
    {
        CDriverTestEnvironment env(Carrier::PciE);
        CTunerSession& session = env.Session();
        env.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, S_FALSE);
        const std::uint8_t message[] = {0xE0, 0x10, 0x38, 0xF2};
        DriverReports reports;
        SendDiseqCommand(session, message, DiseqcForm::LockTp, reports);
        SendDiseqCommand(session, message, DiseqcForm::Positioner, reports);
        EXPECT_EQ(reports, (DriverReports{Notice("SendDiseqCommandArden QueryInterface Failed"),
                                          Notice("SendDiseqCommandArden QueryInterface Failed")}));
        reports.clear();
        env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC);
        CDebugOutputCapture debug;
        SendDiseqCommand(session, message, DiseqcForm::LockTp, reports);
        SendDiseqCommand(session, message, DiseqcForm::Positioner, reports);
        EXPECT_EQ(reports,
                  (DriverReports{Error("SendDiseqCommand11 QueryInterface Failed"),
                                 Notice("SendDiseqCommandArden QueryInterface Failed 00")}));
        EXPECT_EQ(debug.Lines(),
                  std::vector<std::string>(2, "@@@@@!!!!DiSEqC Interface Not Supported\n"));
    }
    {
        CDriverTestEnvironment env(Carrier::Usb);
        CTunerSession& session = env.Session();
        const std::uint8_t message[] = {0xE0, 0x31, 0x60};
        DriverReports reports;
        env.Driver().SetResult(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, S_FALSE);
        SendDiseqCommand(session, message, DiseqcForm::LockTp, reports);
        SendDiseqCommand(session, message, DiseqcForm::Positioner, reports);
        env.Driver().Unsupport(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER);
        SendDiseqCommand(session, message, DiseqcForm::LockTp, reports);
        SendDiseqCommand(session, message, DiseqcForm::Positioner, reports);
        EXPECT_EQ(reports, (DriverReports{Error("OnMotor11 false"), Error("OnMotor22 false")}));
    }
}

TEST(StreamTypeTest, GetIsCurrentAndSetOnEachCarrier) {
    CDriverTestEnvironment env(Carrier::PciE);
    CTunerSession& session = env.Session();
    DriverReports reports;
    env.Driver().Reply(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, {0, 1});
    StreamTypeRecord page;
    EXPECT_TRUE(GetStreamType(session, page, reports));
    EXPECT_EQ(page, kGenericStreamType);
    EXPECT_TRUE(IsStreamTypeCurrent(session, kGenericStreamType, reports));
    EXPECT_FALSE(IsStreamTypeCurrent(session, kTransportStreamType, reports));
    EXPECT_TRUE(SetStreamType(session, kTransportStreamType, reports));
    const auto sets = env.Driver().Sets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].id, KSPROPERTY_BDA_STREAMTYPE_PARAMS);
    EXPECT_EQ(sets[0].data, (std::vector<std::uint8_t>{1, 0}));
    EXPECT_EQ(sets[0].instance, (std::vector<std::uint8_t>{1, 0}));

    env.Driver().GetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, E_FAIL);
    env.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, E_FAIL);
    EXPECT_FALSE(GetStreamType(session, page, reports));
    EXPECT_FALSE(IsStreamTypeCurrent(session, page, reports));
    EXPECT_FALSE(SetStreamType(session, page, reports));
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS);
    EXPECT_FALSE(IsStreamTypeCurrent(session, page, reports));
    EXPECT_FALSE(SetStreamType(session, page, reports));
    EXPECT_FALSE(GetStreamType(session, page, reports));
    EXPECT_EQ(reports, (DriverReports{Notice("Get KSPROPERTY_BDA_GET_MEDIAINFO error"),
                                      Notice("Get KSPROPERTY_BDA_GET_MEDIAINFO error"),
                                      Notice("Get KSPROPERTY_BDA_STREAMTYPE_PARAMS error"),
                                      Error("111don't support this interface"),
                                      Error("222don't support this interface"),
                                      Error("333don't support this interface")}));
}

TEST(StreamTypeTest, UsbCarrierNeitherReadsNorSends) {
    CDriverTestEnvironment env(Carrier::Usb);
    DriverReports reports;
    StreamTypeRecord page = kGenericStreamType;
    EXPECT_TRUE(GetStreamType(env.Session(), page, reports));
    EXPECT_EQ(page, kGenericStreamType);
    EXPECT_TRUE(SetStreamType(env.Session(), kGenericStreamType, reports));
    EXPECT_TRUE(env.Driver().Sets().empty());
    EXPECT_EQ(reports, DriverReports{});
}

// Whether another thread can take the session's driver mutex now.
bool DriverIsFreeForOthers(CTunerSession& session) {
    bool free = false;
    std::thread([&] {
        if (session.m_hDriverMutex.try_lock()) {
            free = true;
            session.m_hDriverMutex.unlock();
        }
    }).join();
    return free;
}

TEST(GetMediaInfoTest, DecodesTheRecordAndReportsFailuresWithTheMutexReleased) {
    CDriverTestEnvironment env(Carrier::PciE);
    CTunerSession& session = env.Session();
    MediaInfoRecord report;
    report.ifFrequency = 1612000;
    report.symbolRate = 22000000;
    report.standard = 1;
    report.modCode = 13;
    report.matype1 = 0xF2;
    report.frameLength = 1;
    const auto bytes = report.Encode();
    env.Driver().Reply(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO,
                       {bytes.begin(), bytes.end()});
    DriverReports reports;
    EXPECT_EQ(GetMediaInfo(session, reports), MediaInfoResult::Read);
    EXPECT_EQ(session.m_MediaInfoRecord, report);
    EXPECT_EQ(reports, DriverReports{});

    // The caller shows the reports; the UI thread may be waiting for the driver meanwhile.
    std::vector<bool> freeAfter;
    env.Driver().GetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO, E_FAIL);
    EXPECT_EQ(GetMediaInfo(session, reports), MediaInfoResult::Failed);
    freeAfter.push_back(DriverIsFreeForOthers(session));
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO);
    EXPECT_EQ(GetMediaInfo(session, reports), MediaInfoResult::Unsupported);
    freeAfter.push_back(DriverIsFreeForOthers(session));
    EXPECT_EQ(reports, (DriverReports{Notice("Get KSPROPERTY_BDA_GET_MEDIAINFO error"),
                                      Error("666don't support this interface")}));
    EXPECT_EQ(freeAfter, (std::vector<bool>{true, true}));
    EXPECT_EQ(session.m_MediaInfoRecord, report) << "a failed read is not decoded";
}

TEST(GetMediaInfoTest, UsbCarrierUsesItsOwnPropertyAndText) {
    CDriverTestEnvironment env(Carrier::Usb);
    env.Driver().GetResult(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GET_MEDIAINFO, E_FAIL);
    DriverReports reports;
    EXPECT_EQ(GetMediaInfo(env.Session(), reports), MediaInfoResult::Failed);
    EXPECT_EQ(reports, DriverReports{Notice("Get KSPROPERTY_CTRL_GET_MEDIAINFO 22error")});
}

TEST(SetInputStreamIdTest, SendsTheIdentifierAtOffset48OnThePciESetWhateverTheCarrier) {
    {
        CDriverTestEnvironment env(Carrier::PciE);
        DriverReports reports;
        EXPECT_TRUE(SetInputStreamId(env.Session(), 0x0107, reports));
        const auto sets = env.Driver().Sets();
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0].id, KSPROPERTY_BDA_INPUTMULTISTREAMID);
        std::vector<std::uint8_t> expected(MediaInfoRecord::kSize, 0);
        expected[MediaInfoRecord::kInputStreamIdOffset] = 0x07;
        expected[MediaInfoRecord::kInputStreamIdOffset + 1] = 0x01;
        EXPECT_EQ(sets[0].data, expected);
        env.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, E_FAIL);
        EXPECT_FALSE(SetInputStreamId(env.Session(), 3, reports));
        EXPECT_EQ(reports, DriverReports{Notice("Set KSPROPERTY_BDA_INPUTMULTISTREAMID error")});
    }
    {
        CDriverTestEnvironment env(Carrier::Usb);
        DriverReports reports;
        EXPECT_FALSE(SetInputStreamId(env.Session(), 1, reports));
        EXPECT_EQ(reports, DriverReports{Error("777don't support this interface")});
        EXPECT_TRUE(env.Driver().Sets().empty());
    }
}

TEST(CodeTest, SetCodeSendsValueAndTypeAndReportsTheOutcome) {
    CDriverTestEnvironment env(Carrier::PciE);
    DriverReports reports;
    SetCode(env.Session(), -5, kGoldCode, reports);
    const auto sets = env.Driver().Sets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].id, KSPROPERTY_BDA_GOLDCODE);
    std::vector<std::uint8_t> expected(CodeRecord::kSize, 0);
    const std::uint8_t minusFive[] = {0xFB, 0xFF, 0xFF, 0xFF};
    std::copy(std::begin(minusFive), std::end(minusFive),
              expected.begin() + CodeRecord::kValueOffset);
    expected[CodeRecord::kTypeOffset] = 1;
    EXPECT_EQ(sets[0].data, expected);
    EXPECT_EQ(sets[0].instance, expected);
    env.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE, E_FAIL);
    SetCode(env.Session(), 1, kRootCode, reports);
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE);
    SetCode(env.Session(), 1, kRootCode, reports);
    EXPECT_EQ(reports, (DriverReports{Notice("Successfully set the PLSCode."),
                                      Notice("Failed set the PLSCode.please have a check "
                                             "whether you are using the latest driver"),
                                      Error("444don't support this interface")}));
}

TEST(CodeTest, UsbTextsForCodesAndModeCodes) {
    CDriverTestEnvironment env(Carrier::Usb);
    CTunerSession& session = env.Session();
    DriverReports reports;
    SetCode(session, 0, kGoldCode, reports);
    ModCodeFilterRecord filter;
    SetModCodes(session, filter, reports);
    env.Driver().SetResult(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_MODCODES, E_FAIL);
    SetModCodes(session, filter, reports);
    env.Driver().Unsupport(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GOLDCODE);
    env.Driver().Unsupport(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_MODCODES);
    SetCode(session, 0, kGoldCode, reports);
    SetModCodes(session, filter, reports);
    ResetCode(session, reports);
    EXPECT_EQ(reports,
              (DriverReports{
                  Notice("Successfully set the PLSCode."), Notice("Successfully set the MODCODES."),
                  Notice("Failed set the mode code .please have a check whether you are using the "
                         "latest driver"),
                  Error("don't support this interface"), Error("don't support this interface")}))
        << "ResetCode says nothing on the USB carrier";
}

TEST(CodeTest, ResetSendsRootOneThenGoldZeroAndStopsAtTheFirstFailure) {
    CDriverTestEnvironment env(Carrier::PciE);
    CDebugOutputCapture debug;
    DriverReports reports;
    ResetCode(env.Session(), reports);
    auto sets = env.Driver().Sets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(std::vector<std::uint8_t>(sets[0].data.begin(), sets[0].data.begin() + 8),
              (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(sets[1].data.begin(), sets[1].data.begin() + 8),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(debug.Lines(), std::vector<std::string>(2, "Successful set the GoldCode!"));
    env.Driver().ClearCalls();
    env.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE, E_FAIL);
    ResetCode(env.Session(), reports);
    EXPECT_EQ(env.Driver().Sets().size(), 1u);
    EXPECT_EQ(debug.Lines().back(), "Set KSPROPERTY_BDA_GOLDCODE error");
    EXPECT_EQ(reports, DriverReports{});
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE);
    ResetCode(env.Session(), reports);
    EXPECT_EQ(reports, DriverReports{Error("555don't support this interface")});
}

TEST(ModCodesTest, PciETextsAndTheEncodedRecord) {
    CDriverTestEnvironment env(Carrier::PciE);
    DriverReports reports;
    ModCodeFilterRecord filter;
    filter.Append(4, 1, 0);
    filter.Append(13, 0, 1);
    SetModCodes(env.Session(), filter, reports);
    const auto sets = env.Driver().Sets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].id, KSPROPERTY_BDA_MODCODES);
    ASSERT_EQ(sets[0].data.size(), ModCodeFilterRecord::kSize);
    constexpr std::size_t first = ModCodeFilterRecord::kEntriesOffset;
    constexpr std::size_t second = first + ModCodeFilterRecord::kEntrySize;
    EXPECT_EQ(sets[0].data[ModCodeFilterRecord::kCountOffset], 2);
    EXPECT_EQ(sets[0].data[first], 4);
    EXPECT_EQ(sets[0].data[first + 4], 1);
    EXPECT_EQ(sets[0].data[second], 13);
    EXPECT_EQ(sets[0].data[second + 8], 1);
    EXPECT_EQ(sets[0].data[second + ModCodeFilterRecord::kEntrySize], 0) << "no third entry";
    env.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_MODCODES, E_FAIL);
    SetModCodes(env.Session(), filter, reports);
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_MODCODES);
    SetModCodes(env.Session(), filter, reports);
    EXPECT_EQ(reports,
              (DriverReports{Notice("Successfully set the Mode Codes.."),
                             Notice("Failed set the Mode Codes.please have a check whether you are "
                                    "using the latest driver"),
                             Error("444don't support this interface")}));
}

TEST(NoHandleTest, OperationsWithoutAHandleDoNothingButTheStreamTypeOnesComplain) {
    CDriverTestEnvironment env(Carrier::PciE);
    env.DropDriverHandle();
    CTunerSession& session = env.Session();
    DriverReports reports;
    const std::uint8_t message[] = {0xE0, 0x10, 0x38, 0xF2};
    SendDiseqCommand(session, message, DiseqcForm::LockTp, reports);
    SetCode(session, 1, kRootCode, reports);
    ResetCode(session, reports);
    SetModCodes(session, ModCodeFilterRecord{}, reports);
    EXPECT_FALSE(SetInputStreamId(session, 1, reports));
    EXPECT_EQ(GetMediaInfo(session, reports), MediaInfoResult::Unsupported);
    EXPECT_FALSE(IsUsbCarrier(session));
    EXPECT_EQ(reports, DriverReports{});
    StreamTypeRecord page;
    EXPECT_FALSE(GetStreamType(session, page, reports));
    EXPECT_FALSE(IsStreamTypeCurrent(session, page, reports));
    EXPECT_FALSE(SetStreamType(session, page, reports));
    EXPECT_EQ(reports, (DriverReports{Error("m_pKsCtrl==NULL"), Error("m_pKsCtrl==NULL")}));
    EXPECT_TRUE(env.Driver().Calls().empty());
}

TEST(CarrierProbeTest, IsAskedAgainByEveryOperation) {
    CDriverTestEnvironment env(Carrier::Usb);
    DriverReports reports;
    SetCode(env.Session(), 1, kRootCode, reports);
    SetCode(env.Session(), 1, kRootCode, reports);
    int probes = 0;
    for (const auto& call : env.Driver().Calls()) {
        if (call.kind == Kind::QuerySupported && call.id == KSPROPERTY_CTRL_PRESENT) ++probes;
    }
    EXPECT_EQ(probes, 2);
}

}  // namespace

namespace {

std::vector<std::uint8_t> MeasureBytes(const SignalMeasureRecord& record) {
    const auto bytes = record.Encode();
    return {bytes.begin(), bytes.end()};
}

}  // namespace

TEST(GetSignalMeasureTest, ReportedValuesInPhysicalUnitsAndTheRestLeftEmpty) {
    // The USB environment's filter carries the driver: give it the measurement too.
    CDriverTestEnvironment env(Carrier::Usb);
    env.Driver().Support(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE);
    SignalMeasureRecord record;
    record.flags = SignalMeasureRecord::kCarrierToNoiseReported |
                   SignalMeasureRecord::kBitErrorsReported |
                   SignalMeasureRecord::kUncorrectedReported;
    record.carrierToNoiseMilliDb = -1'250;
    record.levelMilliDbm = -48'000;  // not flagged: must not appear
    record.bitErrors = 3;
    record.bitsCounted = 2'000'000;
    record.uncorrectedBlocks = 7;
    env.Driver().Reply(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, MeasureBytes(record));

    const SignalMeasureResult result = GetSignalMeasure(env.Session());
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.carrierToNoiseDb, -1.25);
    EXPECT_EQ(result.levelDbm, std::nullopt);
    EXPECT_EQ(result.bitErrorRate, 1.5e-6);
    EXPECT_EQ(result.uncorrectedBlocks, 7u);

    // Bits flagged but none counted: no rate can be told.
    record.flags = SignalMeasureRecord::kLevelReported | SignalMeasureRecord::kBitErrorsReported;
    record.bitsCounted = 0;
    env.Driver().Reply(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, MeasureBytes(record));
    const SignalMeasureResult second = GetSignalMeasure(env.Session());
    ASSERT_TRUE(second.ok);
    EXPECT_EQ(second.carrierToNoiseDb, std::nullopt);
    EXPECT_EQ(second.levelDbm, -48.0);
    EXPECT_EQ(second.bitErrorRate, std::nullopt);
    EXPECT_EQ(second.uncorrectedBlocks, std::nullopt);
}

TEST(GetSignalMeasureTest, ADriverWithoutItOrFailingItGivesNotOkSilently) {
    CDebugOutputCapture output;
    {
        // The PCI-E filter answers the interface but none of the property.
        CDriverTestEnvironment env(Carrier::PciE);
        EXPECT_FALSE(GetSignalMeasure(env.Session()).ok);
        EXPECT_TRUE(env.Driver().Calls().empty()) << "the pin's vendor set is not asked";
        EXPECT_TRUE(env.Boxes().Texts().empty());
    }
    {
        CDriverTestEnvironment env(Carrier::Usb);
        EXPECT_FALSE(GetSignalMeasure(env.Session()).ok);
        env.Driver().Support(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE);
        env.Driver().GetResult(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, E_FAIL);
        EXPECT_FALSE(GetSignalMeasure(env.Session()).ok);
        EXPECT_TRUE(env.Driver().Sets().empty());
        EXPECT_TRUE(env.Boxes().Texts().empty());
    }
    {
        CDriverTestEnvironment env(Carrier::Usb);
        env.PlantTuner(nullptr);
        EXPECT_FALSE(GetSignalMeasure(env.Session()).ok);
        EXPECT_TRUE(env.Driver().Calls().empty());
        EXPECT_TRUE(env.Boxes().Texts().empty());
    }
    EXPECT_TRUE(output.Lines().empty());
}
