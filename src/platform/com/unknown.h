#pragma once
// IUnknown and the identifier trait that every interface of the stand-ins follows:
// an interface declares `static constexpr IID kIid`.
#include "platform/com/guid.h"
#include "platform/com/win_types.h"

struct IUnknown {
    static constexpr IID kIid = com::MakeGuid("{00000000-0000-0000-C000-000000000046}");

    virtual HRESULT QueryInterface(REFIID iid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

inline constexpr IID IID_IUnknown = IUnknown::kIid;

// __uuidof for the stand-ins.
template <typename T>
constexpr const IID& IidOf() {
    return T::kIid;
}

// Hands out `object` as the requested interface with one new reference (DirectShow's GetInterface).
template <typename T>
HRESULT GetInterface(T* object, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = object;
    object->AddRef();
    return S_OK;
}
