#include "drivers/kit/bda_tuner_topology.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/com/com_ptr.h"
#include "support/fake_filter.h"

namespace {

class CScriptedSignals final : public IBdaSignalSource {
public:
    HRESULT ReadSignal(BdaSignal* signal) override {
        if (FAILED(m_hrRead)) return m_hrRead;
        *signal = m_signal;
        return S_OK;
    }
    bool OffersSignalStatistics() const override { return m_bOffered; }

    BdaSignal m_signal;
    HRESULT m_hrRead = S_OK;
    bool m_bOffered = true;
};

class BdaTunerTopologyTest : public ::testing::Test {
protected:
    template <typename I>
    ComPtr<I> Node(ULONG nodeType) {
        ComPtr<IUnknown> node;
        EXPECT_EQ(m_topology.GetControlNode(0, 1, nodeType, node.ReleaseAndGetAddressOf()), S_OK);
        ComPtr<I> out;
        if (node) node.As(&out);
        return out;
    }
    ULONG ChangeState() {
        ULONG state = 99;
        EXPECT_EQ(m_topology.GetChangeState(&state), S_OK);
        return state;
    }
    // The filter's reference count, read through an AddRef and Release pair.
    ULONG FilterReferences() {
        m_pFilter->AddRef();
        return m_pFilter->Release();
    }

