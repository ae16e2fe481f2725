#include "graph/tuning.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "graph/bda_graph.h"
#include "graph/driver_control.h"
#include "graph/driver_test_environment.h"
#include "graph/tuner_session.h"
#include "platform/bda/bda_classes.h"
#include "platform/com/class_registry.h"
#include "platform/com/co_create.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/media/media_classes.h"
#include "platform/win/known_folders.h"
#include "support/driver_report_print.h"
#include "support/fake_signal_statistics.h"
#include "support/fake_tuner_filter.h"
#include "support/folder_roots.h"
#include "support/temp_folder.h"

namespace {

class CFakeTunerPage : public ITunerPage {
public:
    std::string FieldText(TunerField field) const override {
        switch (field) {
            case TunerField::Frequency:
                return frequency;
            case TunerField::SymbolRate:
                return symbolRate;
            case TunerField::LnbLow:
                return lnbLow;
            case TunerField::LnbHigh:
                return lnbHigh;
            case TunerField::LnbSwitch:
                return lnbSwitch;
        }
        return {};
    }
    std::int32_t PolarityIndex() const override { return polarity; }
    std::int32_t DiseqcPortIndex() const override { return port; }
    StreamTypeRecord StreamType() const override { return streamType; }
    void SetLnbSwitch(std::int32_t mhz) override { keptSwitch = mhz; }
    void SaveSettings() override { events.push_back("save"); }
    void EnableTuneButtons(bool enable) override {
        events.push_back(enable ? "enable" : "disable");
    }
    void ShowTuneResult(const TuneResult& result) override {
        events.push_back("show");
        results.push_back(result);
    }

    std::string frequency = "11778", symbolRate = "27500", lnbLow = "9750", lnbHigh = "10600",
                lnbSwitch = "11700";
    std::int32_t polarity = 1, port = 0;
    StreamTypeRecord streamType = kTransportStreamType;
    std::int32_t keptSwitch = 0;
    std::vector<std::string> events;
    std::vector<TuneResult> results;  // each one "Lock TP" was told to show
};

std::vector<TuneError::Kind> Kinds(const TuneResult& result) {
    std::vector<TuneError::Kind> kinds;
    for (const TuneError& error : result.errors) kinds.push_back(error.kind);
    return kinds;
}

std::vector<std::string> Texts(const TuneResult& result) {
    std::vector<std::string> texts;
    for (const TuneError& error : result.errors) texts.push_back(error.text);
    return texts;
}

// Records the graph's run and stop requests.
class CFakeMediaControl : public CUnknown, public IMediaControl {
public:
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override {
        if (iid == IMediaControl::kIid) return GetInterface(static_cast<IMediaControl*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(iid, ppv);
    }
    HRESULT Run() override {
        if (onRun) onRun();
        calls.push_back("Run");
        return S_OK;
    }
    HRESULT Pause() override { return S_OK; }
    HRESULT Stop() override {
        calls.push_back("Stop");
        return S_OK;
    }
    HRESULT GetState(LONG, OAFilterState*) override { return E_NOTIMPL; }
    std::vector<std::string> calls;
    std::function<void()> onRun;
};

class TuningTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterMediaClasses();
        RegisterBdaClasses();
        test_roots::SetConfigFolder(m_folder.Path());
        m_driver.Driver().Reply(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, {1, 0});
        m_pTuner = new CFakeTunerFilter(m_pScript);
        // The network provider joined to the scripted tuner, the tuning space and the recording
        // media control: the graph members Tune uses, planted here only.
        CBDAGraph& graph = Session().m_BDAGraph;
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL,
                         graph.m_pGraph.ReleaseAndGetAddressOf());
        CoCreateInstance(CLSID_DVBSNetworkProvider, nullptr, CLSCTX_ALL,
                         graph.m_pProvider.ReleaseAndGetAddressOf());
        graph.m_pGraph->AddFilter(graph.m_pProvider.Get(), L"Network DVBS Provider");
        graph.m_pGraph->AddFilter(m_pTuner.Get(), nullptr);
        ASSERT_EQ(graph.JoinFilters(graph.m_pGraph.Get(), graph.m_pProvider.Get(), m_pTuner.Get()),
                  S_OK);
        graph.m_pSpace = graph.MakeTuningSpace();
        PlantGraphControl(true);
    }
    void TearDown() override {
        CBDAGraph& graph = Session().m_BDAGraph;
        graph.m_pGraph->RemoveFilter(m_pTuner.Get());
        graph.m_pGraph->RemoveFilter(graph.m_pProvider.Get());
        graph.m_pProvider.Reset();
        graph.m_pGraph.Reset();
        graph.m_pSpace.Reset();
        test_roots::SetConfigFolder("");
    }
    CTunerSession& Session() { return m_driver.Session(); }
    // Without the media control the session has no graph to tune.
    void PlantGraphControl(bool present) {
        Session().m_BDAGraph.m_pGraphControl = present ? m_pControl.Get() : nullptr;
    }

    std::vector<CFakeKsPropertySet::Call> DiseqcSets() {
        std::vector<CFakeKsPropertySet::Call> sets;
        for (const auto& call : m_driver.Driver().Sets()) {
            if (call.id == KSPROPERTY_BDA_DISEQC) sets.push_back(call);
        }
        return sets;
    }

    CTempFolder m_folder;
    CDriverTestEnvironment m_driver{Carrier::PciE};
    std::shared_ptr<FakeTunerScript> m_pScript = std::make_shared<FakeTunerScript>();
    ComPtr<CFakeTunerFilter> m_pTuner;
    ComPtr<CFakeMediaControl> m_pControl{new CFakeMediaControl};
    CFakeTunerPage m_page;
};

