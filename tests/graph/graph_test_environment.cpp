#include "graph/graph_test_environment.h"

#include "core/process_globals.h"
#include "graph/bda_graph.h"
#include "platform/bda/bda_classes.h"
#include "platform/com/co_create.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/media/media_classes.h"
#include "platform/media/media_types.h"
#include "support/folder_roots.h"

CGraphTestEnvironment::CGraphTestEnvironment() {
    RegisterMediaClasses();
    RegisterBdaClasses();
    test_roots::SetConfigFolder(m_shell.Folder().Path());
    g_strWorkDir = m_shell.Folder().Path();
}

CGraphTestEnvironment::~CGraphTestEnvironment() {
    m_session.ReleaseGraph();
    m_devices.WithdrawAll();
    test_roots::SetConfigFolder("");
}

void CGraphTestEnvironment::PublishTuner(const std::wstring& name, int card) {
    DeviceDescriptor device;
    device.category = KSCATEGORY_BDA_NETWORK_TUNER;
    device.friendlyName = name;
    device.bindFilter = [this, card](REFIID iid, void** ppv) {
        ComPtr<CFakeFilter> filter(
            new CFakeFilter({{L"Input0", PINDIR_INPUT, AntennaType()},
                             {L"Transport", PINDIR_OUTPUT, CardTransportType(card)}}));
        m_tuners.push_back(filter);
        return filter->NonDelegatingQueryInterface(iid, ppv);
    };
    m_devices.Publish(kSimulatedRank, std::move(device));
}

void CGraphTestEnvironment::PublishReceiver(int card) {
    DeviceDescriptor device;
    device.category = KSCATEGORY_BDA_RECEIVER_COMPONENT;
    device.friendlyName = L"Receiver " + std::to_wstring(card);
    device.bindFilter = [this, card](REFIID iid, void** ppv) {
        ComPtr<CFakeFilter> filter(
            new CFakeFilter({{L"In", PINDIR_INPUT, CardTransportType(card)},
                             {L"Out", PINDIR_OUTPUT, media::TransportStreamType()}}));
        m_receivers.push_back(filter);
        return filter->NonDelegatingQueryInterface(iid, ppv);
    };
    m_devices.Publish(kSimulatedRank, std::move(device));
}

void CGraphTestEnvironment::PublishTransportInformation() {
    DeviceDescriptor device;
    device.category = KSCATEGORY_BDA_TRANSPORT_INFORMATION;
    device.friendlyName = L"BDA MPEG2 Transport Information Filter";
    device.bindFilter = [](REFIID iid, void** ppv) {
        return CoCreateInstance(CLSID_TransportInformationFilter, nullptr, CLSCTX_INPROC_SERVER,
                                iid, ppv);
    };
    m_devices.Publish(kSimulatedRank, std::move(device));
}

void CGraphTestEnvironment::PublishCard(const std::wstring& name, int card) {
    PublishTuner(name, card);
    PublishReceiver(card);
    PublishTransportInformation();
}
