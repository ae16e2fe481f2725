#include "platform/devices/device_enum_interfaces.h"

void VariantInit(VARIANT* value) {
    if (value != nullptr) *value = VARIANT{};
}

HRESULT VariantClear(VARIANT* value) {
    if (value == nullptr) return E_POINTER;
    *value = VARIANT{};
    return S_OK;
}