TEST_F(TuningTest, TheTuneRequestCarriesKilohertzAndTheSymbolRateAsEntered) {
    LockTransponder(Session(), m_page);
    ASSERT_EQ(m_page.results.size(), 1u);
    EXPECT_EQ(m_page.results[0].driverReports, DriverReports{});
    EXPECT_EQ(Texts(m_page.results[0]), std::vector<std::string>{});
    EXPECT_EQ(m_page.results[0].outcome, TuneResult::Outcome::NotLocked) << "no lock is waited for";
    const auto& calls = m_pScript->calls;
    auto has = [&](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    };
    EXPECT_TRUE(has("put_LocalOscillatorFrequencyLowBand 9750000"));
    EXPECT_TRUE(has("put_LocalOscillatorFrequencyHighBand 10600000"));
    EXPECT_TRUE(has("put_HighLowSwitchFrequency 11700000"));
    EXPECT_TRUE(has("put_Frequency 11778000"));
    EXPECT_TRUE(has("put_SymbolRate 27500"));
    EXPECT_TRUE(has("put_Polarity 2")) << "vertical";
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), "CommitChanges");
    EXPECT_EQ(m_pControl->calls, std::vector<std::string>{"Run"})
        << "a current stream type is not stopped";
    EXPECT_EQ(m_page.keptSwitch, 11700);
    EXPECT_EQ(m_page.events,
              (std::vector<std::string>{"save", "save", "disable", "show", "enable"}));
    EXPECT_TRUE(DiseqcSets().empty()) << "Diseqc NULL sends nothing";
    for (const auto& call : m_driver.Driver().Sets()) {
        EXPECT_NE(call.id, KSPROPERTY_BDA_STREAMTYPE_PARAMS) << "a current stream type is not sent";
    }
    // The tuner control record holds the transponder in the page's units.
    const auto& bytes = Session().m_TunerControlRecord.bytes;
    EXPECT_EQ(driver_bytes::GetLe32(&bytes[TunerControlRecord::kFrequencyOffset]), 11778u);
    EXPECT_EQ(driver_bytes::GetLe32(&bytes[TunerControlRecord::kSymbolRateOffset]), 27500u);
    EXPECT_EQ(bytes[TunerControlRecord::kPolarityOffset], 1);
    EXPECT_EQ(bytes[TunerControlRecord::kConstantsOffset], 1);
    EXPECT_EQ(bytes[TunerControlRecord::kConstantsOffset + 2], 2);
}