    ComPtr<CFakeFilter> m_pFilter{new CFakeFilter({})};
    CScriptedSignals m_signals;
    CBdaTunerTopology m_topology{m_pFilter.Get(), &m_signals};
};

TEST_F(BdaTunerTopologyTest, OffersTheTwoNodesOnlyBetweenPinZeroAndPinOne) {
    IUnknown* node = reinterpret_cast<IUnknown*>(this);
    EXPECT_EQ(m_topology.GetControlNode(1, 0, kBdaTunerNode, &node), E_INVALIDARG);
    EXPECT_EQ(node, nullptr) << "cleared on failure";
    EXPECT_EQ(m_topology.GetControlNode(0, 1, 2, &node), E_INVALIDARG);
    EXPECT_EQ(m_topology.GetControlNode(0, 1, kBdaTunerNode, nullptr), E_POINTER);

    EXPECT_TRUE(Node<IBDA_FrequencyFilter>(kBdaTunerNode));
    EXPECT_TRUE(Node<IBDA_LNBInfo>(kBdaTunerNode));
    EXPECT_TRUE(Node<IBDA_SignalStatistics>(kBdaTunerNode));
    EXPECT_FALSE(Node<IBDA_DigitalDemodulator>(kBdaTunerNode));
    EXPECT_TRUE(Node<IBDA_DigitalDemodulator>(kBdaDemodulatorNode));
    EXPECT_FALSE(Node<IBDA_FrequencyFilter>(kBdaDemodulatorNode));
}

TEST_F(BdaTunerTopologyTest, AHeldNodeKeepsItsFilterAlive) {
    const ULONG before = FilterReferences();
    ComPtr<IBDA_LNBInfo> lnb = Node<IBDA_LNBInfo>(kBdaTunerNode);
    ComPtr<IBDA_DigitalDemodulator> demodulator =
        Node<IBDA_DigitalDemodulator>(kBdaDemodulatorNode);
    EXPECT_EQ(FilterReferences(), before + 2);
    lnb = nullptr;
    demodulator = nullptr;
    EXPECT_EQ(FilterReferences(), before);
}

TEST_F(BdaTunerTopologyTest, NodeSettingsWaitUntilTheCommitTakesThem) {
    const BdaTuneRequest fresh = m_topology.Pending().Current();
    EXPECT_EQ(fresh.frequency, kBdaNotSet);
    EXPECT_EQ(fresh.lowOscillator, kBdaNotSet);
    EXPECT_EQ(fresh.symbolRate, kBdaNotSet);
    EXPECT_EQ(fresh.polarisation, -1);
    EXPECT_EQ(ChangeState(), 0u);

    ComPtr<IBDA_FrequencyFilter> frequency = Node<IBDA_FrequencyFilter>(kBdaTunerNode);
    ComPtr<IBDA_LNBInfo> lnb = Node<IBDA_LNBInfo>(kBdaTunerNode);
    ComPtr<IBDA_DigitalDemodulator> demodulator =
        Node<IBDA_DigitalDemodulator>(kBdaDemodulatorNode);
    m_topology.Pending().Begin();
    frequency->put_Frequency(11'362'000);
    frequency->put_Polarity(BDA_POLARISATION_LINEAR_H);
    lnb->put_LocalOscillatorFrequencyLowBand(9'750'000);
    lnb->put_LocalOscillatorFrequencyHighBand(10'600'000);
    lnb->put_HighLowSwitchFrequency(11'700'000);
    demodulator->put_SymbolRate(22'000);
    demodulator->put_ModulationType(BDA_MOD_8PSK);
    EXPECT_EQ(ChangeState(), 1u);

    ULONG value = 0;
    EXPECT_EQ(lnb->get_HighLowSwitchFrequency(&value), S_OK);
    EXPECT_EQ(value, 11'700'000u);
    ModulationType modulation = BDA_MOD_NOT_SET;
    EXPECT_EQ(demodulator->get_ModulationType(&modulation), S_OK);
    EXPECT_EQ(modulation, BDA_MOD_8PSK) << "kept for its getter";
    EXPECT_EQ(lnb->get_LocalOscillatorFrequencyLowBand(nullptr), E_POINTER);

    const BdaTuneRequest taken = m_topology.Pending().Take();
    EXPECT_EQ(taken.frequency, 11'362'000u);
    EXPECT_EQ(taken.multiplier, 1000u);
    EXPECT_EQ(taken.polarisation, BDA_POLARISATION_LINEAR_H);
    EXPECT_EQ(taken.lowOscillator, 9'750'000u);
    EXPECT_EQ(taken.highOscillator, 10'600'000u);
    EXPECT_EQ(taken.lnbSwitch, 11'700'000u);
    EXPECT_EQ(taken.symbolRate, 22'000u);
    EXPECT_EQ(ChangeState(), 0u) << "nothing pending after the commit";
    EXPECT_EQ(m_topology.Pending().Current().frequency, 11'362'000u) << "kept for the next tune";

    frequency->put_Frequency(12'000'000);
    m_topology.Pending().Begin();
    EXPECT_EQ(ChangeState(), 0u) << "a new set of changes starts clean";
}

TEST_F(BdaTunerTopologyTest, StatisticsComeFromTheCardOrTellWhyNot) {
    ComPtr<IBDA_SignalStatistics> statistics = Node<IBDA_SignalStatistics>(kBdaTunerNode);
    m_signals.m_signal = BdaSignal{true, true, 87, 64};
    LONG strength = 0;
    LONG quality = 0;
    BOOLEAN locked = 0;
    BOOLEAN present = 0;
    EXPECT_EQ(statistics->get_SignalStrength(&strength), S_OK);
    EXPECT_EQ(statistics->get_SignalQuality(&quality), S_OK);
    EXPECT_EQ(statistics->get_SignalLocked(&locked), S_OK);
    EXPECT_EQ(statistics->get_SignalPresent(&present), S_OK);
    EXPECT_EQ(strength, 87);
    EXPECT_EQ(quality, 64);
    EXPECT_EQ(locked, 1);
    EXPECT_EQ(present, 1);

    const HRESULT removed = static_cast<HRESULT>(0x8007048F);
    m_signals.m_hrRead = removed;
    strength = -5;
    EXPECT_EQ(statistics->get_SignalStrength(&strength), removed);
    EXPECT_EQ(strength, -5) << "a failed read writes nothing";
    EXPECT_EQ(statistics->get_SignalLocked(nullptr), E_POINTER);

    m_signals.m_bOffered = false;
    EXPECT_FALSE(Node<IBDA_SignalStatistics>(kBdaTunerNode));
    EXPECT_TRUE(Node<IBDA_FrequencyFilter>(kBdaTunerNode)) << "the rest of the node stays";
}

TEST_F(BdaTunerTopologyTest, SettingsAndCommitsFromTwoThreadsAreSafe) {
    ComPtr<IBDA_FrequencyFilter> frequency = Node<IBDA_FrequencyFilter>(kBdaTunerNode);
    std::thread writer([&] {
        for (ULONG i = 1; i <= 2000; ++i) frequency->put_Frequency(i);
    });
    ULONG last = 0;
    for (int i = 0; i < 2000; ++i) {
        const ULONG seen = m_topology.Pending().Take().frequency;
        if (seen != kBdaNotSet) {
            EXPECT_GE(seen, last) << "no torn or stale value";
            last = seen;
        }
    }
    writer.join();
    EXPECT_EQ(m_topology.Pending().Current().frequency, 2000u);
}

}  // namespace
