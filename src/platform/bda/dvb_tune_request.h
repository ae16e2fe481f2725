#pragma once
// A DVB tune request: the tuning space it was made from, the transponder's locator and the
// service identifiers (-1, not set, until a caller names them).
#include <mutex>

#include "platform/bda/tuning_interfaces.h"
#include "platform/com/com_ptr.h"
#include "platform/com/unknown_base.h"

class CDVBTuneRequest : public CUnknown, public IDVBTuneRequest {
public:
    explicit CDVBTuneRequest(ITuningSpace* space);
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT get_TuningSpace(ITuningSpace** space) override;
    // S_OK with null when the request has no locator yet.
    HRESULT get_Locator(ILocator** locator) override;
    // Keeps a reference to the caller's locator (null removes it), as the system does.
    HRESULT put_Locator(ILocator* locator) override;
    // Same tuning space, a clone of the locator, the same identifiers.
    HRESULT Clone(ITuneRequest** copy) override;

    HRESULT get_ONID(LONG* id) override;
    HRESULT put_ONID(LONG id) override;
    HRESULT get_TSID(LONG* id) override;
    HRESULT put_TSID(LONG id) override;
    HRESULT get_SID(LONG* id) override;
    HRESULT put_SID(LONG id) override;

private:
    HRESULT GetId(const LONG& member, LONG* out) const;
    HRESULT PutId(LONG& member, LONG value);

    mutable std::mutex m_lock;
    const ComPtr<ITuningSpace> m_pTuningSpace;
    ComPtr<ILocator> m_pLocator;
    LONG m_nONID = -1;
    LONG m_nTSID = -1;
    LONG m_nSID = -1;
};
