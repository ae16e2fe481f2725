#include "graph/driver_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/process_globals.h"
#include "graph/bda_graph.h"
#include "graph/driver_test_environment.h"
#include "platform/ks/vendor_property_sets.h"
#include "support/debug_output_capture.h"

namespace {

using Kind = CFakeKsPropertySet::Kind;

const MessageBoxRequest Error(const char* text) {
    return {nullptr, text, "error", MB_OK};
}
const MessageBoxRequest Titled(const char* text) {
    return {nullptr, text, AfxGetAppName(), MB_OK};
}

TEST(AcquireDriverControlTest, UsbCarrierKeepsTheFilterHandle) {
    CDriverTestEnvironment env(Carrier::Usb);
    EXPECT_EQ(g_BDAGraph.m_pKsCtrl.Get(), static_cast<IKsPropertySet*>(&env.Driver()));
    EXPECT_TRUE(IsUsbCarrier());
    EXPECT_TRUE(env.Boxes().Boxes().empty());
}

TEST(AcquireDriverControlTest, PciECarrierTakesTheLastInput0Pin) {
    CMessageBoxRecorder boxes;
    ComPtr<CFakeFilter> tuner(
        new CFakeFilter({{L"Input0", PINDIR_INPUT, AntennaType()},
                         {L"Output", PINDIR_OUTPUT, CardTransportType(0)},
                         {L"Second Input0 pin", PINDIR_INPUT, CardTransportType(3)}}));
    ComPtr<CFakeKsPropertySet> filterSet(new CFakeKsPropertySet), first = MakeDriver(Carrier::PciE),
                                                                  last = MakeDriver(Carrier::PciE);
    tuner->SetFilterPropertySet(filterSet.Get());
    tuner->SetPinPropertySet(0, first.Get());
    tuner->SetPinPropertySet(2, last.Get());
    g_BDAGraph.m_pTunerDevice = tuner.Get();
    EXPECT_EQ(AcquireDriverControl(), DriverControlResult::Acquired);
    EXPECT_EQ(g_BDAGraph.m_pKsCtrl.Get(), static_cast<IKsPropertySet*>(last.Get()));
    EXPECT_FALSE(IsUsbCarrier());
    ASSERT_FALSE(filterSet->Calls().empty())
        << "the carrier is probed on the filter's handle first";
    EXPECT_EQ(filterSet->Calls()[0].set, KSPROPSETID_Ctrl);
    EXPECT_EQ(filterSet->Calls()[0].id, KSPROPERTY_CTRL_PRESENT);
    g_BDAGraph.m_pKsCtrl.Reset();
    g_BDAGraph.m_pTunerDevice.Reset();
}

TEST(AcquireDriverControlTest, RefusalsAreReportedAndAMissingPinOrTunerIsSilent) {
    CMessageBoxRecorder boxes;
    ComPtr<CFakeFilter> bare(new CFakeFilter({{L"Input0", PINDIR_INPUT, AntennaType()}}));
    g_BDAGraph.m_pTunerDevice = bare.Get();
    EXPECT_EQ(AcquireDriverControl(), DriverControlResult::Failed);
    EXPECT_EQ(boxes.Boxes(), std::vector{Error("m_pTunerDevice USB QueryInterface Failed")});
    boxes.Clear();

    ComPtr<CFakeKsPropertySet> filterSet(new CFakeKsPropertySet);
    bare->SetFilterPropertySet(filterSet.Get());
    EXPECT_EQ(AcquireDriverControl(), DriverControlResult::Failed);
    EXPECT_EQ(boxes.Boxes(), std::vector{Error("m_pTunerDevice PCI/PCI-E QueryInterface Failed")});
    EXPECT_FALSE(g_BDAGraph.m_pKsCtrl);
    boxes.Clear();

    ComPtr<CFakeFilter> noInput0(new CFakeFilter({{L"Antenna", PINDIR_INPUT, AntennaType()}}));
    noInput0->SetFilterPropertySet(filterSet.Get());
    g_BDAGraph.m_pTunerDevice = noInput0.Get();
    EXPECT_EQ(AcquireDriverControl(), DriverControlResult::NoHandle);
    g_BDAGraph.m_pTunerDevice.Reset();
    EXPECT_EQ(AcquireDriverControl(), DriverControlResult::NoHandle);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(g_BDAGraph.m_pKsCtrl);
}

TEST(SendDiseqCommandTest, PciERecordCarriesTheMessageAtSixteenAndItsLengthAt144) {
    CDriverTestEnvironment env(Carrier::PciE);
    const std::uint8_t message[] = {0xE0, 0x10, 0x38, 0xF2};
    SendDiseqCommand(message, DiseqcForm::LockTp);
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
    EXPECT_TRUE(env.Boxes().Boxes().empty());
}

TEST(SendDiseqCommandTest, UsbRecordKeepsTheTailOfALongerEarlierMessage) {
    CDriverTestEnvironment env(Carrier::Usb);
    g_TunerControlRecord.SetFrequency(11778);
    const std::uint8_t five[] = {0xE1, 0x31, 0x6E, 0xE0, 0xA2};
    const std::uint8_t three[] = {0xE0, 0x31, 0x60};
    SendDiseqCommand(five, DiseqcForm::Positioner);
    SendDiseqCommand(three, DiseqcForm::Positioner);
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
        env.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, S_FALSE);
        const std::uint8_t message[] = {0xE0, 0x10, 0x38, 0xF2};
        SendDiseqCommand(message, DiseqcForm::LockTp);
        SendDiseqCommand(message, DiseqcForm::Positioner);
        EXPECT_EQ(env.Boxes().Boxes(),
                  (std::vector{Titled("SendDiseqCommandArden QueryInterface Failed"),
                               Titled("SendDiseqCommandArden QueryInterface Failed")}));
        env.Boxes().Clear();
        env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC);
        CDebugOutputCapture debug;
        SendDiseqCommand(message, DiseqcForm::LockTp);
        SendDiseqCommand(message, DiseqcForm::Positioner);
        EXPECT_EQ(env.Boxes().Boxes(),
                  (std::vector{Error("SendDiseqCommand11 QueryInterface Failed"),
                               Titled("SendDiseqCommandArden QueryInterface Failed 00")}));
        EXPECT_EQ(debug.Lines(),
                  std::vector<std::string>(2, "@@@@@!!!!DiSEqC Interface Not Supported\n"));
    }
    {
        CDriverTestEnvironment env(Carrier::Usb);
        const std::uint8_t message[] = {0xE0, 0x31, 0x60};
        env.Driver().SetResult(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, S_FALSE);
        SendDiseqCommand(message, DiseqcForm::LockTp);
        SendDiseqCommand(message, DiseqcForm::Positioner);
        env.Driver().Unsupport(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER);
        SendDiseqCommand(message, DiseqcForm::LockTp);
        SendDiseqCommand(message, DiseqcForm::Positioner);
        EXPECT_EQ(env.Boxes().Boxes(),
                  (std::vector{Error("OnMotor11 false"), Error("OnMotor22 false")}));
    }
}

