#pragma once
// The system tuning space container (CLSID_SystemTuningSpaces) over the persistent store in
// the user's configuration folder. Each tuning space it hands out is a new object bound to the
// store, made from the store's content at the time of the enumeration.
#include <memory>

#include "platform/bda/tuning_interfaces.h"
#include "platform/bda/tuning_space_store.h"
#include "platform/com/unknown_base.h"

class CSystemTuningSpaces : public CUnknown, public ITuningSpaceContainer {
public:
    // Uses the store file of the configuration folder as it is at construction.
    CSystemTuningSpaces();
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT get_Count(LONG* count) override;
    HRESULT get_EnumTuningSpaces(IEnumTuningSpaces** enumerator) override;
    // Stores a tuning space made by CLSID_DVBSTuningSpace and binds it, so later puts on it
    // persist. E_POINTER for null; E_INVALIDARG for a tuning space of another implementation,
    // one already stored, a unique name the store cannot hold, or one a stored tuning space
    // already has (the system answers a duplicate with an invalid-argument error too); a
    // write failure of the store otherwise.
    HRESULT Add(ITuningSpace* space) override;

private:
    const std::shared_ptr<CTuningSpaceStore> m_pStore;
};