struct SwitchCase {
    const char* frequency;
    const char* lnbSwitch;
    std::int32_t polarity;
    std::int32_t port;
    std::uint8_t d;
};

// Case names from the port, the band the expected data byte selects (bit 0) and the polarity.
std::string SwitchCaseName(const ::testing::TestParamInfo<SwitchCase>& item) {
    const SwitchCase& c = item.param;
    std::string name = "Port";
    name += static_cast<char>('A' + c.port - 1);
    name += (c.d & 0x01) != 0 ? "_High" : "_Low";
    name += c.polarity == 0 ? "Horizontal" : "Vertical";
    if (std::string(c.lnbSwitch) == "-1") name += "_SwitchNotSet";
    return name;
}

class CommittedSwitchTest : public TuningTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(CommittedSwitchTest, SendsE0_10_38WithBandPolarityAndPortBits) {
    m_page.frequency = GetParam().frequency;
    m_page.lnbSwitch = GetParam().lnbSwitch;
    m_page.polarity = GetParam().polarity;
    m_page.port = GetParam().port;
    LockTransponder(Session(), m_page);
    const auto sets = DiseqcSets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(sets[0].data.begin() + 16, sets[0].data.begin() + 20),
              (std::vector<std::uint8_t>{0xE0, 0x10, 0x38, GetParam().d}));
}

INSTANTIATE_TEST_SUITE_P(
    Ports, CommittedSwitchTest,
    ::testing::Values(SwitchCase{"11700", "11700", 0, 1, 0xF2},  // equal: low band
                      SwitchCase{"11701", "11700", 0, 1, 0xF3},  // one above: high band
                      SwitchCase{"12500", "-1", 1, 1, 0xF0},     // -1: always low
                      SwitchCase{"12000", "11700", 1, 2, 0xF5},  // B, vertical, high
                      SwitchCase{"11000", "11700", 0, 3, 0xFA},  // C, horizontal, low
                      SwitchCase{"12000", "11700", 1, 4, 0xFD},  // D, vertical, high
                      SwitchCase{"12000", "11700", 0, 4, 0xFF}),
    SwitchCaseName);

TEST_F(TuningTest, AnotherStreamTypeStopsTheGraphAndIsSentBeforeTuning) {
    m_page.streamType = kGenericStreamType;
    LockTransponder(Session(), m_page);
    EXPECT_EQ(m_pControl->calls, (std::vector<std::string>{"Stop", "Run"}));
    const auto sets = m_driver.Driver().Sets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].data, (std::vector<std::uint8_t>{0, 1}));
}

TEST_F(TuningTest, AFailedTuneRequestIsReportedAndTheButtonsComeBack) {
    CScopedClassOverride noLocator(CLSID_DVBSLocator, nullptr);
    LockTransponder(Session(), m_page);
    ASSERT_EQ(m_page.results.size(), 1u);
    const TuneResult& result = m_page.results[0];
    EXPECT_EQ(result.outcome, TuneResult::Outcome::Error);
    EXPECT_EQ(Texts(result),
              (std::vector<std::string>{"CreateDVBTuneRequest is invalid!",
                                        "KSPROPERTY_CTRL_TUNER set channel_change false"}));
    // The program's own words, then the driver's refusal (its box captioned "error").
    EXPECT_EQ(Kinds(result),
              (std::vector{TuneError::Kind::InvalidRequest, TuneError::Kind::Refused}));
    EXPECT_EQ(result.driverReports, DriverReports{});
    EXPECT_EQ(m_pControl->calls, std::vector<std::string>{"Run"})
        << "the graph runs whatever the tuning gave";
    EXPECT_EQ(m_page.events.back(), "enable");
}

TEST_F(TuningTest, ARefusedTuneIsReported) {
    m_pScript->failures["CommitChanges"] = E_FAIL;
    LockTransponder(Session(), m_page);
    ASSERT_EQ(m_page.results.size(), 1u);
    EXPECT_EQ(Texts(m_page.results[0]),
              std::vector<std::string>{"KSPROPERTY_CTRL_TUNER set channel_change false"});
    EXPECT_EQ(Kinds(m_page.results[0]), std::vector{TuneError::Kind::Refused});
    EXPECT_EQ(m_page.events.back(), "enable");
}

