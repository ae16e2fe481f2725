#include "pages/settings/tuner_card_environment.h"

#include "core/process_globals.h"
#include "graph/tuner_session.h"
#include "platform/bda/bda_classes.h"
#include "platform/com/co_create.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/media/media_classes.h"
#include "platform/media/media_types.h"
#include "platform/win/known_folders.h"
#include "sink/record_file.h"
#include "support/folder_roots.h"

namespace {

constexpr int kCard = 0;

ComPtr<CFakeKsPropertySet> MakeCardDriver(CardCarrier carrier) {
    ComPtr<CFakeKsPropertySet> driver(new CFakeKsPropertySet);
    if (carrier == CardCarrier::Usb) {
        for (DWORD id :
             {KSPROPERTY_CTRL_PRESENT, KSPROPERTY_CTRL_TUNER, KSPROPERTY_CTRL_GET_MEDIAINFO,
              KSPROPERTY_CTRL_GOLDCODE, KSPROPERTY_CTRL_MODCODES}) {
            driver->Support(KSPROPSETID_Ctrl, id);
        }
    } else {
        for (DWORD id : {KSPROPERTY_BDA_GET_MEDIAINFO, KSPROPERTY_BDA_STREAMTYPE_PARAMS,
                         KSPROPERTY_BDA_INPUTMULTISTREAMID, KSPROPERTY_BDA_DISEQC,
                         KSPROPERTY_BDA_GOLDCODE, KSPROPERTY_BDA_MODCODES}) {
            driver->Support(KSPROPSETID_BdaExt, id);
        }
        driver->Reply(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, {1, 0});
    }
    return driver;
}

}  // namespace

CTunerCardEnvironment::CTunerCardEnvironment() {
    RegisterMediaClasses();
    RegisterBdaClasses();
    test_roots::SetConfigFolder(m_shell.Folder().Path());
    DefaultTunerSession().CloseTuner();
    g_strWorkDir = m_shell.Folder().Path();
}

CTunerCardEnvironment::~CTunerCardEnvironment() {
    // A page that was not destroyed leaves its graph; nothing may reach the next test.
    DefaultTunerSession().CloseTuner();
    m_devices.WithdrawAll();
    test_roots::SetConfigFolder("");
}

void CTunerCardEnvironment::PublishCard(const std::string& name, CardCarrier carrier) {
    m_pDriver = MakeCardDriver(carrier);

    DeviceDescriptor tuner;
    tuner.category = KSCATEGORY_BDA_NETWORK_TUNER;
    tuner.friendlyName = std::wstring(name.begin(), name.end());
    tuner.bindFilter = [this, carrier](REFIID iid, void** ppv) {
        const wchar_t* antenna = carrier == CardCarrier::NoInput0 ? L"RF In" : L"Input0";
        ComPtr<CTunableTunerFilter> filter(
            new CTunableTunerFilter({{antenna, PINDIR_INPUT, AntennaType()},
                                     {L"Transport", PINDIR_OUTPUT, CardTransportType(kCard)}},
                                    m_pScript));
        filter->SetSignalStatistics(m_pSignal.Get());
        switch (carrier) {
            case CardCarrier::Usb:
                filter->SetFilterPropertySet(m_pDriver.Get());
                break;
            case CardCarrier::PciE:
                // The filter answers the interface too, as every tuner filter does, without the USB
                // set.
                filter->SetFilterPropertySet(
                    ComPtr<CFakeKsPropertySet>(new CFakeKsPropertySet).Get());
                filter->SetPinPropertySet(0, m_pDriver.Get());
                break;
            case CardCarrier::NoInput0:
                filter->SetFilterPropertySet(
                    ComPtr<CFakeKsPropertySet>(new CFakeKsPropertySet).Get());
                break;
            case CardCarrier::Refusing:
                break;
        }
        return filter->NonDelegatingQueryInterface(iid, ppv);
    };
    m_devices.Publish(kSimulatedRank, std::move(tuner));

    DeviceDescriptor receiver;
    receiver.category = KSCATEGORY_BDA_RECEIVER_COMPONENT;
    receiver.friendlyName = L"Receiver";
    receiver.bindFilter = [](REFIID iid, void** ppv) {
        ComPtr<CFakeFilter> filter(
            new CFakeFilter({{L"In", PINDIR_INPUT, CardTransportType(kCard)},
                             {L"Out", PINDIR_OUTPUT, media::TransportStreamType()}}));
        return filter->NonDelegatingQueryInterface(iid, ppv);
    };
    m_devices.Publish(kSimulatedRank, std::move(receiver));

    DeviceDescriptor information;
    information.category = KSCATEGORY_BDA_TRANSPORT_INFORMATION;
    information.friendlyName = L"BDA MPEG2 Transport Information Filter";
    information.bindFilter = [](REFIID iid, void** ppv) {
        return CoCreateInstance(CLSID_TransportInformationFilter, nullptr, CLSCTX_INPROC_SERVER,
                                iid, ppv);
    };
    m_devices.Publish(kSimulatedRank, std::move(information));

    DefaultTunerSession().SelectDevice(0, name);
}

std::vector<CFakeKsPropertySet::Call> CTunerCardEnvironment::SetsOf(REFGUID set, DWORD id) const {
    std::vector<CFakeKsPropertySet::Call> sets;
    if (!m_pDriver) return sets;
    for (const auto& call : m_pDriver->Sets()) {
        if (call.set == set && call.id == id) sets.push_back(call);
    }
    return sets;
}
