#pragma once
// Walks the filters of a graph as they were when the enumeration was made (in the order they
// were added).
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/media/media_interfaces.h"

class CEnumFilters : public CUnknown, public IEnumFilters {
public:
    explicit CEnumFilters(std::vector<ComPtr<IBaseFilter>> filters);
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;

private:
    std::vector<ComPtr<IBaseFilter>> m_filters;
    std::size_t m_nPosition = 0;
};
