#include "core/device_enum.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/diagnostic_log.h"
#include "platform/com/co_create.h"
#include "platform/win/debug_output.h"
#include "platform/win/text_encoding.h"

DeviceEnumPtr enum_create(REFGUID category) {
    // Cleared, unlike the context of the design it follows: nothing reads stale memory.
    DeviceEnumPtr ctx(new DeviceEnum{});
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                  ctx->pCreateDevEnum.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        OutputDebugStringA("FAIL: enum_create(): Cannot CoCreate ICreateDevEnum");
        return nullptr;
    }
    hr = ctx->pCreateDevEnum->CreateClassEnumerator(category,
                                                    ctx->pEnumMoniker.ReleaseAndGetAddressOf(), 0);
    if (FAILED(hr)) {
        OutputDebugStringA("FAIL: enum_create(): Cannot CreateClassEnumerator");
        return nullptr;
    }
    if (hr == S_FALSE) {
        OutputDebugStringA(
            "FAIL: enum_create(): Class not found, CreateClassEnumerator returned S_FALSE");
        return nullptr;
    }
    ctx->pMoniker.Reset();
    return ctx;
}

HRESULT enum_next(DeviceEnum* ctx) {
    if (ctx == nullptr) return S_FALSE;
    ctx->pMoniker.Reset();
    ULONG fetched = 0;
    return ctx->pEnumMoniker->Next(1, ctx->pMoniker.ReleaseAndGetAddressOf(), &fetched);
}

HRESULT enum_get_filter(DeviceEnum* ctx, IBaseFilter** filter) {
    if (ctx == nullptr || ctx->pMoniker == nullptr || filter == nullptr) return S_FALSE;
    *filter = nullptr;
    ctx->pMoniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                reinterpret_cast<void**>(filter));
    return *filter != nullptr ? S_OK : S_FALSE;
}

HRESULT enum_get_name(DeviceEnum* ctx) {
    if (ctx == nullptr || ctx->pMoniker == nullptr) return E_POINTER;
    ComPtr<IPropertyBag> bag;
    HRESULT hr = ctx->pMoniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                              bag.ReleaseAndGetVoidAddress());
    if (FAILED(hr)) {
        WriteLog("enum_get_name(): Cannot BindToStorage");
        return hr;
    }
    VARIANT name;
    VariantInit(&name);
    hr = bag->Read(L"FriendlyName", &name, nullptr);
    if (FAILED(hr)) {
        WriteLog("enum_get_name(): IPropertyBag->Read method failed");
        return hr;
    }
    const std::wstring wide = name.bstrVal.substr(0, 255);
    std::string narrow = platform::WideToUtf8(wide);
    // Cut at 255 bytes without splitting a character.
    if (narrow.size() > 255) {
        std::size_t cut = 255;
        while (cut > 0 && (static_cast<unsigned char>(narrow[cut]) & 0xC0) == 0x80) --cut;
        narrow.resize(cut);
    }
    std::memset(ctx->szName, 0, sizeof ctx->szName);
    std::memcpy(ctx->szName, narrow.data(), narrow.size());
    std::fill(std::begin(ctx->wszName), std::end(ctx->wszName), L'\0');
    std::copy(wide.begin(), wide.end(), ctx->wszName);
    VariantClear(&name);
    return S_OK;
}

void enum_free(DeviceEnum* ctx) {
    if (ctx == nullptr) return;
    ctx->pMoniker.Reset();
    ctx->pCreateDevEnum.Reset();
    ctx->pEnumMoniker.Reset();
    delete ctx;
}
