#include "platform/bda/dvbs_network_provider.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/bda/bda_classes.h"
#include "platform/bda/dvbs_locator.h"
#include "platform/bda/dvbs_tuning_space.h"
#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"
#include "support/fake_tuner_filter.h"

namespace {

using Calls = std::vector<std::string>;

// What the provider must hand the tuner for 11778 MHz vertical, 27500 kSps, LNB 9750/10600
// MHz switching at 11700 MHz: kHz throughout, not-set values as they are.
const Calls kExpectedTune = {
    "StartChanges",
    "put_LocalOscillatorFrequencyLowBand 9750000",
    "put_LocalOscillatorFrequencyHighBand 10600000",
    "put_HighLowSwitchFrequency 11700000",
    "put_FrequencyMultiplier 1000",
    "put_Frequency 11778000",
    "put_Polarity 2",
    "put_SymbolRate 27500",
    "put_ModulationType -1",
    "put_InnerFECMethod -1",
    "put_InnerFECRate -1",
    "put_OuterFECMethod 1",
    "put_SpectralInversion -1",
    "CommitChanges",
};

class DVBSNetworkProviderTest : public testing::Test {
protected:
    void SetUp() override {
        RegisterBdaClasses();
        ASSERT_EQ(CoCreateInstance(CLSID_DVBSNetworkProvider, nullptr, CLSCTX_INPROC_SERVER,
                                   m_pProvider.ReleaseAndGetAddressOf()),
                  S_OK);
        m_pTuner = m_pProvider.As<ITuner>();
        ASSERT_TRUE(m_pTuner);
        m_pTunerFilter = new CFakeTunerFilter(m_pScript);
    }

    // Connected pins hold each other's filter, as in any graph; the graph breaks that cycle
    // when it lets go of its filters, and so does this teardown.
    void TearDown() override {
        for (IBaseFilter* filter :
             {m_pProvider.Get(), static_cast<IBaseFilter*>(m_pTunerFilter.Get())}) {
            ComPtr<IEnumPins> pins;
            ASSERT_EQ(filter->EnumPins(pins.ReleaseAndGetAddressOf()), S_OK);
            ComPtr<IPin> pin;
            while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) pin->Disconnect();
        }
    }

    HRESULT Connect() {
        ComPtr<IPin> antenna;
        ComPtr<IPin> input;
        EXPECT_EQ(m_pProvider->FindPin(L"Antenna Out", antenna.ReleaseAndGetAddressOf()), S_OK);
        EXPECT_EQ(m_pTunerFilter->FindPin(L"Input0", input.ReleaseAndGetAddressOf()), S_OK);
        return antenna->Connect(input.Get(), nullptr);
    }

    // The tuning space and request as the tuning step builds them.
    ComPtr<ITuneRequest> DvbsRequest() {
        m_pSpace->put__NetworkType(CLSID_DVBSNetworkProvider);
        m_pSpace->put_LNBSwitch(11700000);
        m_pSpace->put_HighOscillator(10600000);
        m_pSpace->put_LowOscillator(9750000);
        ComPtr<ITuneRequest> request;
        EXPECT_EQ(m_pSpace->CreateTuneRequest(request.ReleaseAndGetAddressOf()), S_OK);
        ComPtr<CDVBSLocator> locator(new CDVBSLocator());
        locator->put_OuterFEC(BDA_FEC_VITERBI);
        locator->put_CarrierFrequency(11778000);
        locator->put_SignalPolarisation(BDA_POLARISATION_LINEAR_V);
        locator->put_SymbolRate(27500);
        request->put_Locator(locator.Get());
        return request;
    }

    std::shared_ptr<FakeTunerScript> m_pScript = std::make_shared<FakeTunerScript>();
    ComPtr<IBaseFilter> m_pProvider;
    ComPtr<ITuner> m_pTuner;
    ComPtr<CFakeTunerFilter> m_pTunerFilter;
    ComPtr<CDVBSTuningSpace> m_pSpace{new CDVBSTuningSpace()};
};

