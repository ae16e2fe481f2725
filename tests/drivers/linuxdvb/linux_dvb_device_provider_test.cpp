// Which frontends are published, under which names, in which order, and before the simulated
// cards.
#include "drivers/linuxdvb/linux_dvb_device_provider.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/fake_dvb_kernel.h"
#include "drivers/linuxdvb/linux_dvb_test_rig.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/devices/device_registry.h"
#include "platform/ks/ks_property_set.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/media/media_interfaces.h"
#include "platform/win/text_encoding.h"

namespace linuxdvb::testing {
namespace {

std::vector<std::string> Names(const GUID& category) {
    std::vector<std::string> names;
    for (const DeviceDescriptor& device : CDeviceRegistry::Instance().Devices(category)) {
        names.push_back(device.friendlyName ? platform::WideToUtf8(*device.friendlyName)
                                            : "<none>");
    }
    return names;
}

DvbFrontendDescription OnPci(DvbFrontendDescription frontend, int adapter, int index) {
    frontend.adapter = adapter;
    frontend.frontend = index;
    frontend.bus = "pci";
    frontend.vendor = 0x14F1;
    frontend.product = 0x8852;
    return frontend;
}

TEST(LinuxDvbDeviceProvider, PublishesSatelliteFrontendsInOrderBeforeSimulatedCards) {
    // A simulated card published first, at its rank: the real ones still come first.
    CDevicePublication simulated;
    DeviceDescriptor simulatedTuner;
    simulatedTuner.category = KSCATEGORY_BDA_NETWORK_TUNER;
    simulatedTuner.friendlyName = L"VLK Arden DVBS/S2 Tuner (simulated PCI-E card)";
    simulated.Publish(kSimulatedRank, std::move(simulatedTuner));

    auto kernel = std::make_shared<CFakeDvbKernel>();
    kernel->frontends = {
        VidtvLikeFrontend(0, 0),
        FrontendWith({SYS_DVBT, SYS_DVBT2, SYS_DVBC_ANNEX_A}, "Terrestrial and cable demod", 1),
        OnPci(FrontendWith({SYS_DVBS, SYS_DVBS2}, "STV090x Multistandard"), 2, 0),
        OnPci(FrontendWith({SYS_DVBS, SYS_DVBS2}, "STV090x Multistandard"), 2, 1),
        FrontendWith({SYS_DVBS}, "Old DVB-S demod", 3),
    };
    const CLinuxTunerNames names = CLinuxTunerNames::Parse(
        "[ByPci]\n14f1:8852 = VLK Dune DVBS/S2 Tuner {port}\n[Default]\nDVB-S2 = VLK Arden DVBS/S2 "
        "Tuner\n");
    {
        CLinuxDvbDeviceProvider provider(kernel, names, FakeCardServices(*kernel));
        EXPECT_EQ(provider.CardCount(), 4u);
        // Each card follows its driver's section of the shipped LinuxTuners.ini.
        EXPECT_TRUE(provider.Card(1).Rules().s2ReceivesS);
        EXPECT_EQ(provider.Card(3).Rules(), DvbDriverRules::Generic());
        EXPECT_EQ(Names(KSCATEGORY_BDA_NETWORK_TUNER),
                  (std::vector<std::string>{
                      "VLK Arden DVBS/S2 Tuner (Dummy demod for DVB-T/T2/C/S/S2, adapter 0)",
                      "VLK Dune DVBS/S2 Tuner 0 (STV090x Multistandard, adapter 2)",
                      "VLK Dune DVBS/S2 Tuner 1 (STV090x Multistandard, adapter 2, frontend 1)",
                      "Old DVB-S demod (adapter 3)",
                      "VLK Arden DVBS/S2 Tuner (simulated PCI-E card)",
                  }));
        EXPECT_EQ(Names(KSCATEGORY_BDA_RECEIVER_COMPONENT),
                  (std::vector<std::string>{
                      "Linux DVB Capture (adapter 0, frontend 0)",
                      "Linux DVB Capture (adapter 2, frontend 0)",
                      "Linux DVB Capture (adapter 2, frontend 1)",
                      "Linux DVB Capture (adapter 3, frontend 0)",
                  }));
        EXPECT_EQ(Names(KSCATEGORY_BDA_TRANSPORT_INFORMATION).size(), 4u);
        EXPECT_EQ(kernel->state->openFrontends, 0) << "listing opens nothing";
    }
    EXPECT_EQ(Names(KSCATEGORY_BDA_NETWORK_TUNER),
              std::vector<std::string>{"VLK Arden DVBS/S2 Tuner (simulated PCI-E card)"})
        << "withdrawn with the provider";
}

TEST(LinuxDvbDeviceProvider, TunerFilterHoldsTheFrontendOpenWhileItLives) {
    auto kernel = std::make_shared<CFakeDvbKernel>();
    kernel->frontends = {VidtvLikeFrontend()};
    CLinuxDvbDeviceProvider provider(kernel, CLinuxTunerNames::Defaults(),
                                     FakeCardServices(*kernel));
    const std::vector<DeviceDescriptor> tuners =
        CDeviceRegistry::Instance().Devices(KSCATEGORY_BDA_NETWORK_TUNER);
    ASSERT_FALSE(tuners.empty());
    {
        ComPtr<IBaseFilter> tuner;
        ASSERT_EQ(tuners.front().bindFilter(IID_IBaseFilter, tuner.ReleaseAndGetVoidAddress()),
                  S_OK);
        EXPECT_EQ(kernel->state->openFrontends, 0) << "opened on first use only";
        ComPtr<IPin> input;
        ASSERT_EQ(tuner->FindPin(L"Input0", input.ReleaseAndGetAddressOf()), S_OK);
        ComPtr<IKsPropertySet> driver;
        ASSERT_EQ(input->QueryInterface(IID_IKsPropertySet, driver.ReleaseAndGetVoidAddress()),
                  S_OK);
        std::vector<std::uint8_t> record(72, 0);
        DWORD returned = 0;
        ASSERT_EQ(
            driver->Get(KSPROPSETID_BdaExt, 12, record.data(), 72, record.data(), 72, &returned),
            S_OK);
        EXPECT_EQ(returned, 72u);
        EXPECT_EQ(kernel->state->openFrontends, 1);
    }
    EXPECT_EQ(kernel->state->openFrontends, 0) << "closed with the last tuner filter";
}

}  // namespace
}  // namespace linuxdvb::testing
