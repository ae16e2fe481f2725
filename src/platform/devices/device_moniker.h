#pragma once
// Names one published device: binds it to its filter or to its property bag.
#include "platform/com/unknown_base.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/devices/device_registry.h"

class CDeviceMoniker : public CUnknown, public IMoniker {
public:
    explicit CDeviceMoniker(DeviceDescriptor device);
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT BindToObject(IBindCtx* bindContext, IMoniker* left, REFIID iid, void** ppv) override;
    HRESULT BindToStorage(IBindCtx* bindContext, IMoniker* left, REFIID iid, void** ppv) override;

private:
    DeviceDescriptor m_device;
};
