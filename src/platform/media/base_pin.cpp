#include "platform/media/base_pin.h"

#include "platform/media/base_filter.h"
#include "platform/media/enum_media_types.h"

namespace media {

bool IsPartiallySpecified(const AM_MEDIA_TYPE& mt) {
    return mt.majortype == GUID_NULL || mt.formattype == GUID_NULL;
}

bool MatchesPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& partial) {
    if (partial.majortype != GUID_NULL && candidate.majortype != partial.majortype) return false;
    if (partial.subtype != GUID_NULL && candidate.subtype != partial.subtype) return false;
    if (partial.formattype != GUID_NULL) {
        if (candidate.formattype != partial.formattype) return false;
        if (candidate.format != partial.format) return false;
    }
    return true;
}

}  // namespace media

namespace {

// A refusal that says nothing specific becomes "type not accepted" (DirectShow's mapping).
HRESULT RefusalCode(HRESULT hr) {
    if (SUCCEEDED(hr) || hr == E_FAIL || hr == E_INVALIDARG) return VFW_E_TYPE_NOT_ACCEPTED;
    return hr;
}

// A code worth reporting rather than the generic "no acceptable types".
bool IsSpecificFailure(HRESULT hr) {
    return hr != E_FAIL && hr != E_INVALIDARG && hr != VFW_E_TYPE_NOT_ACCEPTED &&
           hr != VFW_E_NO_ACCEPTABLE_TYPES;
}

}  // namespace

CBasePin::CBasePin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* /*phr*/,
                   const wchar_t* pinName, PIN_DIRECTION dir)
    : CUnknown(nullptr),
      m_pFilter(filter),
      m_pLock(lock),
      m_strObjectName(objectName != nullptr ? objectName : L""),
      m_strName(pinName != nullptr ? pinName : L""),
      m_dir(dir) {}

CBasePin::~CBasePin() = default;

HRESULT CBasePin::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IPin::kIid) return GetInterface(static_cast<IPin*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

ULONG CBasePin::NonDelegatingAddRef() {
    return static_cast<IBaseFilter*>(m_pFilter)->AddRef();
}

ULONG CBasePin::NonDelegatingRelease() {
    return static_cast<IBaseFilter*>(m_pFilter)->Release();
}

bool CBasePin::IsStopped() const {
    return m_pFilter->IsStopped();
}

// The pin's lock is held around its own steps only, never while the receiving pin is called: two
// filters' state locks are never nested (a sink's lock, held by its owner across
// IMediaControl::Run, would otherwise be ordered against every upstream filter's lock).
HRESULT CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* pmt) {
    if (receivePin == nullptr) return E_POINTER;
    {
        CAutoLock lock(*m_pLock);
        if (m_Connected) return VFW_E_ALREADY_CONNECTED;
        if (!IsStopped()) return VFW_E_NOT_STOPPED;
        if (m_dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    }
    PIN_DIRECTION other = PINDIR_OUTPUT;
    if (FAILED(receivePin->QueryDirection(&other)) || other != PINDIR_INPUT) {
        return VFW_E_INVALID_DIRECTION;
    }
    const HRESULT hr = AgreeMediaType(receivePin, pmt);
    if (FAILED(hr)) {
        CAutoLock lock(*m_pLock);
        BreakConnect();
    }
    return hr;
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* pmt) {
    if (pmt != nullptr && !media::IsPartiallySpecified(*pmt)) {
        return AttemptConnection(receivePin, pmt);
    }
    // The receiving pin's preferences first, then our own.
    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int round = 0; round < 2; ++round) {
        ComPtr<IEnumMediaTypes> types;
        const HRESULT hrEnum = round == 0
                                   ? receivePin->EnumMediaTypes(types.ReleaseAndGetAddressOf())
                                   : EnumMediaTypes(types.ReleaseAndGetAddressOf());
        if (FAILED(hrEnum) || !types) continue;
        const HRESULT hr = TryMediaTypes(receivePin, pmt, types.Get());
        if (SUCCEEDED(hr)) return S_OK;
        if (IsSpecificFailure(hr)) failure = hr;
    }
    return failure;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* pmt,
                                IEnumMediaTypes* types) {
    if (FAILED(types->Reset())) return E_FAIL;
    HRESULT failure = S_OK;
    for (;;) {
        AM_MEDIA_TYPE candidate;
        ULONG fetched = 0;
        if (types->Next(1, &candidate, &fetched) != S_OK || fetched != 1) break;
        HRESULT hr = VFW_E_NO_ACCEPTABLE_TYPES;
        if (pmt == nullptr || media::MatchesPartial(candidate, *pmt)) {
            hr = AttemptConnection(receivePin, &candidate);
            if (FAILED(hr) && SUCCEEDED(failure) && IsSpecificFailure(hr)) failure = hr;
        }
        if (hr == S_OK) return S_OK;
    }
    return SUCCEEDED(failure) ? VFW_E_NO_ACCEPTABLE_TYPES : failure;
}

