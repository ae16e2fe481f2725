#include "platform/devices/enum_moniker.h"

#include <utility>

#include "platform/devices/device_moniker.h"

CEnumMoniker::CEnumMoniker(std::vector<DeviceDescriptor> devices) : m_devices(std::move(devices)) {}

HRESULT CEnumMoniker::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IEnumMoniker::kIid) return GetInterface(static_cast<IEnumMoniker*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CEnumMoniker::Next(ULONG count, IMoniker** monikers, ULONG* fetched) {
    if (monikers == nullptr) return E_POINTER;
    ULONG n = 0;
    while (n < count && m_nPosition < m_devices.size()) {
        auto* moniker = new CDeviceMoniker(m_devices[m_nPosition++]);
        moniker->NonDelegatingAddRef();
        monikers[n++] = moniker;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT CEnumMoniker::Skip(ULONG count) {
    const std::size_t left = m_devices.size() - m_nPosition;
    if (count > left) {
        m_nPosition = m_devices.size();
        return S_FALSE;
    }
    m_nPosition += count;
    return S_OK;
}

HRESULT CEnumMoniker::Reset() {
    m_nPosition = 0;
    return S_OK;
}
