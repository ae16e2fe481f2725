#pragma once
// CoCreateInstance and the component library's per-thread initialisation.
#include "platform/com/unknown.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_ALL = 0x17;
inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_SPEED_OVER_MEMORY = 0x8;

// Creates a registered class; REGDB_E_CLASSNOTREG when none is registered. On failure *ppv is null.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* pOuter, DWORD clsContext, REFIID iid,
                         void** ppv);

template <typename T>
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* pOuter, DWORD clsContext, T** out) {
    return CoCreateInstance(clsid, pOuter, clsContext, IidOf<T>(), reinterpret_cast<void**>(out));
}

// S_OK for the first initialisation of a thread, S_FALSE for a nested one.
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
void CoUninitialize();

namespace com {
// How many unbalanced CoInitializeEx calls the calling thread has made.
int InitializationDepthOfThisThread();
}  // namespace com