// Under the pin lock, on both ends of a connection: the pin's checks, then the link and its type.
// A refusal leaves the pin unconnected; a failure of SetMediaType leaves the link for the caller
// to undo.
HRESULT CBasePin::TakeConnection(IPin* partner, const AM_MEDIA_TYPE* pmt) {
    HRESULT hr = CheckConnect(partner);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    hr = CheckMediaType(pmt);
    if (hr != S_OK) {
        BreakConnect();
        return RefusalCode(hr);
    }
    m_Connected = partner;
    return SetMediaType(pmt);
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* pmt) {
    HRESULT hr = S_OK;
    {
        CAutoLock lock(*m_pLock);
        if (m_Connected) return VFW_E_ALREADY_CONNECTED;
        hr = TakeConnection(receivePin, pmt);
        if (!m_Connected) return hr;  // refused before the link was made: nothing to undo
    }
    bool partnerConnected = false;
    if (SUCCEEDED(hr)) {
        hr = receivePin->ReceiveConnection(this, pmt);
        partnerConnected = SUCCEEDED(hr);
    }
    if (partnerConnected) {
        CAutoLock lock(*m_pLock);
        hr = CompleteConnect(receivePin);
        if (SUCCEEDED(hr)) return S_OK;
    }
    if (partnerConnected) receivePin->Disconnect();
    CAutoLock lock(*m_pLock);
    m_Connected = nullptr;
    m_mt = AM_MEDIA_TYPE{};
    BreakConnect();
    return FAILED(hr) ? hr : VFW_E_CANNOT_CONNECT;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* pmt) {
    if (connector == nullptr || pmt == nullptr) return E_POINTER;
    CAutoLock lock(*m_pLock);
    if (m_Connected) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    HRESULT hr = TakeConnection(connector, pmt);
    if (!m_Connected) return hr;
    if (SUCCEEDED(hr)) {
        hr = CompleteConnect(connector);
        if (SUCCEEDED(hr)) return S_OK;
    }
    m_Connected = nullptr;
    m_mt = AM_MEDIA_TYPE{};
    BreakConnect();
    return hr;
}

HRESULT CBasePin::Disconnect() {
    CAutoLock lock(*m_pLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    if (!m_Connected) return S_FALSE;
    const HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    // The partner may hold the last reference to something of ours; drop it after the hook.
    ComPtr<IPin> partner = std::move(m_Connected);
    m_mt = AM_MEDIA_TYPE{};
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    CAutoLock lock(*m_pLock);
    *pin = nullptr;
    if (!m_Connected) return VFW_E_NOT_CONNECTED;
    return m_Connected.CopyTo(pin);
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    CAutoLock lock(*m_pLock);
    if (!m_Connected) {
        *pmt = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    *pmt = m_mt;
    return S_OK;
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) return E_POINTER;
    info->pFilter = m_pFilter;
    info->dir = m_dir;
    info->achName = m_strName;
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (direction == nullptr) return E_POINTER;
    *direction = m_dir;
    return S_OK;
}

HRESULT CBasePin::QueryId(std::wstring* id) {
    if (id == nullptr) return E_POINTER;
    *id = m_strName;
    return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    // S_OK or S_FALSE only, as the interface promises.
    return CheckMediaType(pmt) == S_OK ? S_OK : S_FALSE;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    auto* types = new CEnumMediaTypes(this);
    types->NonDelegatingAddRef();
    *enumerator = types;
    return S_OK;
}

HRESULT CBasePin::EndOfStream() {
    return E_UNEXPECTED;
}

HRESULT CBasePin::BeginFlush() {
    return E_UNEXPECTED;
}

HRESULT CBasePin::EndFlush() {
    return E_UNEXPECTED;
}

HRESULT CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    if (m_dir == PINDIR_OUTPUT) return E_UNEXPECTED;
    m_tStart = start;
    m_tStop = stop;
    m_dRate = rate;
    return S_OK;
}

HRESULT CBasePin::GetMediaType(int position, AM_MEDIA_TYPE* /*pmt*/) {
    return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT CBasePin::SetMediaType(const AM_MEDIA_TYPE* pmt) {
    m_mt = *pmt;
    return S_OK;
}

HRESULT CBasePin::CheckConnect(IPin* pin) {
    PIN_DIRECTION other = m_dir;
    const HRESULT hr = pin->QueryDirection(&other);
    if (FAILED(hr)) return hr;
    if (other == m_dir) return VFW_E_INVALID_DIRECTION;
    return S_OK;
}

HRESULT CBasePin::BreakConnect() {
    return S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin* /*receivePin*/) {
    return S_OK;
}

HRESULT CBasePin::Active() {
    return S_OK;
}

HRESULT CBasePin::Inactive() {
    return S_OK;
}

HRESULT CBasePin::Run(REFERENCE_TIME /*start*/) {
    return S_OK;
}