TEST_F(DVBSNetworkProviderTest, AntennaOutOffersOnlyTheDvbsAntennaType) {
    ComPtr<IPin> antenna;
    ASSERT_EQ(m_pProvider->FindPin(L"Antenna Out", antenna.ReleaseAndGetAddressOf()), S_OK);
    PIN_DIRECTION direction = PINDIR_INPUT;
    antenna->QueryDirection(&direction);
    EXPECT_EQ(direction, PINDIR_OUTPUT);
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(antenna->EnumMediaTypes(types.ReleaseAndGetAddressOf()), S_OK);
    AM_MEDIA_TYPE offered[2];
    ULONG fetched = 0;
    EXPECT_EQ(types->Next(2, offered, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(offered[0].majortype, KSDATAFORMAT_TYPE_BDA_ANTENNA);
    EXPECT_EQ(offered[0].subtype, CLSID_DVBSNetworkProvider);
    CLSID clsid;
    m_pProvider->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_DVBSNetworkProvider);
}

TEST_F(DVBSNetworkProviderTest, ConnectsOnlyToATunerInputForItsNetworkType) {
    m_pScript->acceptedNetworkType = CLSID_DVBSLocator;  // some other network's antenna
    EXPECT_TRUE(FAILED(Connect()));
    m_pScript->acceptedNetworkType = CLSID_DVBSNetworkProvider;
    ASSERT_EQ(Connect(), S_OK);
    ComPtr<IPin> input;
    m_pTunerFilter->FindPin(L"Input0", input.ReleaseAndGetAddressOf());
    AM_MEDIA_TYPE agreed;
    ASSERT_EQ(input->ConnectionMediaType(&agreed), S_OK);
    EXPECT_EQ(agreed.majortype, KSDATAFORMAT_TYPE_BDA_ANTENNA);
    EXPECT_EQ(agreed.subtype, CLSID_DVBSNetworkProvider);
}

TEST_F(DVBSNetworkProviderTest, ATuneRequestReachesTheTunerAsKilohertzInOrderThenCommits) {
    ASSERT_EQ(Connect(), S_OK);
    const auto request = DvbsRequest();
    ASSERT_EQ(m_pTuner->put_TuneRequest(request.Get()), S_OK);
    EXPECT_EQ(m_pScript->calls, kExpectedTune);
    ComPtr<ITuneRequest> kept;
    ASSERT_EQ(m_pTuner->get_TuneRequest(kept.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(kept.Get(), request.Get());
}

TEST_F(DVBSNetworkProviderTest, NotSetOscillatorsReachTheDriverAsAllOnes) {
    ASSERT_EQ(Connect(), S_OK);
    // The tuning space as it is made: -1 for every LNB value.
    ComPtr<ITuneRequest> request;
    m_pSpace->CreateTuneRequest(request.ReleaseAndGetAddressOf());
    request->put_Locator(ComPtr<CDVBSLocator>(new CDVBSLocator()).Get());
    ASSERT_EQ(m_pTuner->put_TuneRequest(request.Get()), S_OK);
    ASSERT_EQ(m_pScript->calls.size(), kExpectedTune.size());
    EXPECT_EQ(m_pScript->calls[1], "put_LocalOscillatorFrequencyLowBand 4294967295");
    EXPECT_EQ(m_pScript->calls[5], "put_Frequency 4294967295");
    EXPECT_EQ(m_pScript->calls[7], "put_SymbolRate 4294967295");
}

TEST_F(DVBSNetworkProviderTest, TheTuningSpacesCurrentLnbValuesAreUsedAtEachTune) {
    ASSERT_EQ(Connect(), S_OK);
    const auto request = DvbsRequest();
    m_pSpace->put_LNBSwitch(11800000);  // after the request was made
    ASSERT_EQ(m_pTuner->put_TuneRequest(request.Get()), S_OK);
    ASSERT_EQ(m_pScript->calls.size(), kExpectedTune.size());
    EXPECT_EQ(m_pScript->calls[3], "put_HighLowSwitchFrequency 11800000");
}

TEST_F(DVBSNetworkProviderTest, RequestsThatCannotTuneFailWithoutTouchingTheTuner) {
    EXPECT_EQ(m_pTuner->put_TuneRequest(nullptr), E_POINTER);
    const auto request = DvbsRequest();
    EXPECT_EQ(m_pTuner->put_TuneRequest(request.Get()), VFW_E_NOT_CONNECTED);
    // Kept all the same: the system hands the first request over before anything is connected.
    ComPtr<ITuneRequest> kept;
    m_pTuner->get_TuneRequest(kept.ReleaseAndGetAddressOf());
    EXPECT_EQ(kept.Get(), request.Get());

    ASSERT_EQ(Connect(), S_OK);
    ComPtr<ITuneRequest> noLocator;
    m_pSpace->CreateTuneRequest(noLocator.ReleaseAndGetAddressOf());
    EXPECT_EQ(m_pTuner->Validate(noLocator.Get()), E_INVALIDARG);
    EXPECT_EQ(m_pTuner->put_TuneRequest(noLocator.Get()), E_INVALIDARG);
    EXPECT_TRUE(m_pScript->calls.empty());
    EXPECT_EQ(m_pTuner->Validate(request.Get()), S_OK);
    EXPECT_EQ(m_pTuner->Validate(nullptr), E_POINTER);
}

struct Refusal {
    const char* method;
    HRESULT hr;
    std::size_t callsMade;  // how far the sequence got, the refused call included
};

TEST_F(DVBSNetworkProviderTest, TheFirstRefusalEndsTheTuneAndIsReturned) {
    const Refusal refusals[] = {
        {"StartChanges", E_FAIL, 1},
        {"put_HighLowSwitchFrequency", E_INVALIDARG, 4},
        {"put_Frequency", HRESULT_ERROR_GEN_FAILURE, 6},
        {"put_SpectralInversion", E_NOTIMPL, 13},
        {"CommitChanges", E_FAIL, 14},
    };
    ASSERT_EQ(Connect(), S_OK);
    const auto request = DvbsRequest();
    for (const auto& refusal : refusals) {
        m_pScript->calls.clear();
        m_pScript->failures = {{refusal.method, refusal.hr}};
        EXPECT_EQ(m_pTuner->put_TuneRequest(request.Get()), refusal.hr) << refusal.method;
        const Calls expected(kExpectedTune.begin(), kExpectedTune.begin() + refusal.callsMade);
        EXPECT_EQ(m_pScript->calls, expected) << refusal.method;
    }
}

TEST_F(DVBSNetworkProviderTest, ATunerWithoutANodeOrInterfaceCannotBeTuned) {
    bool FakeTunerScript::*const missing[] = {
        &FakeTunerScript::bTopology,        &FakeTunerScript::bDeviceControl,
        &FakeTunerScript::bTunerNode,       &FakeTunerScript::bDemodulatorNode,
        &FakeTunerScript::bFrequencyFilter, &FakeTunerScript::bLNBInfo,
        &FakeTunerScript::bDemodulator};
    ASSERT_EQ(Connect(), S_OK);
    const auto request = DvbsRequest();
    for (std::size_t i = 0; i < std::size(missing); ++i) {
        *m_pScript = FakeTunerScript{};
        (*m_pScript).*missing[i] = false;
        EXPECT_EQ(m_pTuner->put_TuneRequest(request.Get()), E_NOINTERFACE) << i;
        EXPECT_TRUE(m_pScript->calls.empty()) << i;
    }
}

TEST_F(DVBSNetworkProviderTest, TheProviderIsMadeFromTheTuningSpacesNetworkType) {
    // The graph's way: network type text -> class identifier -> filter -> ITuner.
    std::wstring text;
    m_pSpace->put__NetworkType(CLSID_DVBSNetworkProvider);
    ASSERT_EQ(m_pSpace->get_NetworkType(&text), S_OK);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromString(text, &clsid), S_OK);
    ComPtr<IBaseFilter> provider;
    ASSERT_EQ(
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, provider.ReleaseAndGetAddressOf()),
        S_OK);
    const auto tuner = provider.As<ITuner>();
    ASSERT_TRUE(tuner);
    ASSERT_EQ(tuner->put_TuningSpace(m_pSpace.Get()), S_OK);
    ComPtr<ITuningSpace> held;
    ASSERT_EQ(tuner->get_TuningSpace(held.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(held.Get(), static_cast<ITuningSpace*>(m_pSpace.Get()));
}

}  // namespace
