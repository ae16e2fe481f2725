#pragma once
// Walks the types a pin offers through its GetMediaType hook (DirectShow's CEnumMediaTypes).
// It holds a reference on the pin (and so on its filter).
#include "platform/com/unknown_base.h"
#include "platform/media/media_interfaces.h"

class CBasePin;

class CEnumMediaTypes : public CUnknown, public IEnumMediaTypes {
public:
    explicit CEnumMediaTypes(CBasePin* pin);
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT Next(ULONG count, AM_MEDIA_TYPE* types, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;

private:
    CBasePin* const m_pPin;
    ComPtr<IPin> m_pPinRef;
    int m_nPosition = 0;
};
