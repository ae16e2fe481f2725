#pragma once
// Walks the monikers of one category, as they were when the enumeration was created.
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/devices/device_registry.h"

class CEnumMoniker : public CUnknown, public IEnumMoniker {
public:
    explicit CEnumMoniker(std::vector<DeviceDescriptor> devices);
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;

private:
    std::vector<DeviceDescriptor> m_devices;
    std::size_t m_nPosition = 0;
};
