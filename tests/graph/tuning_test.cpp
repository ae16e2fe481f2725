#include "graph/tuning.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "core/process_globals.h"
#include "graph/bda_graph.h"
#include "graph/driver_control.h"
#include "graph/driver_test_environment.h"
#include "platform/bda/bda_classes.h"
#include "platform/com/class_registry.h"
#include "platform/com/co_create.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/media/media_classes.h"
#include "platform/win/known_folders.h"
#include "support/fake_signal_statistics.h"
#include "support/fake_tuner_filter.h"
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

    std::string frequency = "11778", symbolRate = "27500", lnbLow = "9750", lnbHigh = "10600",
                lnbSwitch = "11700";
    std::int32_t polarity = 1, port = 0;
    StreamTypeRecord streamType = kTransportStreamType;
    std::int32_t keptSwitch = 0;
    std::vector<std::string> events;
};

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
        platform::SetConfigFolderForTesting(m_folder.Path());
        m_driver.Driver().Reply(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, {1, 0});
        m_pTuner = new CFakeTunerFilter(m_pScript);
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL,
                         g_BDAGraph.m_pGraph.ReleaseAndGetAddressOf());
        CoCreateInstance(CLSID_DVBSNetworkProvider, nullptr, CLSCTX_ALL,
                         g_BDAGraph.m_pProvider.ReleaseAndGetAddressOf());
        g_BDAGraph.m_pGraph->AddFilter(g_BDAGraph.m_pProvider.Get(), L"Network DVBS Provider");
        g_BDAGraph.m_pGraph->AddFilter(m_pTuner.Get(), nullptr);
        ASSERT_EQ(g_BDAGraph.JoinFilters(g_BDAGraph.m_pGraph.Get(), g_BDAGraph.m_pProvider.Get(),
                                         m_pTuner.Get()),
                  S_OK);
        g_BDAGraph.m_pSpace = g_BDAGraph.MakeTuningSpace();
        g_BDAGraph.m_pGraphControl = m_pControl.Get();
    }
    void TearDown() override {
        g_BDAGraph.m_pGraph->RemoveFilter(m_pTuner.Get());
        g_BDAGraph.m_pGraph->RemoveFilter(g_BDAGraph.m_pProvider.Get());
        g_BDAGraph.m_pProvider.Reset();
        g_BDAGraph.m_pGraph.Reset();
        g_BDAGraph.m_pSpace.Reset();
        platform::SetConfigFolderForTesting("");
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
    LockTransponder(m_page);
    EXPECT_TRUE(m_driver.Boxes().Boxes().empty()) << m_driver.Boxes().Texts().front();
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
    EXPECT_EQ(m_page.events, (std::vector<std::string>{"save", "save", "disable", "enable"}));
    EXPECT_TRUE(DiseqcSets().empty()) << "Diseqc NULL sends nothing";
    for (const auto& call : m_driver.Driver().Sets()) {
        EXPECT_NE(call.id, KSPROPERTY_BDA_STREAMTYPE_PARAMS) << "a current stream type is not sent";
    }
    // The tuner control record holds the transponder in the page's units.
    const auto& bytes = g_TunerControlRecord.bytes;
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
    LockTransponder(m_page);
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
    LockTransponder(m_page);
    EXPECT_EQ(m_pControl->calls, (std::vector<std::string>{"Stop", "Run"}));
    const auto sets = m_driver.Driver().Sets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].data, (std::vector<std::uint8_t>{0, 1}));
}

TEST_F(TuningTest, AFailedTuneRequestIsReportedAndTheButtonsComeBack) {
    CScopedClassOverride noLocator(CLSID_DVBSLocator, nullptr);
    LockTransponder(m_page);
    EXPECT_EQ(m_driver.Boxes().Texts(),
              (std::vector<std::string>{"CreateDVBTuneRequest is invalid!",
                                        "KSPROPERTY_CTRL_TUNER set channel_change false"}));
    EXPECT_EQ(m_driver.Boxes().Boxes()[0].caption, AfxGetAppName());
    EXPECT_EQ(m_driver.Boxes().Boxes()[1].caption, "error");
    EXPECT_EQ(m_pControl->calls, std::vector<std::string>{"Run"})
        << "the graph runs whatever the tuning gave";
    EXPECT_EQ(m_page.events.back(), "enable");
}

