#include "drivers/kit/bda_tuner_filter.h"

#include <string>

#include "drivers/kit/bda_tuner_output_pin.h"
#include "drivers/kit/bda_tuner_property_pin.h"

CBdaTunerFilter::CBdaTunerFilter(const wchar_t* objectName, REFCLSID clsid, const GUID& medium)
    : CBaseFilter(objectName, nullptr, &m_lock, clsid), m_topology(this, this) {
    const std::wstring name = objectName;
    m_pInput = std::make_unique<CBdaTunerPropertyPin>((name + L" input").c_str(), this, &m_lock);
    m_pOutput =
        std::make_unique<CBdaTunerOutputPin>((name + L" output").c_str(), this, &m_lock, medium);
}

CBdaTunerFilter::~CBdaTunerFilter() = default;

template <typename I>
HRESULT CBdaTunerFilter::Offer(Interface which, I* object, void** ppv) {
    if (Refuses(which)) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    return GetInterface(object, ppv);
}

HRESULT CBdaTunerFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IBDA_Topology::kIid) {
        return Offer(Interface::Topology, static_cast<IBDA_Topology*>(this), ppv);
    }
    if (iid == IBDA_DeviceControl::kIid) {
        return Offer(Interface::DeviceControl, static_cast<IBDA_DeviceControl*>(this), ppv);
    }
    if (iid == IKsPropertySet::kIid) {
        return Offer(Interface::FilterPropertySet, static_cast<IKsPropertySet*>(this), ppv);
    }
    return CBaseFilter::NonDelegatingQueryInterface(iid, ppv);
}

int CBdaTunerFilter::GetPinCount() {
    return 2;
}

CBasePin* CBdaTunerFilter::GetPin(int n) {
    if (n == 0) return m_pInput.get();
    if (n == 1) return m_pOutput.get();
    return nullptr;
}

HRESULT CBdaTunerFilter::GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                                        IUnknown** node) {
    return m_topology.GetControlNode(inputPinId, outputPinId, nodeType, node);
}

HRESULT CBdaTunerFilter::StartChanges() {
    m_topology.Pending().Begin();
    return IsRemoved() ? kDeviceRemoved : S_OK;
}

HRESULT CBdaTunerFilter::CheckChanges() {
    return IsRemoved() ? kDeviceRemoved : S_OK;
}

HRESULT CBdaTunerFilter::CommitChanges() {
    if (const auto answer = InterceptCommit()) return *answer;
    return Tune(m_topology.Pending().Take());
}

HRESULT CBdaTunerFilter::GetChangeState(ULONG* state) {
    return m_topology.GetChangeState(state);
}

HRESULT CBdaTunerFilter::Set(REFGUID propertySet, DWORD propertyId, void* instanceData,
                             DWORD instanceLength, void* propertyData, DWORD dataLength) {
    return SetOn(Surface::Filter, propertySet, propertyId, instanceData, instanceLength,
                 propertyData, dataLength);
}

HRESULT CBdaTunerFilter::Get(REFGUID propertySet, DWORD propertyId, void* instanceData,
                             DWORD instanceLength, void* propertyData, DWORD dataLength,
                             DWORD* bytesReturned) {
    return GetOn(Surface::Filter, propertySet, propertyId, instanceData, instanceLength,
                 propertyData, dataLength, bytesReturned);
}

HRESULT CBdaTunerFilter::QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) {
    return QuerySupportedOn(Surface::Filter, propertySet, propertyId, typeSupport);
}

HRESULT CBdaTunerFilter::SetOn(Surface surface, REFGUID propertySet, DWORD propertyId,
                               void* instanceData, DWORD instanceLength, void* propertyData,
                               DWORD dataLength) {
    return Property({.surface = surface,
                     .operation = BdaPropertyRequest::Operation::Set,
                     .set = propertySet,
                     .id = propertyId,
                     .instanceData = instanceData,
                     .instanceLength = instanceLength,
                     .propertyData = propertyData,
                     .dataLength = dataLength});
}

HRESULT CBdaTunerFilter::GetOn(Surface surface, REFGUID propertySet, DWORD propertyId,
                               void* instanceData, DWORD instanceLength, void* propertyData,
                               DWORD dataLength, DWORD* bytesReturned) {
    return Property({.surface = surface,
                     .operation = BdaPropertyRequest::Operation::Get,
                     .set = propertySet,
                     .id = propertyId,
                     .instanceData = instanceData,
                     .instanceLength = instanceLength,
                     .propertyData = propertyData,
                     .dataLength = dataLength,
                     .bytesReturned = bytesReturned});
}

HRESULT CBdaTunerFilter::QuerySupportedOn(Surface surface, REFGUID propertySet, DWORD propertyId,
                                          DWORD* typeSupport) {
    return Property({.surface = surface,
                     .operation = BdaPropertyRequest::Operation::QuerySupported,
                     .set = propertySet,
                     .id = propertyId,
                     .typeSupport = typeSupport});
}

bool CBdaTunerFilter::OffersSignalStatistics() const {
    return !Refuses(Interface::SignalStatistics);
}