TEST(StreamTypeTest, GetIsCurrentAndSetOnEachCarrier) {
    CDriverTestEnvironment env(Carrier::PciE);
    env.Driver().Reply(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, {0, 1});
    StreamTypeRecord page;
    EXPECT_TRUE(GetStreamType(page));
    EXPECT_EQ(page, kGenericStreamType);
    EXPECT_TRUE(IsStreamTypeCurrent(kGenericStreamType));
    EXPECT_FALSE(IsStreamTypeCurrent(kTransportStreamType));
    EXPECT_TRUE(SetStreamType(kTransportStreamType));
    const auto sets = env.Driver().Sets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].id, KSPROPERTY_BDA_STREAMTYPE_PARAMS);
    EXPECT_EQ(sets[0].data, (std::vector<std::uint8_t>{1, 0}));
    EXPECT_EQ(sets[0].instance, (std::vector<std::uint8_t>{1, 0}));

    env.Driver().GetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, E_FAIL);
    env.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, E_FAIL);
    EXPECT_FALSE(GetStreamType(page));
    EXPECT_FALSE(IsStreamTypeCurrent(page));
    EXPECT_FALSE(SetStreamType(page));
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS);
    EXPECT_FALSE(IsStreamTypeCurrent(page));
    EXPECT_FALSE(SetStreamType(page));
    EXPECT_FALSE(GetStreamType(page));
    EXPECT_EQ(env.Boxes().Boxes(),
              (std::vector{Titled("Get KSPROPERTY_BDA_GET_MEDIAINFO error"),
                           Titled("Get KSPROPERTY_BDA_GET_MEDIAINFO error"),
                           Titled("Get KSPROPERTY_BDA_STREAMTYPE_PARAMS error"),
                           Error("111don't support this interface"),
                           Error("222don't support this interface"),
                           Error("333don't support this interface")}));
}

