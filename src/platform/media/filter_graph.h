#pragma once
// The filter graph manager (CLSID_FilterGraph): holds the filters under their names, connects
// pins, and moves every filter through Stopped, Paused and Running in the order that keeps
// samples flowing into filters that are ready for them.
//
// Locking (see docs/threads.md): the graph mutex guards the filter list, the names and the graph
// state, and is never held while a filter or pin is called. A sink calls Run while it holds its
// own lock, which is also its state lock that every state change of the graph takes: with the
// graph mutex held across those calls the two locks would be taken in both orders. Lock order:
// a caller's own lock -> one filter's state lock (never two nested, see CBasePin::Connect); the
// graph mutex is a leaf. State changes are made by one control thread (each
// filter still serialises its own). Streaming threads never call into the graph.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/media/media_interfaces.h"

class CFilterGraph : public CUnknown, public IGraphBuilder, public IMediaControl {
public:
    CFilterGraph();
    // Stops the graph and removes every filter (their connections included).
    ~CFilterGraph() override;

    DECLARE_IUNKNOWN
    // IFilterGraph, IGraphBuilder and IMediaControl.
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    // IFilterGraph
    // AddRefs the filter and tells it its name; a null or empty name gets a generated unique one
    // ("Filter 0001", ...); a name in use gives VFW_E_DUPLICATE_NAME, a filter already in the
    // graph E_INVALIDARG.
    HRESULT AddFilter(IBaseFilter* filter, const wchar_t* name) override;
    // Disconnects both sides of every connected pin of the filter, lets it leave the graph and
    // releases it. VFW_E_NOT_IN_GRAPH for an unknown filter; VFW_E_NOT_STOPPED (nothing changed)
    // unless the graph is stopped. Otherwise the filter is removed and the first failure of a
    // disconnection, if any, is returned.
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** enumerator) override;
    // VFW_E_NOT_FOUND when no filter has that name.
    HRESULT FindFilterByName(const wchar_t* name, IBaseFilter** filter) override;
    // Both pins' filters must be in the graph (VFW_E_NOT_IN_GRAPH); `output` must be an output
    // pin (VFW_E_INVALID_DIRECTION).
    HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* pmt) override;
    // Disconnects this one pin (its partner keeps its side, as in DirectShow).
    HRESULT Disconnect(IPin* pin) override;

    // IGraphBuilder: direct negotiation between the two pins; no filter is inserted between them.
    HRESULT Connect(IPin* output, IPin* input) override;

    // IMediaControl
    // Pauses (from Stopped) and then runs every filter, downstream filters first, so that a sink
    // is running before its source starts to stream. Every filter is tried; the first failure
    // is returned.
    HRESULT Run() override;
    HRESULT Pause() override;
    // Stops every filter, upstream filters first; a source joins its streaming thread in its
    // own Stop, so when this returns no sample is being delivered. Keeps going after a failure
    // and returns the first one.
    HRESULT Stop() override;
    HRESULT GetState(LONG milliseconds, OAFilterState* state) override;

private:
    struct Entry {
        ComPtr<IBaseFilter> pFilter;
        std::wstring strName;
    };

    bool Contains(IBaseFilter* filter) const;
    bool NameInUse(const std::wstring& name) const;
    std::wstring GenerateName();
    std::vector<ComPtr<IBaseFilter>> Snapshot() const;
    // Filters in upstream-first order of their connections (ties and cycles: order of adding).
    static std::vector<IBaseFilter*> UpstreamFirst(const std::vector<ComPtr<IBaseFilter>>& filters);
    HRESULT CheckPinInGraph(IPin* pin) const;
    static HRESULT DisconnectAllPins(IBaseFilter* filter);

    mutable std::mutex m_lock;
    std::vector<Entry> m_filters;
    std::atomic<FILTER_STATE> m_State{State_Stopped};
    unsigned m_nNextName = 1;
};
