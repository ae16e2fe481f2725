#include "platform/bda/dvbs_tuning_space.h"

#include <utility>

#include "platform/bda/dvb_tune_request.h"
#include "platform/bda/dvbs_locator.h"

namespace {

std::optional<LocatorRecord> RecordOf(ILocator* locator) {
    if (locator == nullptr) return std::nullopt;
    LocatorRecord record;
    FECMethod innerFEC = BDA_FEC_METHOD_NOT_SET;
    FECMethod outerFEC = BDA_FEC_METHOD_NOT_SET;
    BinaryConvolutionCodeRate innerRate = BDA_BCC_RATE_NOT_SET;
    BinaryConvolutionCodeRate outerRate = BDA_BCC_RATE_NOT_SET;
    ModulationType modulation = BDA_MOD_NOT_SET;
    locator->get_CarrierFrequency(&record.carrierFrequency);
    locator->get_InnerFEC(&innerFEC);
    locator->get_InnerFECRate(&innerRate);
    locator->get_OuterFEC(&outerFEC);
    locator->get_OuterFECRate(&outerRate);
    locator->get_Modulation(&modulation);
    locator->get_SymbolRate(&record.symbolRate);
    record.innerFEC = innerFEC;
    record.innerFECRate = innerRate;
    record.outerFEC = outerFEC;
    record.outerFECRate = outerRate;
    record.modulation = modulation;
    // A locator of another kind keeps the satellite values "not set".
    ComPtr<IDVBSLocator> dvbs;
    if (SUCCEEDED(locator->QueryInterface(IDVBSLocator::kIid, dvbs.ReleaseAndGetVoidAddress()))) {
        Polarisation polarisation = BDA_POLARISATION_NOT_SET;
        dvbs->get_SignalPolarisation(&polarisation);
        record.signalPolarisation = polarisation;
        dvbs->get_WestPosition(&record.westPosition);
        dvbs->get_OrbitalPosition(&record.orbitalPosition);
        dvbs->get_Azimuth(&record.azimuth);
        dvbs->get_Elevation(&record.elevation);
    }
    return record;
}

// The store has checked every enumeration against its range, so the casts are safe.
ComPtr<ILocator> LocatorOf(const LocatorRecord& record) {
    ComPtr<CDVBSLocator> locator(new CDVBSLocator());
    locator->put_CarrierFrequency(record.carrierFrequency);
    locator->put_InnerFEC(static_cast<FECMethod>(record.innerFEC));
    locator->put_InnerFECRate(static_cast<BinaryConvolutionCodeRate>(record.innerFECRate));
    locator->put_OuterFEC(static_cast<FECMethod>(record.outerFEC));
    locator->put_OuterFECRate(static_cast<BinaryConvolutionCodeRate>(record.outerFECRate));
    locator->put_Modulation(static_cast<ModulationType>(record.modulation));
    locator->put_SymbolRate(record.symbolRate);
    locator->put_SignalPolarisation(static_cast<Polarisation>(record.signalPolarisation));
    locator->put_WestPosition(record.westPosition);
    locator->put_OrbitalPosition(record.orbitalPosition);
    locator->put_Azimuth(record.azimuth);
    locator->put_Elevation(record.elevation);
    return ComPtr<ILocator>(static_cast<IDVBSLocator*>(locator.Get()));
}

}  // namespace

ComPtr<CDVBSTuningSpace> CDVBSTuningSpace::FromRecord(const TuningSpaceRecord& record,
                                                      std::shared_ptr<CTuningSpaceStore> store) {
    ComPtr<CDVBSTuningSpace> space(new CDVBSTuningSpace());
    space->m_pStore = std::move(store);
    space->m_strUniqueName = record.uniqueName;
    space->m_strFriendlyName = record.friendlyName;
    space->m_guidNetworkType = record.networkType;
    space->m_strFrequencyMapping = record.frequencyMapping;
    if (record.defaultLocator) space->m_pDefaultLocator = LocatorOf(*record.defaultLocator);
    space->m_nSystemType = static_cast<DVBSystemType>(record.systemType);
    space->m_nNetworkID = record.networkID;
    space->m_nLowOscillator = record.lowOscillator;
    space->m_nHighOscillator = record.highOscillator;
    space->m_nLNBSwitch = record.lnbSwitch;
    space->m_strInputRange = record.inputRange;
    space->m_nSpectralInversion = static_cast<SpectralInversion>(record.spectralInversion);
    return space;
}

