#pragma once
// Walks a filter's pins by position (DirectShow's CEnumPins). It holds a reference on the filter
// and reads GetPin live, so a pin that a filter adds at the end (the tee's new free output) is
// met by an enumeration already under way.
#include "platform/com/unknown_base.h"
#include "platform/media/media_interfaces.h"

class CBaseFilter;

class CEnumPins : public CUnknown, public IEnumPins {
public:
    explicit CEnumPins(CBaseFilter* filter, int position = 0);
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    // Hands out up to `count` AddRef'd pins; S_FALSE when fewer were left.
    HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;

private:
    CBaseFilter* const m_pFilter;
    ComPtr<IBaseFilter> m_pFilterRef;
    int m_nPosition;
};
