#pragma once
// Kernel-streaming property sets: the narrow interface through which the system talks to a
// tuner driver's vendor extensions.
#include "platform/com/unknown.h"

// Type-support flags answered by QuerySupported.
inline constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
inline constexpr DWORD KSPROPERTY_SUPPORT_SET = 2;

struct IKsPropertySet : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{31EFAC30-515C-11D0-A9AA-00AA0061BE93}");
    virtual HRESULT Set(REFGUID propertySet, DWORD propertyId, void* instanceData,
                        DWORD instanceLength, void* propertyData, DWORD dataLength) = 0;
    virtual HRESULT Get(REFGUID propertySet, DWORD propertyId, void* instanceData,
                        DWORD instanceLength, void* propertyData, DWORD dataLength,
                        DWORD* bytesReturned) = 0;
    virtual HRESULT QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) = 0;

protected:
    ~IKsPropertySet() = default;
};

inline constexpr IID IID_IKsPropertySet = IKsPropertySet::kIid;