HRESULT CDVBSTuningSpace::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == ITuningSpace::kIid || iid == IDVBTuningSpace::kIid ||
        iid == IDVBTuningSpace2::kIid || iid == IDVBSTuningSpace::kIid) {
        return GetInterface(static_cast<IDVBSTuningSpace*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CDVBSTuningSpace::AddToStore(std::shared_ptr<CTuningSpaceStore> store) {
    if (!store) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_pStore) return E_INVALIDARG;
    TuningSpaceRecord record;
    record.uniqueName = m_strUniqueName;
    record.friendlyName = m_strFriendlyName;
    record.networkType = m_guidNetworkType;
    record.systemType = m_nSystemType;
    record.networkID = m_nNetworkID;
    record.lowOscillator = m_nLowOscillator;
    record.highOscillator = m_nHighOscillator;
    record.lnbSwitch = m_nLNBSwitch;
    record.inputRange = m_strInputRange;
    record.spectralInversion = m_nSpectralInversion;
    record.frequencyMapping = m_strFrequencyMapping;
    record.defaultLocator = RecordOf(m_pDefaultLocator.Get());
    const HRESULT hr = store->Add(record);
    if (SUCCEEDED(hr)) m_pStore = std::move(store);
    return hr;
}

template <typename T>
HRESULT CDVBSTuningSpace::Get(const T& member, T* out) const {
    if (out == nullptr) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_lock);
    *out = member;
    return S_OK;
}

template <typename T>
HRESULT CDVBSTuningSpace::PutNumber(T& member, T value, const char* key) {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (member == value) return S_OK;
    if (m_pStore) {
        const HRESULT hr = m_pStore->WriteNumber(m_strUniqueName, key, static_cast<LONG>(value));
        if (FAILED(hr)) return hr;
    }
    member = value;
    return S_OK;
}

HRESULT CDVBSTuningSpace::PutText(std::wstring& member, const std::wstring& value,
                                  const char* key) {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (member == value) return S_OK;
    if (m_pStore) {
        const HRESULT hr = m_pStore->WriteText(m_strUniqueName, key, value);
        if (FAILED(hr)) return hr;
    }
    member = value;
    return S_OK;
}

HRESULT CDVBSTuningSpace::get_UniqueName(std::wstring* name) {
    return Get(m_strUniqueName, name);
}

HRESULT CDVBSTuningSpace::put_UniqueName(const std::wstring& name) {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_pStore && name != m_strUniqueName) return E_ACCESSDENIED;
    m_strUniqueName = name;
    return S_OK;
}

HRESULT CDVBSTuningSpace::get_FriendlyName(std::wstring* name) {
    return Get(m_strFriendlyName, name);
}

HRESULT CDVBSTuningSpace::put_FriendlyName(const std::wstring& name) {
    return PutText(m_strFriendlyName, name, CTuningSpaceStore::kFriendlyName);
}

HRESULT CDVBSTuningSpace::get_NetworkType(std::wstring* clsidText) {
    if (clsidText == nullptr) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_lock);
    *clsidText = StringFromGUID(m_guidNetworkType);
    return S_OK;
}

HRESULT CDVBSTuningSpace::put_NetworkType(const std::wstring& clsidText) {
    CLSID clsid;
    if (FAILED(CLSIDFromString(clsidText, &clsid))) return E_INVALIDARG;
    return put__NetworkType(clsid);
}

HRESULT CDVBSTuningSpace::get__NetworkType(CLSID* clsid) {
    return Get(m_guidNetworkType, clsid);
}

HRESULT CDVBSTuningSpace::put__NetworkType(REFCLSID clsid) {
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_guidNetworkType == clsid) return S_OK;
    if (m_pStore) {
        const HRESULT hr = m_pStore->WriteNetworkType(m_strUniqueName, clsid);
        if (FAILED(hr)) return hr;
    }
    m_guidNetworkType = clsid;
    return S_OK;
}