TEST(StreamTypeTest, UsbCarrierNeitherReadsNorSends) {
    CDriverTestEnvironment env(Carrier::Usb);
    StreamTypeRecord page = kGenericStreamType;
    EXPECT_TRUE(GetStreamType(page));
    EXPECT_EQ(page, kGenericStreamType);
    EXPECT_TRUE(SetStreamType(kGenericStreamType));
    EXPECT_TRUE(env.Driver().Sets().empty());
}

// Records each box together with whether another thread could take the driver mutex meanwhile.
class CMutexProbingBoxes : public IMessageBoxService {
public:
    CMutexProbingBoxes() : m_pPrevious(SetMessageBoxService(this)) {}
    ~CMutexProbingBoxes() override { SetMessageBoxService(m_pPrevious); }
    int Show(const MessageBoxRequest& request) override {
        bool free = false;
        std::thread([&] {
            if (g_hDriverMutex.try_lock()) {
                free = true;
                g_hDriverMutex.unlock();
            }
        }).join();
        texts.push_back(request.text);
        mutexFree.push_back(free);
        return IDOK;
    }
    std::vector<std::string> texts;
    std::vector<bool> mutexFree;

private:
    IMessageBoxService* m_pPrevious;
};

TEST(GetMediaInfoTest, DecodesTheRecordAndReportsFailuresWithTheMutexReleased) {
    CDriverTestEnvironment env(Carrier::PciE);
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
    EXPECT_EQ(GetMediaInfo(), MediaInfoResult::Read);
    EXPECT_EQ(g_MediaInfoRecord, report);

    CMutexProbingBoxes boxes;
    env.Driver().GetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO, E_FAIL);
    EXPECT_EQ(GetMediaInfo(), MediaInfoResult::Failed);
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO);
    EXPECT_EQ(GetMediaInfo(), MediaInfoResult::Unsupported);
    EXPECT_EQ(boxes.texts, (std::vector<std::string>{"Get KSPROPERTY_BDA_GET_MEDIAINFO error",
                                                     "666don't support this interface"}));
    EXPECT_EQ(boxes.mutexFree, (std::vector<bool>{true, true}));
    EXPECT_EQ(g_MediaInfoRecord, report) << "a failed read is not decoded";
}

TEST(GetMediaInfoTest, UsbCarrierUsesItsOwnPropertyAndText) {
    CDriverTestEnvironment env(Carrier::Usb);
    env.Driver().GetResult(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GET_MEDIAINFO, E_FAIL);
    EXPECT_EQ(GetMediaInfo(), MediaInfoResult::Failed);
    EXPECT_EQ(env.Boxes().Texts(),
              std::vector<std::string>{"Get KSPROPERTY_CTRL_GET_MEDIAINFO 22error"});
}

