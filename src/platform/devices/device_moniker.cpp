#include "platform/devices/device_moniker.h"

#include <utility>

#include "platform/com/com_ptr.h"
#include "platform/devices/device_property_bag.h"

CDeviceMoniker::CDeviceMoniker(DeviceDescriptor device) : m_device(std::move(device)) {}

HRESULT CDeviceMoniker::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IMoniker::kIid) return GetInterface(static_cast<IMoniker*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CDeviceMoniker::BindToObject(IBindCtx*, IMoniker*, REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!m_device.bindFilter) return E_FAIL;
    const HRESULT hr = m_device.bindFilter(iid, ppv);
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}

HRESULT CDeviceMoniker::BindToStorage(IBindCtx*, IMoniker*, REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!m_device.propertyBagAvailable) return E_FAIL;
    ComPtr<CDevicePropertyBag> bag(new CDevicePropertyBag(m_device.friendlyName));
    return bag->NonDelegatingQueryInterface(iid, ppv);
}
