#include "drivers/kit/bda_tuner_filter.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/media/base_pin.h"

namespace {

constexpr GUID kMedium = com::MakeGuid("{0B1D0000-0000-4000-8000-00000000C003}");
constexpr GUID kSet = com::MakeGuid("{0B1D0000-0000-4000-8000-00000000C004}");
constexpr HRESULT kDriverAnswer = MakeHresult(0x00000007);  // a success code only the driver gives

// A card whose hooks record what reaches them.
class CScriptedTunerFilter final : public CBdaTunerFilter {
public:
    CScriptedTunerFilter() : CBdaTunerFilter(L"scripted tuner", GUID{}, kMedium) {}

    std::set<Interface> m_refused;
    bool m_bRemoved = false;
    std::optional<HRESULT> m_intercept;
    HRESULT m_hrTune = S_OK;
    int m_nTunes = 0;
    BdaTuneRequest m_tuned;
    std::vector<BdaPropertyRequest> m_requests;  // what reached the driver

private:
    HRESULT Property(const BdaPropertyRequest& request) override {
        if (request.set != kSet) return E_PROP_SET_UNSUPPORTED;
        m_requests.push_back(request);
        if (request.bytesReturned != nullptr) *request.bytesReturned = request.dataLength;
        if (request.typeSupport != nullptr) *request.typeSupport = KSPROPERTY_SUPPORT_GET;
        return kDriverAnswer;
    }
    bool Refuses(Interface which) const override { return m_refused.count(which) != 0; }
    HRESULT Tune(const BdaTuneRequest& request) override {
        ++m_nTunes;
        m_tuned = request;
        return m_hrTune;
    }
    bool IsRemoved() const override { return m_bRemoved; }
    std::optional<HRESULT> InterceptCommit() override { return m_intercept; }
    HRESULT ReadSignal(BdaSignal* signal) override {
        *signal = BdaSignal{true, true, 50, 40};
        return S_OK;
    }
};

ComPtr<CScriptedTunerFilter> NewTuner() {
    return ComPtr<CScriptedTunerFilter>(new CScriptedTunerFilter);
}

// IKsPropertySet of the filter or of its Input0.
ComPtr<IKsPropertySet> PropertiesOf(CScriptedTunerFilter* tuner, CBdaTunerFilter::Surface surface) {
    ComPtr<IKsPropertySet> properties;
    IUnknown* from = surface == CBdaTunerFilter::Surface::Pin
                         ? static_cast<IUnknown*>(static_cast<IPin*>(tuner->GetPin(0)))
                         : static_cast<IUnknown*>(static_cast<IBaseFilter*>(tuner));
    from->QueryInterface(IKsPropertySet::kIid, properties.ReleaseAndGetVoidAddress());
    return properties;
}

// The tuner node's IBDA_SignalStatistics, or null.
ComPtr<IBDA_SignalStatistics> StatisticsOf(CScriptedTunerFilter* tuner) {
    ComPtr<IUnknown> node;
    EXPECT_EQ(tuner->GetControlNode(0, 1, kBdaTunerNode, node.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IBDA_SignalStatistics> statistics;
    node.As(&statistics);
    return statistics;
}

using Interface = CBdaTunerFilter::Interface;
using Surface = CBdaTunerFilter::Surface;

struct RefusalCase {
    const char* name;
    Interface which;
};

class BdaTunerFilterRefusal : public ::testing::TestWithParam<RefusalCase> {};

// A refused interface answers E_NOINTERFACE where it lives; the others stay.
TEST_P(BdaTunerFilterRefusal, OnlyTheRefusedInterfaceIsMissing) {
    ComPtr<CScriptedTunerFilter> tuner = NewTuner();
    tuner->m_refused.insert(GetParam().which);
    const auto offers = [&](Interface which) {
        void* out = reinterpret_cast<void*>(1);
        HRESULT hr = E_FAIL;
        switch (which) {
            case Interface::Topology:
                hr = tuner->QueryInterface(IBDA_Topology::kIid, &out);
                break;
            case Interface::DeviceControl:
                hr = tuner->QueryInterface(IBDA_DeviceControl::kIid, &out);
                break;
            case Interface::FilterPropertySet:
                hr = tuner->QueryInterface(IKsPropertySet::kIid, &out);
                break;
            case Interface::PinPropertySet:
                hr = tuner->GetPin(0)->QueryInterface(IKsPropertySet::kIid, &out);
                break;
            case Interface::SignalStatistics:
                return StatisticsOf(tuner.Get()) != nullptr;
        }
        if (FAILED(hr)) {
            EXPECT_EQ(hr, E_NOINTERFACE);
            EXPECT_EQ(out, nullptr) << "cleared";
            return false;
        }
        static_cast<IUnknown*>(out)->Release();
        return true;
    };
    for (Interface which :
         {Interface::Topology, Interface::DeviceControl, Interface::FilterPropertySet,
          Interface::PinPropertySet, Interface::SignalStatistics}) {
        EXPECT_EQ(offers(which), which != GetParam().which) << static_cast<int>(which);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Interfaces, BdaTunerFilterRefusal,
    ::testing::Values(RefusalCase{"Topology", Interface::Topology},
                      RefusalCase{"DeviceControl", Interface::DeviceControl},
                      RefusalCase{"FilterPropertySet", Interface::FilterPropertySet},
                      RefusalCase{"PinPropertySet", Interface::PinPropertySet},
                      RefusalCase{"SignalStatistics", Interface::SignalStatistics}),
    [](const ::testing::TestParamInfo<RefusalCase>& row) { return std::string(row.param.name); });

// The filter's property set and Input0's reach the same driver as one request each, with their
// surface and every argument, and the driver's answer comes back unchanged.
TEST(BdaTunerFilter, EachPropertySetReachesTheDriverWithItsSurface) {
    using Operation = BdaPropertyRequest::Operation;
    ComPtr<CScriptedTunerFilter> tuner = NewTuner();
    for (Surface surface : {Surface::Filter, Surface::Pin}) {
        tuner->m_requests.clear();
        ComPtr<IKsPropertySet> properties = PropertiesOf(tuner.Get(), surface);
        ASSERT_TRUE(properties);
        BYTE instance[4] = {};
        BYTE data[12] = {};
        DWORD returned = 0;
        DWORD support = 0;
        EXPECT_EQ(properties->Set(kSet, 3, instance, 4, data, 12), kDriverAnswer);
        EXPECT_EQ(properties->Get(kSet, 5, instance, 4, data, 8, &returned), kDriverAnswer);
        EXPECT_EQ(properties->QuerySupported(kSet, 9, &support), kDriverAnswer);
        EXPECT_EQ(properties->QuerySupported(kMedium, 9, &support), E_PROP_SET_UNSUPPORTED);
        EXPECT_EQ(returned, 8u);
        EXPECT_EQ(support, KSPROPERTY_SUPPORT_GET);

        ASSERT_EQ(tuner->m_requests.size(), 3u);
        struct Expected {
            Operation operation;
            DWORD id;
            void* instanceData;
            DWORD instanceLength;
            void* propertyData;
            DWORD dataLength;
            DWORD* bytesReturned;
            DWORD* typeSupport;
        };
        const Expected expected[] = {
            {Operation::Set, 3, instance, 4, data, 12, nullptr, nullptr},
            {Operation::Get, 5, instance, 4, data, 8, &returned, nullptr},
            {Operation::QuerySupported, 9, nullptr, 0, nullptr, 0, nullptr, &support},
        };
        for (std::size_t i = 0; i < 3; ++i) {
            const BdaPropertyRequest& got = tuner->m_requests[i];
            const Expected& want = expected[i];
            EXPECT_EQ(got.surface, surface);
            EXPECT_EQ(got.operation, want.operation) << i;
            EXPECT_EQ(got.set, kSet);
            EXPECT_EQ(got.id, want.id);
            EXPECT_EQ(got.instanceData, want.instanceData) << i;
            EXPECT_EQ(got.instanceLength, want.instanceLength) << i;
            EXPECT_EQ(got.propertyData, want.propertyData) << i;
            EXPECT_EQ(got.dataLength, want.dataLength) << i;
            EXPECT_EQ(got.bytesReturned, want.bytesReturned) << i;
            EXPECT_EQ(got.typeSupport, want.typeSupport) << i;
        }
    }
}

TEST(BdaTunerFilter, CommitTunesThePendingRequestUnlessTheCardAnswersFirst) {
    ComPtr<CScriptedTunerFilter> tuner = NewTuner();
    ComPtr<IUnknown> node;
    ASSERT_EQ(tuner->GetControlNode(0, 1, kBdaTunerNode, node.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IBDA_FrequencyFilter> frequency;
    ASSERT_TRUE(SUCCEEDED(node.As(&frequency)));
    ULONG state = 9;

    EXPECT_EQ(tuner->StartChanges(), S_OK);
    frequency->put_Frequency(11'362'000);
    tuner->m_intercept = MakeHresult(0x80004005);
    EXPECT_EQ(tuner->CommitChanges(), MakeHresult(0x80004005));
    EXPECT_EQ(tuner->m_nTunes, 0) << "the card answered instead of tuning";
    EXPECT_EQ(tuner->GetChangeState(&state), S_OK);
    EXPECT_EQ(state, 1u) << "the request stays pending";

    tuner->m_intercept.reset();
    tuner->m_hrTune = S_FALSE;
    EXPECT_EQ(tuner->CommitChanges(), S_FALSE) << "the tune's own answer";
    EXPECT_EQ(tuner->m_nTunes, 1);
    EXPECT_EQ(tuner->m_tuned.frequency, 11'362'000u);
    EXPECT_EQ(tuner->GetChangeState(&state), S_OK);
    EXPECT_EQ(state, 0u);
}

TEST(BdaTunerFilter, ARemovedCardFailsStartAndCheckButStillBeginsAnew) {
    ComPtr<CScriptedTunerFilter> tuner = NewTuner();
    EXPECT_EQ(tuner->CheckChanges(), S_OK);
    tuner->m_bRemoved = true;
    EXPECT_EQ(tuner->StartChanges(), MakeHresult(0x8007048F));
    EXPECT_EQ(tuner->CheckChanges(), MakeHresult(0x8007048F));
    ULONG state = 9;
    EXPECT_EQ(tuner->GetChangeState(&state), S_OK);
    EXPECT_EQ(state, 0u);
}

TEST(BdaTunerFilter, HasInput0AndTheMediumOutput) {
    ComPtr<CScriptedTunerFilter> tuner = NewTuner();
    ASSERT_EQ(tuner->GetPinCount(), 2);
    EXPECT_EQ(tuner->GetPin(0)->Name(), L"Input0");
    EXPECT_EQ(tuner->GetPin(1)->Name(), L"MPEG2 Transport");
    EXPECT_EQ(tuner->GetPin(2), nullptr);
    AM_MEDIA_TYPE offered;
    EXPECT_EQ(tuner->GetPin(1)->GetMediaType(0, &offered), S_OK);
    EXPECT_EQ(offered.subtype, kMedium);
}

}  // namespace