TEST_F(TuningTest, ATunerThatSaysWhyItRefusedIsQuotedInsteadOfTheBareRefusal) {
    // A description left by an earlier failure is never shown for this one.
    com::SetErrorDescription("stale");
    m_pScript->failures["CommitChanges"] = E_FAIL;
    LockTransponder(Session(), m_page);
    ASSERT_EQ(m_page.results.size(), 1u);
    EXPECT_EQ(Texts(m_page.results[0]),
              std::vector<std::string>{"KSPROPERTY_CTRL_TUNER set channel_change false"});

    m_pScript->failureDescriptions["CommitChanges"] =
        "The frontend of the tuner \"T\" is in use by another program: tvserver (process 7). "
        "Close that program, or choose another tuner.";
    LockTransponder(Session(), m_page);
    ASSERT_EQ(m_page.results.size(), 2u);
    EXPECT_EQ(Texts(m_page.results[1]),
              std::vector<std::string>{m_pScript->failureDescriptions["CommitChanges"]});
    EXPECT_EQ(Kinds(m_page.results[1]), std::vector{TuneError::Kind::Refused})
        << "quoted as the refusal is, in its box captioned \"error\"";
}

TEST_F(TuningTest, WithoutAGraphNothingReachesTheDriverAndTheUserIsTold) {
    PlantGraphControl(false);
    m_page.port = 1;
    LockTransponder(Session(), m_page);
    EXPECT_TRUE(m_driver.Driver().Calls().empty());
    ASSERT_EQ(m_page.results.size(), 1u);
    ASSERT_EQ(m_page.results[0].errors.size(), 1u);
    EXPECT_EQ(m_page.results[0].errors[0].kind, TuneError::Kind::NoTuner);
    EXPECT_NE(m_page.results[0].errors[0].text.find("No tuner is ready"), std::string::npos);
    EXPECT_EQ(m_page.events,
              (std::vector<std::string>{"save", "save", "disable", "show", "enable"}));
}

