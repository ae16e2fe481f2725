#include "platform/com/co_create.h"

#include "platform/com/class_registry.h"

namespace {
thread_local int t_initDepth = 0;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* pOuter, DWORD /*clsContext*/, REFIID iid,
                         void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    const auto factory = CClassRegistry::Instance().Find(clsid);
    if (!factory) return REGDB_E_CLASSNOTREG;
    const HRESULT hr = (*factory)(pOuter, iid, ppv);
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}

HRESULT CoInitializeEx(void* /*reserved*/, DWORD /*coInit*/) {
    return t_initDepth++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_initDepth > 0) --t_initDepth;
}

namespace com {
int InitializationDepthOfThisThread() {
    return t_initDepth;
}
}  // namespace com