HRESULT CDVBSTuningSpace::get_FrequencyMapping(std::wstring* mapping) {
    return Get(m_strFrequencyMapping, mapping);
}

HRESULT CDVBSTuningSpace::put_FrequencyMapping(const std::wstring& mapping) {
    return PutText(m_strFrequencyMapping, mapping, CTuningSpaceStore::kFrequencyMapping);
}

HRESULT CDVBSTuningSpace::get_DefaultLocator(ILocator** locator) {
    if (locator == nullptr) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_pDefaultLocator.CopyTo(locator);
}

HRESULT CDVBSTuningSpace::put_DefaultLocator(ILocator* locator) {
    ComPtr<ILocator> keep(locator);
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (m_pStore) {
            const HRESULT hr = m_pStore->WriteDefaultLocator(m_strUniqueName, RecordOf(locator));
            if (FAILED(hr)) return hr;
        }
        m_pDefaultLocator.Swap(keep);
    }
    // `keep` now holds the previous locator; its last release happens outside the lock.
    return S_OK;
}

HRESULT CDVBSTuningSpace::CreateTuneRequest(ITuneRequest** request) {
    if (request == nullptr) return E_POINTER;
    *request = nullptr;
    ComPtr<ILocator> locator;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (m_pDefaultLocator) {
            const HRESULT hr = m_pDefaultLocator->Clone(locator.ReleaseAndGetAddressOf());
            if (FAILED(hr)) return hr;
        }
    }
    ComPtr<CDVBTuneRequest> made(new CDVBTuneRequest(static_cast<IDVBSTuningSpace*>(this)));
    made->put_Locator(locator.Get());
    *request = static_cast<IDVBTuneRequest*>(made.Detach());
    return S_OK;
}

HRESULT CDVBSTuningSpace::get_SystemType(DVBSystemType* type) {
    return Get(m_nSystemType, type);
}

HRESULT CDVBSTuningSpace::put_SystemType(DVBSystemType type) {
    return PutNumber(m_nSystemType, type, CTuningSpaceStore::kSystemType);
}

HRESULT CDVBSTuningSpace::get_NetworkID(LONG* id) {
    return Get(m_nNetworkID, id);
}

HRESULT CDVBSTuningSpace::put_NetworkID(LONG id) {
    return PutNumber(m_nNetworkID, id, CTuningSpaceStore::kNetworkID);
}

HRESULT CDVBSTuningSpace::get_LowOscillator(LONG* frequency) {
    return Get(m_nLowOscillator, frequency);
}

HRESULT CDVBSTuningSpace::put_LowOscillator(LONG frequency) {
    return PutNumber(m_nLowOscillator, frequency, CTuningSpaceStore::kLowOscillator);
}

HRESULT CDVBSTuningSpace::get_HighOscillator(LONG* frequency) {
    return Get(m_nHighOscillator, frequency);
}

HRESULT CDVBSTuningSpace::put_HighOscillator(LONG frequency) {
    return PutNumber(m_nHighOscillator, frequency, CTuningSpaceStore::kHighOscillator);
}

HRESULT CDVBSTuningSpace::get_LNBSwitch(LONG* frequency) {
    return Get(m_nLNBSwitch, frequency);
}

HRESULT CDVBSTuningSpace::put_LNBSwitch(LONG frequency) {
    return PutNumber(m_nLNBSwitch, frequency, CTuningSpaceStore::kLNBSwitch);
}

HRESULT CDVBSTuningSpace::get_InputRange(std::wstring* range) {
    return Get(m_strInputRange, range);
}

HRESULT CDVBSTuningSpace::put_InputRange(const std::wstring& range) {
    return PutText(m_strInputRange, range, CTuningSpaceStore::kInputRange);
}

HRESULT CDVBSTuningSpace::get_SpectralInversion(SpectralInversion* inversion) {
    return Get(m_nSpectralInversion, inversion);
}

HRESULT CDVBSTuningSpace::put_SpectralInversion(SpectralInversion inversion) {
    return PutNumber(m_nSpectralInversion, inversion, CTuningSpaceStore::kSpectralInversion);
}
