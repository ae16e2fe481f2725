#include "platform/media/base_filter.h"

#include "platform/media/base_pin.h"
#include "platform/media/enum_pins.h"

CBaseFilter::CBaseFilter(const wchar_t* objectName, IUnknown* pOuter, CCritSec* pLock,
                         REFCLSID clsid)
    : CUnknown(pOuter),
      m_pLock(pLock),
      m_clsid(clsid),
      m_strObjectName(objectName != nullptr ? objectName : L"") {}

CBaseFilter::~CBaseFilter() = default;

HRESULT CBaseFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IBaseFilter::kIid) return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    if (iid == IMediaFilter::kIid) return GetInterface(static_cast<IMediaFilter*>(this), ppv);
    if (iid == IPersist::kIid) return GetInterface(static_cast<IPersist*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CBaseFilter::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT CBaseFilter::Stop() {
    CAutoLock lock(*m_pLock);
    HRESULT hr = S_OK;
    if (State() != State_Stopped) {
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin == nullptr) break;
            if (!pin->IsConnected()) continue;
            // Teardown keeps going: every pin gets its Inactive, the first failure is reported.
            const HRESULT hrPin = pin->Inactive();
            if (FAILED(hrPin) && SUCCEEDED(hr)) hr = hrPin;
        }
    }
    m_State.store(State_Stopped, std::memory_order_release);
    return hr;
}

HRESULT CBaseFilter::Pause() {
    CAutoLock lock(*m_pLock);
    if (State() == State_Stopped) {
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin == nullptr) break;
            if (!pin->IsConnected()) continue;
            const HRESULT hr = pin->Active();
            if (FAILED(hr)) return hr;
        }
    }
    m_State.store(State_Paused, std::memory_order_release);
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME start) {
    CAutoLock lock(*m_pLock);
    m_tStart = start;
    if (State() == State_Stopped) {
        // As DirectShow does: a stopped filter passes through Paused (its pins become active).
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    if (State() != State_Running) {
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin == nullptr) break;
            if (!pin->IsConnected()) continue;
            const HRESULT hr = pin->Run(start);
            if (FAILED(hr)) return hr;
        }
    }
    m_State.store(State_Running, std::memory_order_release);
    return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD /*milliseconds*/, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    *state = State();
    return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    auto* pins = new CEnumPins(this);
    pins->NonDelegatingAddRef();
    *enumerator = pins;
    return S_OK;
}

HRESULT CBaseFilter::FindPin(const wchar_t* id, IPin** pin) {
    if (id == nullptr || pin == nullptr) return E_POINTER;
    *pin = nullptr;
    CAutoLock lock(*m_pLock);
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
        CBasePin* candidate = GetPin(i);
        if (candidate == nullptr) break;
        if (candidate->Name() == id) {
            *pin = candidate;
            candidate->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (info == nullptr) return E_POINTER;
    CAutoLock lock(*m_pLock);
    info->achName = m_strName;
    info->pGraph = m_pGraph;
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, const wchar_t* name) {
    CAutoLock lock(*m_pLock);
    m_pGraph = graph;
    m_strName = (graph != nullptr && name != nullptr) ? name : L"";
    return S_OK;
}
