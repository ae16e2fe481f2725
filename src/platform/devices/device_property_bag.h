#pragma once
// The property bag of one device: answers "FriendlyName" when the driver gave a readable one.
#include <optional>
#include <string>

#include "platform/com/unknown_base.h"
#include "platform/devices/device_enum_interfaces.h"

class CDevicePropertyBag : public CUnknown, public IPropertyBag {
public:
    explicit CDevicePropertyBag(std::optional<std::wstring> friendlyName);
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT Read(const wchar_t* propertyName, VARIANT* value, IErrorLog* errorLog) override;

private:
    std::optional<std::wstring> m_strFriendlyName;
};
