#pragma once
// Walks the tuning spaces that the container handed it when the enumeration was made.
#include <vector>

#include "platform/bda/tuning_interfaces.h"
#include "platform/com/com_ptr.h"
#include "platform/com/unknown_base.h"

class CEnumTuningSpaces : public CUnknown, public IEnumTuningSpaces {
public:
    explicit CEnumTuningSpaces(std::vector<ComPtr<ITuningSpace>> spaces);
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    // S_OK when `count` were fetched, S_FALSE when the list ended first.
    HRESULT Next(ULONG count, ITuningSpace** spaces, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;

private:
    const std::vector<ComPtr<ITuningSpace>> m_spaces;
    std::size_t m_nPosition = 0;
};
