#include "drivers/linuxdvb/linux_dvb_device_provider.h"

#include <fmt/format.h>

#include <map>
#include <string>

#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/kernel_dvb.h"
#include "drivers/linuxdvb/linux_dvb_capture_filter.h"
#include "drivers/linuxdvb/linux_dvb_tuner_filter.h"
#include "platform/com/co_create.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/media/media_interfaces.h"
#include "platform/win/debug_output.h"
#include "platform/win/file_locations.h"
#include "platform/win/known_folders.h"
#include "platform/win/text_encoding.h"

namespace linuxdvb {

namespace {

// Creates a filter object and answers it as `iid`, as a device's BindToObject does.
template <typename TFilter>
HRESULT BindNew(const std::shared_ptr<CLinuxDvbCard>& card, REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (card->IsRemoved()) return kDeviceRemoved;
    return AnswerNewObject(new TFilter(card), iid, ppv);
}

}  // namespace

CLinuxDvbDeviceProvider::CLinuxDvbDeviceProvider()
    : CLinuxDvbDeviceProvider(
          std::make_shared<CKernelDvb>(),
          CLinuxTunerNames::Load(platform::LinuxTunerNamesFile(platform::DataFolder())),
          DvbCardServices::Real()) {}

CLinuxDvbDeviceProvider::CLinuxDvbDeviceProvider(const std::shared_ptr<IDvbKernel>& kernel,
                                                 const CLinuxTunerNames& names,
                                                 const DvbCardServices& services) {
    std::map<std::string, int> ports;  // per naming entry: frontends it has named so far
    for (DvbFrontendDescription& frontend : kernel->Enumerate()) {
        if (!IsSatelliteFrontend(frontend)) continue;
        std::string model;
        if (const auto match = names.Find(frontend))
            model = CLinuxTunerNames::Expand(match->name, ports[match->entry]++);
        const std::string listed = CLinuxTunerNames::ListedName(model, frontend);
        OutputDebugStringA(fmt::format("linuxdvb: adapter {} frontend {} \"{}\" listed as \"{}\"",
                                       frontend.adapter, frontend.frontend, frontend.name, listed));
        auto card = std::make_shared<CLinuxDvbCard>(kernel, std::move(frontend),
                                                    platform::Utf8ToWide(listed), services);
        m_cards.push_back(card);
        Publish(card);
    }
}

CLinuxDvbDeviceProvider::~CLinuxDvbDeviceProvider() {
    m_publication.WithdrawAll();
}

void CLinuxDvbDeviceProvider::Publish(const std::shared_ptr<CLinuxDvbCard>& card) {
    const DvbFrontendDescription& frontend = card->Frontend();
    const std::wstring where = platform::Utf8ToWide(
        fmt::format("adapter {}, frontend {}", frontend.adapter, frontend.frontend));

    DeviceDescriptor tuner;
    tuner.category = KSCATEGORY_BDA_NETWORK_TUNER;
    tuner.friendlyName = card->TunerName();
    tuner.bindFilter = [card](REFIID iid, void** ppv) {
        return BindNew<CLinuxDvbTunerFilter>(card, iid, ppv);
    };
    tuner.kind = "Linux DVB";
    tuner.holders = [card] { return card->FrontendHolders(); };
    m_publication.Publish(kRealHardwareRank, std::move(tuner));

    DeviceDescriptor receiver;
    receiver.category = KSCATEGORY_BDA_RECEIVER_COMPONENT;
    receiver.friendlyName = L"Linux DVB Capture (" + where + L")";
    receiver.bindFilter = [card](REFIID iid, void** ppv) {
        return BindNew<CLinuxDvbCaptureFilter>(card, iid, ppv);
    };
    m_publication.Publish(kRealHardwareRank, std::move(receiver));

    DeviceDescriptor information;
    information.category = KSCATEGORY_BDA_TRANSPORT_INFORMATION;
    information.friendlyName = L"Linux DVB MPEG-2 Transport Information (" + where + L")";
    information.bindFilter = [](REFIID iid, void** ppv) {
        return CoCreateInstance(CLSID_TransportInformationFilter, nullptr, CLSCTX_INPROC_SERVER,
                                iid, ppv);
    };
    m_publication.Publish(kRealHardwareRank, std::move(information));
}

}  // namespace linuxdvb