// Tuning as a call: the result tells what happened, nothing is shown, and the wait for a lock
// follows what the card reports.
TEST_F(TuningTest, TuneReturnsItsOutcomeAndShowsNothing) {
    ComPtr<CFakeSignalStatistics> statistics{new CFakeSignalStatistics};
    m_driver.Tuner().SetExtraInterface(IBDA_Topology::kIid,
                                       static_cast<IBDA_Topology*>(statistics.Get()));
    using Outcome = TuneResult::Outcome;
    using Kind = TuneError::Kind;
    const struct {
        const char* name;
        bool locks;
        bool refused;
        bool graph;
        int waitMs;
        Outcome outcome;
        std::vector<Kind> errors;
    } rows[] = {
        {"a card that locks, waited for", true, false, true, 1000, Outcome::Locked, {}},
        {"a card that locks, no wait: the card is not asked",
         true,
         false,
         true,
         0,
         Outcome::NotLocked,
         {}},
        {"no lock within the wait", false, false, true, 60, Outcome::NotLocked, {}},
        {"the driver refuses", true, true, true, 1000, Outcome::Error, {Kind::Refused}},
        {"no graph", true, false, false, 1000, Outcome::Error, {Kind::NoTuner}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        statistics->Set(80, 50, row.locks);
        m_pScript->failures["CommitChanges"] = row.refused ? E_FAIL : S_OK;
        PlantGraphControl(row.graph);
        Transponder transponder;
        transponder.frequencyMHz = 11778;
        transponder.symbolRateKsps = 27500;
        transponder.lnbLowMHz = 9750;
        transponder.lnbHighMHz = 10600;
        transponder.lnbSwitchMHz = 11700;
        const TuneResult result =
            Tune(Session(), transponder, std::chrono::milliseconds(row.waitMs));
        EXPECT_EQ(result.outcome, row.outcome);
        EXPECT_EQ(Kinds(result), row.errors);
        if (row.refused) {
            EXPECT_EQ(result.errors[0].text, "KSPROPERTY_CTRL_TUNER set channel_change false");
        }
        EXPECT_EQ(result.driverReports, DriverReports{}) << "the driver had nothing to say";
        EXPECT_TRUE(m_driver.Boxes().Texts().empty());
    }
    PlantGraphControl(true);
}

TEST_F(TuningTest, TheExtrasReachTheDriverBeforeTheTuneAndWhatItSaidComesBackInOrder) {
    const std::size_t tunerCallsBefore = m_pScript->calls.size();
    std::vector<DWORD> sent;
    std::vector<std::size_t> tunerCallsAtSend;
    m_driver.Driver().OnSet([&](const CFakeKsPropertySet::Call& call) {
        sent.push_back(call.id);
        tunerCallsAtSend.push_back(m_pScript->calls.size());
    });
    m_driver.Driver().GetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, E_FAIL);
    m_driver.Driver().Unsupport(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC);
    m_driver.Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_MODCODES, E_FAIL);
    m_pScript->failures["CommitChanges"] = E_FAIL;
    Transponder transponder;
    transponder.frequencyMHz = 11778;
    transponder.symbolRateKsps = 27500;
    transponder.diseqcPortIndex = 1;
    transponder.scramblingCode = ScramblingCode{5, kGoldCode};
    transponder.modcodFilter = ModCodeFilterRecord{};
    transponder.inputStreamId = 7;
    const TuneResult result = Tune(Session(), transponder);
    m_driver.Driver().OnSet(nullptr);

    EXPECT_EQ(sent,
              (std::vector<DWORD>{KSPROPERTY_BDA_STREAMTYPE_PARAMS, KSPROPERTY_BDA_GOLDCODE,
                                  KSPROPERTY_BDA_MODCODES, KSPROPERTY_BDA_INPUTMULTISTREAMID}));
    EXPECT_EQ(tunerCallsAtSend, std::vector<std::size_t>(4, tunerCallsBefore))
        << "nothing reached the tuner before the last extra";
    EXPECT_GT(m_pScript->calls.size(), tunerCallsBefore);
    EXPECT_EQ(
        result.driverReports,
        (DriverReports{{DriverReport::Form::Notice, "Get KSPROPERTY_BDA_GET_MEDIAINFO error"},
                       {DriverReport::Form::Error, "SendDiseqCommand11 QueryInterface Failed"},
                       {DriverReport::Form::Notice, "Successfully set the PLSCode."},
                       {DriverReport::Form::Notice,
                        "Failed set the Mode Codes.please have a check whether you are "
                        "using the latest driver"}}));
    EXPECT_EQ(Kinds(result), std::vector{TuneError::Kind::Refused})
        << "the driver's words on the way are no errors of the tune";
}

TEST_F(TuningTest, AbsurdFieldsParseAsAtoiDoes) {
    m_page.frequency = "";
    m_page.symbolRate = "  27500abc";
    m_page.lnbLow = "x";
    LockTransponder(Session(), m_page);
    const auto& calls = m_pScript->calls;
    auto has = [&](const std::string& call) {
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    };
    EXPECT_TRUE(has("put_Frequency 0"));
    EXPECT_TRUE(has("put_SymbolRate 27500"));
    EXPECT_TRUE(has("put_LocalOscillatorFrequencyLowBand 0"));
}

TEST_F(TuningTest, TheMonitorWaitsForTheWholeLockTp) {
    m_page.port = 2;
    std::atomic<bool> waiting{false};
    std::atomic<bool> acquired{false};
    std::thread monitor;
    m_driver.Driver().OnSet([&](const CFakeKsPropertySet::Call& call) {
        if (call.id != KSPROPERTY_BDA_DISEQC) return;
        monitor = std::thread([&] {
            waiting = true;
            Session().WithDriverHeld([&] { acquired = true; });
        });
        while (!waiting) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    bool acquiredBeforeRun = true;
    m_pControl->onRun = [&] { acquiredBeforeRun = acquired.load(); };
    LockTransponder(Session(), m_page);
    monitor.join();
    EXPECT_FALSE(acquiredBeforeRun) << "the driver mutex is held from the stream type to the run";
    EXPECT_TRUE(acquired);
    m_driver.Driver().OnSet(nullptr);
}

}  // namespace
