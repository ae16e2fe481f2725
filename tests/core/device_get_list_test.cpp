#include "core/device_get_list.h"

#include <gtest/gtest.h>

#include "core/device_enum.h"
#include "platform/com/class_registry.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/devices/system_device_enum.h"
#include "support/debug_output_capture.h"
#include "support/fake_devices.h"

namespace {

std::vector<std::string> Names(const DeviceList& list) {
    std::vector<std::string> names;
    for (int i = 0; i < list.count; ++i)
        names.emplace_back(list.names[static_cast<std::size_t>(i)].data());
    return names;
}

TEST(DeviceGetListTest, ListsTunersInEnumerationOrderRealHardwareFirst) {
    CShellTestEnvironment env;
    CDevicePublication devices;
    devices.Publish(kSimulatedRank, FakeTuner(L"Sim A"));
    devices.Publish(kRealHardwareRank, FakeTuner(L"Real 1"));
    devices.Publish(kSimulatedRank, FakeTuner(L"Sim B"));
    DeviceDescriptor other = FakeTuner(L"Not a tuner");
    other.category = KSCATEGORY_BDA_RECEIVER_COMPONENT;
    devices.Publish(kRealHardwareRank, other);

    DeviceList list;
    EXPECT_EQ(DeviceGetList(list), 0);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Real 1", "Sim A", "Sim B"}));
    const std::string log = env.LogText();
    EXPECT_NE(log.find("] >> DeviceGetList\r\n"), std::string::npos);
    EXPECT_NE(log.find("] << DeviceGetList\r\n"), std::string::npos);
}

TEST(DeviceGetListTest, ListsAtMostEighteenDevices) {
    CShellTestEnvironment env;
    CDevicePublication devices;
    for (int i = 0; i < 20; ++i)
        devices.Publish(kSimulatedRank, FakeTuner(L"Tuner " + std::to_wstring(i)));
    DeviceList list;
    EXPECT_EQ(DeviceGetList(list), 0);
    ASSERT_EQ(list.count, 18);
    EXPECT_STREQ(list.names[17].data(), "Tuner 17");
}

TEST(DeviceGetListTest, AnEmptyCategoryGivesOneAndTheClassNotFoundLine) {
    CShellTestEnvironment env;
    CDebugOutputCapture debug;
    DeviceList list;
    list.count = 5;
    EXPECT_EQ(DeviceGetList(list), 1);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(debug.Lines(),
              std::vector<std::string>{
                  "FAIL: enum_create(): Class not found, CreateClassEnumerator returned S_FALSE"});
}

TEST(DeviceGetListTest, ADeviceWithoutAReadableNameKeepsItsPosition) {
    CShellTestEnvironment env;
    CDevicePublication devices;
    devices.Publish(kSimulatedRank, FakeTuner(L"First"));
    devices.Publish(kSimulatedRank, FakeTuner(std::nullopt));
    DeviceDescriptor noBag = FakeTuner(L"Hidden");
    noBag.propertyBagAvailable = false;
    devices.Publish(kSimulatedRank, noBag);
    devices.Publish(kSimulatedRank, FakeTuner(L"Fourth"));

    DeviceList list;
    DeviceGetList(list);
    ASSERT_EQ(list.count, 4);
    EXPECT_STREQ(list.names[0].data(), "First");
    EXPECT_STREQ(list.names[1].data(), "(device without a readable name)");
    EXPECT_STREQ(list.names[2].data(), "(device without a readable name)");
    EXPECT_STREQ(list.names[3].data(), "Fourth");
    const std::string log = env.LogText();
    EXPECT_NE(log.find("] enum_get_name(): IPropertyBag->Read method failed\r\n"),
              std::string::npos);
    EXPECT_NE(log.find("] enum_get_name(): Cannot BindToStorage\r\n"), std::string::npos);
}

TEST(DeviceEnumTest, ReportsAnEnumeratorThatCannotBeCreated) {
    CShellTestEnvironment env;
    CScopedClassOverride missing(CLSID_SystemDeviceEnum, nullptr);
    CDebugOutputCapture debug;
    EXPECT_EQ(enum_create(KSCATEGORY_BDA_NETWORK_TUNER), nullptr);
    EXPECT_EQ(debug.Lines(),
              std::vector<std::string>{"FAIL: enum_create(): Cannot CoCreate ICreateDevEnum"});
}

struct FailingDevEnum : CUnknown, ICreateDevEnum {
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override {
        if (iid == ICreateDevEnum::kIid)
            return GetInterface(static_cast<ICreateDevEnum*>(this), ppv);
        return CUnknown::NonDelegatingQueryInterface(iid, ppv);
    }
    HRESULT CreateClassEnumerator(REFGUID, IEnumMoniker** e, DWORD) override {
        *e = nullptr;
        return E_OUTOFMEMORY;
    }
};

TEST(DeviceEnumTest, ReportsACategoryThatCannotBeEnumerated) {
    CShellTestEnvironment env;
    CScopedClassOverride failing(CLSID_SystemDeviceEnum, [](IUnknown*, REFIID iid, void** ppv) {
        auto* e = new FailingDevEnum;
        e->NonDelegatingAddRef();
        const HRESULT hr = e->NonDelegatingQueryInterface(iid, ppv);
        e->NonDelegatingRelease();
        return hr;
    });
    CDebugOutputCapture debug;
    EXPECT_EQ(enum_create(KSCATEGORY_BDA_NETWORK_TUNER), nullptr);
    EXPECT_EQ(debug.Lines(),
              std::vector<std::string>{"FAIL: enum_create(): Cannot CreateClassEnumerator"});
}

TEST(DeviceEnumTest, NullContextAnswersNoMoreDevices) {
    EXPECT_EQ(enum_next(nullptr), 1);
    enum_free(nullptr);
}

TEST(DeviceEnumTest, NamesLongerThan255CharactersAreCut) {
    CShellTestEnvironment env;
    CDevicePublication devices;
    devices.Publish(kSimulatedRank, FakeTuner(std::wstring(300, L'n')));
    DeviceEnumPtr ctx = enum_create(KSCATEGORY_BDA_NETWORK_TUNER);
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(enum_next(ctx.get()), S_OK);
    ASSERT_EQ(enum_get_name(ctx.get()), S_OK);
    EXPECT_EQ(std::string(ctx->szName), std::string(255, 'n'));
    EXPECT_EQ(std::wstring(ctx->wszName), std::wstring(255, L'n'));
    IBaseFilter* filter = nullptr;
    EXPECT_EQ(enum_get_filter(ctx.get(), &filter), S_FALSE) << "the fake device binds to no filter";
    EXPECT_EQ(enum_next(ctx.get()), S_FALSE);
}

}  // namespace
