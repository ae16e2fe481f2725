#pragma once
// The base of every pin (DirectShow's CBasePin). It owns the connection protocol: type
// negotiation on the output side, acceptance on the input side, disconnection, and the queries.
// A pin class fills the hooks: CheckMediaType (which types it takes), GetMediaType (which it
// offers), and the connection and streaming notifications.
//
// A pin's lifetime is its filter's: AddRef and Release go to the filter, so a pin reference keeps
// the filter alive, and the filter class destroys its pins.
#include <string>

#include "platform/com/unknown_base.h"
#include "platform/media/crit_sec.h"
#include "platform/media/media_interfaces.h"

class CBaseFilter;

class CBasePin : public CUnknown, public IPin {
public:
    // `lock` is the filter's state lock; `phr` is left as it is (construction cannot fail).
    CBasePin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
             const wchar_t* pinName, PIN_DIRECTION dir);
    ~CBasePin() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;
    // Delegated to the owning filter.
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override;

    // IPin
    // Holds this pin's lock only around its own steps, never while it calls the receiving pin.
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* pmt) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* pmt) override;
    // Breaks this side of the connection only (S_FALSE when it was free).
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryId(std::wstring* id) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) override;
    // Output pins answer E_UNEXPECTED; CBaseInputPin takes them.
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // Hooks.
    // S_OK when the pin takes `pmt`; anything else refuses it.
    virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) = 0;
    // The types the pin offers, from position 0; VFW_S_NO_MORE_ITEMS past the last one,
    // E_INVALIDARG below 0.
    virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt);
    // Stores the agreed type.
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* pmt);
    // Checks the partner before any type is tried: its direction must be the opposite one.
    virtual HRESULT CheckConnect(IPin* pin);
    // Undoes what CheckConnect and CompleteConnect did; also called after a failed attempt.
    virtual HRESULT BreakConnect();
    // The connection stands; the partner is known.
    virtual HRESULT CompleteConnect(IPin* receivePin);
    // The filter goes from Stopped to Paused / back to Stopped (connected pins only).
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    // The filter runs (connected pins only).
    virtual HRESULT Run(REFERENCE_TIME start);

    bool IsConnected() const { return m_Connected != nullptr; }
    // The partner, not AddRef'd; null when free.
    IPin* GetConnected() const { return m_Connected.Get(); }
    const AM_MEDIA_TYPE& CurrentMediaType() const { return m_mt; }
    PIN_DIRECTION Direction() const { return m_dir; }
    const std::wstring& Name() const { return m_strName; }
    CBaseFilter* Filter() const { return m_pFilter; }
    bool IsStopped() const;

protected:
    CBaseFilter* const m_pFilter;
    CCritSec* const m_pLock;
    ComPtr<IPin> m_Connected;
    AM_MEDIA_TYPE m_mt;
    REFERENCE_TIME m_tStart = 0;
    REFERENCE_TIME m_tStop = 0;
    double m_dRate = 1.0;

private:
    HRESULT AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* pmt);
    HRESULT TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* pmt, IEnumMediaTypes* types);
    HRESULT AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* pmt);
    HRESULT TakeConnection(IPin* partner, const AM_MEDIA_TYPE* pmt);

    const std::wstring m_strObjectName;
    const std::wstring m_strName;
    const PIN_DIRECTION m_dir;
};

namespace media {
// A type leaves the choice open when its major type or its format type is null (DirectShow's
// rule); only the fields it sets must then match.
bool IsPartiallySpecified(const AM_MEDIA_TYPE& mt);
bool MatchesPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& partial);
}  // namespace media
