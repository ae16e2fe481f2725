#include "platform/bda/system_tuning_spaces.h"

#include <utility>
#include <vector>

#include "platform/bda/dvbs_tuning_space.h"
#include "platform/bda/enum_tuning_spaces.h"
#include "platform/win/file_locations.h"

CSystemTuningSpaces::CSystemTuningSpaces()
    : m_pStore(std::make_shared<CTuningSpaceStore>(platform::TuningSpaceStoreFile())) {}

HRESULT CSystemTuningSpaces::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == ITuningSpaceContainer::kIid) {
        return GetInterface(static_cast<ITuningSpaceContainer*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CSystemTuningSpaces::get_Count(LONG* count) {
    if (count == nullptr) return E_POINTER;
    *count = static_cast<LONG>(m_pStore->LoadAll().size());
    return S_OK;
}

HRESULT CSystemTuningSpaces::get_EnumTuningSpaces(IEnumTuningSpaces** enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    std::vector<ComPtr<ITuningSpace>> spaces;
    for (const TuningSpaceRecord& record : m_pStore->LoadAll()) {
        const ComPtr<CDVBSTuningSpace> space = CDVBSTuningSpace::FromRecord(record, m_pStore);
        spaces.emplace_back(static_cast<IDVBSTuningSpace*>(space.Get()));
    }
    ComPtr<CEnumTuningSpaces> walker(new CEnumTuningSpaces(std::move(spaces)));
    *enumerator = walker.Detach();
    return S_OK;
}

HRESULT CSystemTuningSpaces::Add(ITuningSpace* space) {
    if (space == nullptr) return E_POINTER;
    auto* own = dynamic_cast<CDVBSTuningSpace*>(space);
    if (own == nullptr) return E_INVALIDARG;
    return own->AddToStore(m_pStore);
}
