#include "platform/devices/device_property_bag.h"

#include <cwchar>
#include <utility>

CDevicePropertyBag::CDevicePropertyBag(std::optional<std::wstring> friendlyName)
    : m_strFriendlyName(std::move(friendlyName)) {}

HRESULT CDevicePropertyBag::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IPropertyBag::kIid) return GetInterface(static_cast<IPropertyBag*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CDevicePropertyBag::Read(const wchar_t* propertyName, VARIANT* value, IErrorLog*) {
    if (propertyName == nullptr || value == nullptr) return E_POINTER;
    if (std::wcscmp(propertyName, L"FriendlyName") != 0 || !m_strFriendlyName) {
        return HRESULT_ERROR_FILE_NOT_FOUND;
    }
    value->vt = VT_BSTR;
    value->bstrVal = *m_strFriendlyName;
    return S_OK;
}
