#include "platform/media/filter_graph.h"

#include <algorithm>
#include <cstdio>

#include "platform/media/enum_filters.h"

namespace {

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> enumerator;
    if (FAILED(filter->EnumPins(enumerator.ReleaseAndGetAddressOf())) || !enumerator) return pins;
    ComPtr<IPin> pin;
    ULONG fetched = 0;
    while (enumerator->Next(1, pin.ReleaseAndGetAddressOf(), &fetched) == S_OK && fetched == 1) {
        pins.push_back(pin);
    }
    return pins;
}

}  // namespace

CFilterGraph::CFilterGraph() : CUnknown(nullptr) {}

CFilterGraph::~CFilterGraph() {
    CFilterGraph::Stop();
    std::vector<Entry> filters;
    {
        std::lock_guard guard(m_lock);
        filters.swap(m_filters);
    }
    // Connected filters hold each other through their pins; breaking the connections lets each
    // filter go when its last outside reference does.
    for (Entry& entry : filters) DisconnectAllPins(entry.pFilter.Get());
    for (Entry& entry : filters) entry.pFilter->JoinFilterGraph(nullptr, nullptr);
}

HRESULT CFilterGraph::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IFilterGraph::kIid) {
        return GetInterface(static_cast<IFilterGraph*>(static_cast<IGraphBuilder*>(this)), ppv);
    }
    if (iid == IGraphBuilder::kIid) return GetInterface(static_cast<IGraphBuilder*>(this), ppv);
    if (iid == IMediaControl::kIid) return GetInterface(static_cast<IMediaControl*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

bool CFilterGraph::Contains(IBaseFilter* filter) const {
    return std::any_of(m_filters.begin(), m_filters.end(),
                       [filter](const Entry& e) { return e.pFilter.Get() == filter; });
}

bool CFilterGraph::NameInUse(const std::wstring& name) const {
    return std::any_of(m_filters.begin(), m_filters.end(),
                       [&name](const Entry& e) { return e.strName == name; });
}

std::wstring CFilterGraph::GenerateName() {
    for (;;) {
        wchar_t text[32];
        std::swprintf(text, sizeof text / sizeof text[0], L"Filter %04u", m_nNextName++);
        if (!NameInUse(text)) return text;
    }
}

std::vector<ComPtr<IBaseFilter>> CFilterGraph::Snapshot() const {
    std::lock_guard guard(m_lock);
    std::vector<ComPtr<IBaseFilter>> filters;
    filters.reserve(m_filters.size());
    for (const Entry& entry : m_filters) filters.push_back(entry.pFilter);
    return filters;
}

HRESULT CFilterGraph::AddFilter(IBaseFilter* filter, const wchar_t* name) {
    if (filter == nullptr) return E_POINTER;
    std::wstring strName = (name != nullptr) ? name : L"";
    {
        std::lock_guard guard(m_lock);
        if (Contains(filter)) return E_INVALIDARG;
        if (strName.empty()) {
            strName = GenerateName();
        } else if (NameInUse(strName)) {
            return VFW_E_DUPLICATE_NAME;
        }
        // The name is taken now; the filter is told outside the lock.
        m_filters.push_back(Entry{ComPtr<IBaseFilter>(filter), strName});
    }
    const HRESULT hr = filter->JoinFilterGraph(static_cast<IGraphBuilder*>(this), strName.c_str());
    if (FAILED(hr)) {
        ComPtr<IBaseFilter> refused;
        std::lock_guard guard(m_lock);
        const auto it = std::find_if(m_filters.begin(), m_filters.end(), [filter](const Entry& e) {
            return e.pFilter.Get() == filter;
        });
        if (it != m_filters.end()) {
            refused = std::move(it->pFilter);
            m_filters.erase(it);
        }
        return hr;
    }
    return S_OK;
}

HRESULT CFilterGraph::DisconnectAllPins(IBaseFilter* filter) {
    HRESULT first = S_OK;
    // A snapshot: a filter may change its pin set while its pins disconnect (the tee prunes).
    for (const ComPtr<IPin>& pin : PinsOf(filter)) {
        ComPtr<IPin> partner;
        if (pin->ConnectedTo(partner.ReleaseAndGetAddressOf()) != S_OK || !partner) continue;
        const HRESULT hrPartner = partner->Disconnect();
        const HRESULT hrPin = pin->Disconnect();
        if (FAILED(hrPartner) && SUCCEEDED(first)) first = hrPartner;
        if (FAILED(hrPin) && SUCCEEDED(first)) first = hrPin;
    }
    return first;
}

HRESULT CFilterGraph::RemoveFilter(IBaseFilter* filter) {
    if (filter == nullptr) return E_POINTER;
    // Keeps the filter alive until it has left: the graph's reference may be the last one.
    ComPtr<IBaseFilter> keep;
    {
        std::lock_guard guard(m_lock);
        const auto it = std::find_if(m_filters.begin(), m_filters.end(), [filter](const Entry& e) {
            return e.pFilter.Get() == filter;
        });
        if (it == m_filters.end()) return VFW_E_NOT_IN_GRAPH;
        if (m_State.load() != State_Stopped) return VFW_E_NOT_STOPPED;
        keep = std::move(it->pFilter);
        m_filters.erase(it);
    }
    const HRESULT hr = DisconnectAllPins(filter);
    filter->JoinFilterGraph(nullptr, nullptr);
    return hr;
}

HRESULT CFilterGraph::EnumFilters(IEnumFilters** enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    auto* walker = new CEnumFilters(Snapshot());
    walker->NonDelegatingAddRef();
    *enumerator = walker;
    return S_OK;
}

HRESULT CFilterGraph::FindFilterByName(const wchar_t* name, IBaseFilter** filter) {
    if (name == nullptr || filter == nullptr) return E_POINTER;
    *filter = nullptr;
    std::lock_guard guard(m_lock);
    for (const Entry& entry : m_filters) {
        if (entry.strName == name) return entry.pFilter.CopyTo(filter);
    }
    return VFW_E_NOT_FOUND;
}

HRESULT CFilterGraph::CheckPinInGraph(IPin* pin) const {
    PIN_INFO info;
    const HRESULT hr = pin->QueryPinInfo(&info);
    if (FAILED(hr)) return hr;
    std::lock_guard guard(m_lock);
    return Contains(info.pFilter.Get()) ? S_OK : VFW_E_NOT_IN_GRAPH;
}

HRESULT CFilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* pmt) {
    if (output == nullptr || input == nullptr) return E_POINTER;
    HRESULT hr = CheckPinInGraph(output);
    if (hr != S_OK) return hr;
    hr = CheckPinInGraph(input);
    if (hr != S_OK) return hr;
    PIN_DIRECTION dir = PINDIR_INPUT;
    hr = output->QueryDirection(&dir);
    if (FAILED(hr)) return hr;
    if (dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    return output->Connect(input, pmt);
}

HRESULT CFilterGraph::Disconnect(IPin* pin) {
    if (pin == nullptr) return E_POINTER;
    return pin->Disconnect();
}

HRESULT CFilterGraph::Connect(IPin* output, IPin* input) {
    return ConnectDirect(output, input, nullptr);
}

std::vector<IBaseFilter*> CFilterGraph::UpstreamFirst(
    const std::vector<ComPtr<IBaseFilter>>& filters) {
    const std::size_t n = filters.size();
    std::vector<std::vector<std::size_t>> downstream(n);
    std::vector<std::size_t> inDegree(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        for (const ComPtr<IPin>& pin : PinsOf(filters[i].Get())) {
            PIN_DIRECTION dir = PINDIR_INPUT;
            if (FAILED(pin->QueryDirection(&dir)) || dir != PINDIR_OUTPUT) continue;
            ComPtr<IPin> partner;
            if (pin->ConnectedTo(partner.ReleaseAndGetAddressOf()) != S_OK || !partner) continue;
            PIN_INFO info;
            if (FAILED(partner->QueryPinInfo(&info))) continue;
            for (std::size_t j = 0; j < n; ++j) {
                if (j != i && filters[j].Get() == info.pFilter.Get()) {
                    downstream[i].push_back(j);
                    ++inDegree[j];
                }
            }
        }
    }
    // Kahn's order, the earliest-added ready filter first; what a cycle leaves goes last.
    std::vector<IBaseFilter*> order;
    std::vector<bool> done(n, false);
    while (order.size() < n) {
        std::size_t next = n;
        for (std::size_t i = 0; i < n; ++i) {
            if (!done[i] && inDegree[i] == 0) {
                next = i;
                break;
            }
        }
        if (next == n) {
            for (std::size_t i = 0; i < n; ++i) {
                if (!done[i]) {
                    next = i;
                    break;
                }
            }
        }
        done[next] = true;
        order.push_back(filters[next].Get());
        for (std::size_t j : downstream[next]) {
            if (inDegree[j] > 0) --inDegree[j];
        }
    }
    return order;
}

HRESULT CFilterGraph::Run() {
    FILTER_STATE previous = State_Stopped;
    std::vector<ComPtr<IBaseFilter>> filters;
    {
        std::lock_guard guard(m_lock);
        previous = m_State.exchange(State_Running);
        for (const Entry& entry : m_filters) filters.push_back(entry.pFilter);
    }
    std::vector<IBaseFilter*> order = UpstreamFirst(filters);
    std::reverse(order.begin(), order.end());
    HRESULT first = S_OK;
    if (previous == State_Stopped) {
        for (IBaseFilter* filter : order) {
            const HRESULT hr = filter->Pause();
            if (FAILED(hr) && SUCCEEDED(first)) first = hr;
        }
    }
    for (IBaseFilter* filter : order) {
        const HRESULT hr = filter->Run(0);
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    return first;
}

HRESULT CFilterGraph::Pause() {
    {
        std::lock_guard guard(m_lock);
        m_State.store(State_Paused);
    }
    std::vector<IBaseFilter*> order;
    const std::vector<ComPtr<IBaseFilter>> filters = Snapshot();
    order = UpstreamFirst(filters);
    std::reverse(order.begin(), order.end());
    HRESULT first = S_OK;
    for (IBaseFilter* filter : order) {
        const HRESULT hr = filter->Pause();
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    return first;
}

HRESULT CFilterGraph::Stop() {
    const std::vector<ComPtr<IBaseFilter>> filters = Snapshot();
    HRESULT first = S_OK;
    for (IBaseFilter* filter : UpstreamFirst(filters)) {
        const HRESULT hr = filter->Stop();
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    }
    // Stopped only once every filter is: until then nothing may be taken out of the graph.
    std::lock_guard guard(m_lock);
    m_State.store(State_Stopped);
    return first;
}

HRESULT CFilterGraph::GetState(LONG /*milliseconds*/, OAFilterState* state) {
    if (state == nullptr) return E_POINTER;
    *state = static_cast<OAFilterState>(m_State.load());
    return S_OK;
}