TEST(SetInputStreamIdTest, SendsTheIdentifierAtOffset48OnThePciESetWhateverTheCarrier) {
    {
        CDriverTestEnvironment env(Carrier::PciE);
        EXPECT_TRUE(SetInputStreamId(0x0107));
        const auto sets = env.Driver().Sets();
        ASSERT_EQ(sets.size(), 1u);
        EXPECT_EQ(sets[0].id, KSPROPERTY_BDA_INPUTMULTISTREAMID);
        std::vector<std::uint8_t> expected(MediaInfoRecord::kSize, 0);
        expected[MediaInfoRecord::kInputStreamIdOffset] = 0x07;
        expected[MediaInfoRecord::kInputStreamIdOffset + 1] = 0x01;
        EXPECT_EQ(sets[0].data, expected);
        env.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, E_FAIL);
        EXPECT_FALSE(SetInputStreamId(3));
        EXPECT_EQ(env.Boxes().Boxes(),
                  std::vector{Titled("Set KSPROPERTY_BDA_INPUTMULTISTREAMID error")});
    }
    {
        CDriverTestEnvironment env(Carrier::Usb);
        EXPECT_FALSE(SetInputStreamId(1));
        EXPECT_EQ(env.Boxes().Boxes(), std::vector{Error("777don't support this interface")});
        EXPECT_TRUE(env.Driver().Sets().empty());
    }
}

TEST(CodeTest, SetCodeSendsValueAndTypeAndReportsTheOutcome) {
    CDriverTestEnvironment env(Carrier::PciE);
    SetCode(-5, kGoldCode);
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
    SetCode(1, kRootCode);
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE);
    SetCode(1, kRootCode);
    EXPECT_EQ(env.Boxes().Boxes(), (std::vector{Titled("Successfully set the PLSCode."),
                                                Titled("Failed set the PLSCode.please have a check "
                                                       "whether you are using the latest driver"),
                                                Error("444don't support this interface")}));
}

TEST(CodeTest, UsbTextsForCodesAndModeCodes) {
    CDriverTestEnvironment env(Carrier::Usb);
    SetCode(0, kGoldCode);
    ModCodeFilterRecord filter;
    SetModCodes(filter);
    env.Driver().SetResult(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_MODCODES, E_FAIL);
    SetModCodes(filter);
    env.Driver().Unsupport(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GOLDCODE);
    env.Driver().Unsupport(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_MODCODES);
    SetCode(0, kGoldCode);
    SetModCodes(filter);
    ResetCode();
    EXPECT_EQ(env.Boxes().Boxes(),
              (std::vector{
                  Titled("Successfully set the PLSCode."), Titled("Successfully set the MODCODES."),
                  Titled("Failed set the mode code .please have a check whether you are using the "
                         "latest driver"),
                  Error("don't support this interface"), Error("don't support this interface")}))
        << "ResetCode says nothing on the USB carrier";
}

TEST(CodeTest, ResetSendsRootOneThenGoldZeroAndStopsAtTheFirstFailure) {
    CDriverTestEnvironment env(Carrier::PciE);
    CDebugOutputCapture debug;
    ResetCode();
    auto sets = env.Driver().Sets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(std::vector<std::uint8_t>(sets[0].data.begin(), sets[0].data.begin() + 8),
              (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(sets[1].data.begin(), sets[1].data.begin() + 8),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(debug.Lines(), std::vector<std::string>(2, "Successful set the GoldCode!"));
    env.Driver().ClearCalls();
    env.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE, E_FAIL);
    ResetCode();
    EXPECT_EQ(env.Driver().Sets().size(), 1u);
    EXPECT_EQ(debug.Lines().back(), "Set KSPROPERTY_BDA_GOLDCODE error");
    EXPECT_TRUE(env.Boxes().Boxes().empty());
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE);
    ResetCode();
    EXPECT_EQ(env.Boxes().Boxes(), std::vector{Error("555don't support this interface")});
}

