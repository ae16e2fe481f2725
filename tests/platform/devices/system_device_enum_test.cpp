#include "platform/devices/system_device_enum.h"

#include <gtest/gtest.h>

#include "platform/com/co_create.h"
#include "platform/com/com_ptr.h"
#include "platform/devices/device_event_hub.h"
#include "platform/devices/device_registry.h"
#include "support/fake_devices.h"

namespace {

std::vector<std::wstring> NamesOf(REFGUID category) {
    std::vector<std::wstring> names;
    ComPtr<ICreateDevEnum> devEnum;
    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_ALL,
                               devEnum.ReleaseAndGetAddressOf()),
              S_OK);
    ComPtr<IEnumMoniker> monikers;
    if (devEnum->CreateClassEnumerator(category, monikers.ReleaseAndGetAddressOf(), 0) != S_OK)
        return names;
    ComPtr<IMoniker> moniker;
    ULONG fetched = 0;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), &fetched) == S_OK) {
        EXPECT_EQ(fetched, 1u);
        ComPtr<IPropertyBag> bag;
        EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                         bag.ReleaseAndGetVoidAddress()),
                  S_OK);
        VARIANT name;
        EXPECT_EQ(bag->Read(L"FriendlyName", &name, nullptr), S_OK);
        EXPECT_EQ(name.vt, VT_BSTR);
        names.push_back(name.bstrVal);
    }
    return names;
}

TEST(SystemDeviceEnumTest, ListsByRankThenPublicationAndFollowsWithdrawal) {
    RegisterDeviceEnumeratorClass();
    CDevicePublication sim;
    sim.Publish(kSimulatedRank, FakeTuner(L"sim 1"));
    CDevicePublication real;
    real.Publish(kRealHardwareRank, FakeTuner(L"real 1"));
    sim.Publish(kSimulatedRank, FakeTuner(L"sim 2"));
    real.Publish(kRealHardwareRank, FakeTuner(L"real 2"));
    EXPECT_EQ(NamesOf(KSCATEGORY_BDA_NETWORK_TUNER),
              (std::vector<std::wstring>{L"real 1", L"real 2", L"sim 1", L"sim 2"}));
    real.WithdrawAll();
    EXPECT_EQ(NamesOf(KSCATEGORY_BDA_NETWORK_TUNER),
              (std::vector<std::wstring>{L"sim 1", L"sim 2"}));
}

TEST(SystemDeviceEnumTest, AnEmptyCategoryAnswersSFalseWithoutEnumerator) {
    RegisterDeviceEnumeratorClass();
    ComPtr<ICreateDevEnum> devEnum;
    ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_ALL,
                               devEnum.ReleaseAndGetAddressOf()),
              S_OK);
    IEnumMoniker* monikers = reinterpret_cast<IEnumMoniker*>(0x1);
    EXPECT_EQ(devEnum->CreateClassEnumerator(KSCATEGORY_BDA_TRANSPORT_INFORMATION, &monikers, 0),
              S_FALSE);
    EXPECT_EQ(monikers, nullptr);
}

TEST(SystemDeviceEnumTest, MonikersBindToTheDriversFilterOrReportItsFailure) {
    RegisterDeviceEnumeratorClass();
    CDevicePublication devices;
    DeviceDescriptor failing = FakeTuner(L"broken");
    failing.bindFilter = [](REFIID, void**) { return E_OUTOFMEMORY; };
    devices.Publish(kSimulatedRank, failing);
    DeviceDescriptor unnamed = FakeTuner(std::nullopt);
    devices.Publish(kSimulatedRank, unnamed);

    ComPtr<ICreateDevEnum> devEnum;
    CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_ALL, devEnum.ReleaseAndGetAddressOf());
    ComPtr<IEnumMoniker> monikers;
    ASSERT_EQ(devEnum->CreateClassEnumerator(KSCATEGORY_BDA_NETWORK_TUNER,
                                             monikers.ReleaseAndGetAddressOf(), 0),
              S_OK);
    IMoniker* both[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(monikers->Next(3, both, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    ComPtr<IMoniker> first, second;
    first.Attach(both[0]);
    second.Attach(both[1]);

    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(first->BindToObject(nullptr, nullptr, IID_IUnknown, &object), E_OUTOFMEMORY);
    EXPECT_EQ(object, nullptr);

    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(
        second->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReleaseAndGetVoidAddress()),
        S_OK);
    VARIANT name;
    EXPECT_TRUE(FAILED(bag->Read(L"FriendlyName", &name, nullptr)));
    EXPECT_TRUE(FAILED(bag->Read(L"DevicePath", &name, nullptr)));

    EXPECT_EQ(monikers->Reset(), S_OK);
    EXPECT_EQ(monikers->Skip(5), S_FALSE);
}

TEST(DeviceEventHubTest, BroadcastsToSubscribersUntilTheyUnsubscribe) {
    std::vector<DWORD> seen;
    {
        auto subscription =
            CDeviceEventHub::Instance().Subscribe([&](DWORD e) { seen.push_back(e); });
        CDeviceEventHub::Instance().Broadcast(DBT_DEVICEREMOVECOMPLETE);
        CDeviceEventHub::Instance().Broadcast(DBT_DEVICEARRIVAL);
    }
    CDeviceEventHub::Instance().Broadcast(DBT_DEVICEREMOVEPENDING);
    EXPECT_EQ(seen, (std::vector<DWORD>{DBT_DEVICEREMOVECOMPLETE, DBT_DEVICEARRIVAL}));
}

}  // namespace