TEST_F(TuningTest, ARefusedTuneIsReported) {
    m_pScript->failures["CommitChanges"] = E_FAIL;
    LockTransponder(m_page);
    EXPECT_EQ(m_driver.Boxes().Texts(),
              std::vector<std::string>{"KSPROPERTY_CTRL_TUNER set channel_change false"});
    EXPECT_EQ(m_page.events.back(), "enable");
}

TEST_F(TuningTest, ATunerThatSaysWhyItRefusedIsQuotedInsteadOfTheBareRefusal) {
    // A description left by an earlier failure is never shown for this one.
    com::SetErrorDescription("stale");
    m_pScript->failures["CommitChanges"] = E_FAIL;
    LockTransponder(m_page);
    EXPECT_EQ(m_driver.Boxes().Texts(),
              std::vector<std::string>{"KSPROPERTY_CTRL_TUNER set channel_change false"});

    m_driver.Boxes().Clear();
    m_pScript->failureDescriptions["CommitChanges"] =
        "The frontend of the tuner \"T\" is in use by another program: tvserver (process 7). "
        "Close that program, or choose another tuner.";
    LockTransponder(m_page);
    ASSERT_EQ(m_driver.Boxes().Boxes().size(), 1u);
    EXPECT_EQ(m_driver.Boxes().Boxes()[0].text, m_pScript->failureDescriptions["CommitChanges"]);
    EXPECT_EQ(m_driver.Boxes().Boxes()[0].caption, "error");
}

TEST_F(TuningTest, WithoutAGraphNothingReachesTheDriverAndTheUserIsTold) {
    g_BDAGraph.m_pGraphControl.Reset();
    m_page.port = 1;
    LockTransponder(m_page);
    EXPECT_TRUE(m_driver.Driver().Calls().empty());
    ASSERT_EQ(m_driver.Boxes().Texts().size(), 1u);
    EXPECT_NE(m_driver.Boxes().Texts()[0].find("No tuner is ready"), std::string::npos);
    EXPECT_EQ(m_page.events, (std::vector<std::string>{"save", "save", "disable", "enable"}));
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
        g_BDAGraph.m_pGraphControl = row.graph ? m_pControl.Get() : nullptr;
        Transponder transponder;
        transponder.frequencyMHz = 11778;
        transponder.symbolRateKsps = 27500;
        transponder.lnbLowMHz = 9750;
        transponder.lnbHighMHz = 10600;
        transponder.lnbSwitchMHz = 11700;
        const TuneResult result = Tune(transponder, std::chrono::milliseconds(row.waitMs));
        EXPECT_EQ(result.outcome, row.outcome);
        std::vector<Kind> kinds;
        for (const TuneError& error : result.errors) kinds.push_back(error.kind);
        EXPECT_EQ(kinds, row.errors);
        if (row.refused) {
            EXPECT_EQ(result.errors[0].text, "KSPROPERTY_CTRL_TUNER set channel_change false");
        }
        EXPECT_TRUE(m_driver.Boxes().Texts().empty());
    }
    g_BDAGraph.m_pGraphControl = m_pControl.Get();
}

TEST_F(TuningTest, AbsurdFieldsParseAsAtoiDoes) {
    m_page.frequency = "";
    m_page.symbolRate = "  27500abc";
    m_page.lnbLow = "x";
    LockTransponder(m_page);
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
            std::lock_guard driver(g_hDriverMutex);
            acquired = true;
        });
        while (!waiting) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    });
    bool acquiredBeforeRun = true;
    m_pControl->onRun = [&] { acquiredBeforeRun = acquired.load(); };
    LockTransponder(m_page);
    monitor.join();
    EXPECT_FALSE(acquiredBeforeRun) << "the driver mutex is held from the stream type to the run";
    EXPECT_TRUE(acquired);
    m_driver.Driver().OnSet(nullptr);
}

}  // namespace