TEST(ModCodesTest, PciETextsAndTheEncodedRecord) {
    CDriverTestEnvironment env(Carrier::PciE);
    ModCodeFilterRecord filter;
    filter.Append(4, 1, 0);
    filter.Append(13, 0, 1);
    SetModCodes(filter);
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
    SetModCodes(filter);
    env.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_MODCODES);
    SetModCodes(filter);
    EXPECT_EQ(env.Boxes().Boxes(),
              (std::vector{Titled("Successfully set the Mode Codes.."),
                           Titled("Failed set the Mode Codes.please have a check whether you are "
                                  "using the latest driver"),
                           Error("444don't support this interface")}));
}

TEST(NoHandleTest, OperationsWithoutAHandleDoNothingButTheStreamTypeOnesComplain) {
    CMessageBoxRecorder boxes;
    g_BDAGraph.m_pKsCtrl.Reset();
    const std::uint8_t message[] = {0xE0, 0x10, 0x38, 0xF2};
    SendDiseqCommand(message, DiseqcForm::LockTp);
    SetCode(1, kRootCode);
    ResetCode();
    SetModCodes(ModCodeFilterRecord{});
    EXPECT_FALSE(SetInputStreamId(1));
    EXPECT_EQ(GetMediaInfo(), MediaInfoResult::Unsupported);
    EXPECT_FALSE(IsUsbCarrier());
    EXPECT_TRUE(boxes.Boxes().empty());
    StreamTypeRecord page;
    EXPECT_FALSE(GetStreamType(page));
    EXPECT_FALSE(IsStreamTypeCurrent(page));
    EXPECT_FALSE(SetStreamType(page));
    EXPECT_EQ(boxes.Boxes(), (std::vector{Error("m_pKsCtrl==NULL"), Error("m_pKsCtrl==NULL")}));
}

TEST(CarrierProbeTest, IsAskedAgainByEveryOperation) {
    CDriverTestEnvironment env(Carrier::Usb);
    SetCode(1, kRootCode);
    SetCode(1, kRootCode);
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

    const SignalMeasureResult result = GetSignalMeasure();
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.carrierToNoiseDb, -1.25);
    EXPECT_EQ(result.levelDbm, std::nullopt);
    EXPECT_EQ(result.bitErrorRate, 1.5e-6);
    EXPECT_EQ(result.uncorrectedBlocks, 7u);

    // Bits flagged but none counted: no rate can be told.
    record.flags = SignalMeasureRecord::kLevelReported | SignalMeasureRecord::kBitErrorsReported;
    record.bitsCounted = 0;
    env.Driver().Reply(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, MeasureBytes(record));
    const SignalMeasureResult second = GetSignalMeasure();
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
        EXPECT_FALSE(GetSignalMeasure().ok);
        EXPECT_TRUE(env.Driver().Calls().empty()) << "the pin's vendor set is not asked";
        EXPECT_TRUE(env.Boxes().Texts().empty());
    }
    {
        CDriverTestEnvironment env(Carrier::Usb);
        EXPECT_FALSE(GetSignalMeasure().ok);
        env.Driver().Support(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE);
        env.Driver().GetResult(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, E_FAIL);
        EXPECT_FALSE(GetSignalMeasure().ok);
        EXPECT_TRUE(env.Driver().Sets().empty());
        EXPECT_TRUE(env.Boxes().Texts().empty());
    }
    {
        CDriverTestEnvironment env(Carrier::Usb);
        g_BDAGraph.m_pTunerDevice.Reset();
        EXPECT_FALSE(GetSignalMeasure().ok);
        EXPECT_TRUE(env.Driver().Calls().empty());
        EXPECT_TRUE(env.Boxes().Texts().empty());
    }
    EXPECT_TRUE(output.Lines().empty());
}
