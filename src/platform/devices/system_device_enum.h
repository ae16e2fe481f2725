#pragma once
// The system device enumerator (CLSID_SystemDeviceEnum) over the device registry.
#include "platform/com/unknown_base.h"
#include "platform/devices/device_enum_interfaces.h"

class CSystemDeviceEnum : public CUnknown, public ICreateDevEnum {
public:
    CSystemDeviceEnum() = default;
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT CreateClassEnumerator(REFGUID category, IEnumMoniker** enumerator,
                                  DWORD flags) override;
};

// Makes CLSID_SystemDeviceEnum creatable.
void RegisterDeviceEnumeratorClass();
