#pragma once
// The system device enumerator's interfaces: categories of devices, monikers that name one
// device, and the property bag that holds its "FriendlyName".
#include <string>

#include "platform/com/unknown.h"

using VARTYPE = std::uint16_t;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_BSTR = 8;

// A VARIANT reduced to what the system reads: empty or a text.
struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    std::wstring bstrVal;
};
void VariantInit(VARIANT* value);
HRESULT VariantClear(VARIANT* value);

struct IBindCtx;
struct IErrorLog;

struct IPropertyBag : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{55272A00-42CB-11CE-8135-00AA004BB851}");
    virtual HRESULT Read(const wchar_t* propertyName, VARIANT* value, IErrorLog* errorLog) = 0;

protected:
    ~IPropertyBag() = default;
};

struct IMoniker : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{0000000F-0000-0000-C000-000000000046}");
    virtual HRESULT BindToObject(IBindCtx* bindContext, IMoniker* left, REFIID iid, void** ppv) = 0;
    virtual HRESULT BindToStorage(IBindCtx* bindContext, IMoniker* left, REFIID iid,
                                  void** ppv) = 0;

protected:
    ~IMoniker() = default;
};

struct IEnumMoniker : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{00000102-0000-0000-C000-000000000046}");
    // S_OK when `count` monikers were fetched, S_FALSE when fewer.
    virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;

protected:
    ~IEnumMoniker() = default;
};

struct ICreateDevEnum : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{29840822-5B84-11D0-BD3B-00A0C911CE86}");
    // S_OK with an enumerator, or S_FALSE and no enumerator when the category has no device.
    virtual HRESULT CreateClassEnumerator(REFGUID category, IEnumMoniker** enumerator,
                                          DWORD flags) = 0;

protected:
    ~ICreateDevEnum() = default;
};

inline constexpr IID IID_IPropertyBag = IPropertyBag::kIid;
inline constexpr IID IID_ICreateDevEnum = ICreateDevEnum::kIid;
inline constexpr CLSID CLSID_SystemDeviceEnum =
    com::MakeGuid("{62BE5D10-60EB-11D0-BD3B-00A0C911CE86}");

inline constexpr GUID KSCATEGORY_BDA_NETWORK_TUNER =
    com::MakeGuid("{71985F48-1CA1-11D3-9CC8-00C04F7971E0}");
inline constexpr GUID KSCATEGORY_BDA_RECEIVER_COMPONENT =
    com::MakeGuid("{FD0A5AF4-B41D-11D2-9C95-00C04F7971E0}");
inline constexpr GUID KSCATEGORY_BDA_TRANSPORT_INFORMATION =
    com::MakeGuid("{A2E3074F-6C3D-11D3-B653-00C04F79498E}");

inline constexpr HRESULT HRESULT_ERROR_FILE_NOT_FOUND = MakeHresult(0x80070002);
