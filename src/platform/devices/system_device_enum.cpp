#include "platform/devices/system_device_enum.h"

#include "platform/com/class_registry.h"
#include "platform/devices/device_registry.h"
#include "platform/devices/enum_moniker.h"

HRESULT CSystemDeviceEnum::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == ICreateDevEnum::kIid) return GetInterface(static_cast<ICreateDevEnum*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CSystemDeviceEnum::CreateClassEnumerator(REFGUID category, IEnumMoniker** enumerator,
                                                 DWORD) {
    if (enumerator == nullptr) return E_POINTER;
    *enumerator = nullptr;
    auto devices = CDeviceRegistry::Instance().Devices(category);
    if (devices.empty()) return S_FALSE;
    auto* walker = new CEnumMoniker(std::move(devices));
    walker->NonDelegatingAddRef();
    *enumerator = walker;
    return S_OK;
}

void RegisterDeviceEnumeratorClass() {
    RegisterComClass<CSystemDeviceEnum>(CLSID_SystemDeviceEnum);
}
