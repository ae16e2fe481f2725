#pragma once
// The base of every filter (DirectShow's CBaseFilter). It owns the filter protocol: state changes
// under the caller-given lock with the pins' Active/Inactive hooks, pin enumeration and lookup,
// and membership of a graph. A filter class supplies its pins through GetPinCount/GetPin.
#include <atomic>
#include <string>

#include "platform/com/unknown_base.h"
#include "platform/media/crit_sec.h"
#include "platform/media/media_interfaces.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter {
public:
    // `pLock` guards the filter's state and its pins' connections; it must outlive the filter.
    CBaseFilter(const wchar_t* objectName, IUnknown* pOuter, CCritSec* pLock, REFCLSID clsid);
    ~CBaseFilter() override;

    DECLARE_IUNKNOWN
    // IBaseFilter, IMediaFilter and IPersist; everything else goes to CUnknown.
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    // IPersist
    HRESULT GetClassID(CLSID* clsid) override;

    // IMediaFilter. Stop calls Inactive on every connected pin and keeps going after a failure,
    // returning the first one; Pause from Stopped calls Active on every connected pin; Run from
    // Stopped pauses first, then calls each connected pin's Run hook.
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;

    // IBaseFilter
    HRESULT EnumPins(IEnumPins** enumerator) override;
    // Finds a pin by its id, which is its name; VFW_E_NOT_FOUND when there is none.
    HRESULT FindPin(const wchar_t* id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    // The graph is not AddRef'd (the graph holds the filter; a counted back reference would
    // make a cycle); null leaves the graph.
    HRESULT JoinFilterGraph(IFilterGraph* graph, const wchar_t* name) override;

    // The filter's pins, by position; GetPin returns null past the end. The base class and the
    // pin enumerator call them under the state lock, which also guards a changing pin set.
    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int n) = 0;

    // Read without the lock by streaming threads (a stale read is harmless: state changes that
    // matter to them are ordered by thread start and join).
    FILTER_STATE State() const { return m_State.load(std::memory_order_acquire); }
    bool IsStopped() const { return State() == State_Stopped; }
    IFilterGraph* Graph() const { return m_pGraph; }
    CCritSec* StateLock() const { return m_pLock; }
    const std::wstring& ObjectName() const { return m_strObjectName; }
    REFERENCE_TIME StartTime() const { return m_tStart; }

protected:
    CCritSec* const m_pLock;

private:
    std::atomic<FILTER_STATE> m_State{State_Stopped};
    REFERENCE_TIME m_tStart = 0;
    const CLSID m_clsid;
    const std::wstring m_strObjectName;
    IFilterGraph* m_pGraph = nullptr;
    std::wstring m_strName;  // the name the graph gave the filter
};
