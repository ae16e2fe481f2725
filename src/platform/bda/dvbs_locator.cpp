#include "platform/bda/dvbs_locator.h"

#include "platform/com/com_ptr.h"

HRESULT CDVBSLocator::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == ILocator::kIid || iid == IDVBSLocator::kIid) {
        return GetInterface(static_cast<IDVBSLocator*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

template <typename T>
HRESULT CDVBSLocator::Get(const T& member, T* out) const {
    if (out == nullptr) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_lock);
    *out = member;
    return S_OK;
}

template <typename T>
HRESULT CDVBSLocator::Put(T& member, T value) {
    const std::lock_guard<std::mutex> lock(m_lock);
    member = value;
    return S_OK;
}

HRESULT CDVBSLocator::get_CarrierFrequency(LONG* frequency) {
    return Get(m_nCarrierFrequency, frequency);
}
HRESULT CDVBSLocator::put_CarrierFrequency(LONG frequency) {
    return Put(m_nCarrierFrequency, frequency);
}
HRESULT CDVBSLocator::get_InnerFEC(FECMethod* method) {
    return Get(m_nInnerFEC, method);
}
HRESULT CDVBSLocator::put_InnerFEC(FECMethod method) {
    return Put(m_nInnerFEC, method);
}
HRESULT CDVBSLocator::get_InnerFECRate(BinaryConvolutionCodeRate* rate) {
    return Get(m_nInnerFECRate, rate);
}
HRESULT CDVBSLocator::put_InnerFECRate(BinaryConvolutionCodeRate rate) {
    return Put(m_nInnerFECRate, rate);
}
HRESULT CDVBSLocator::get_OuterFEC(FECMethod* method) {
    return Get(m_nOuterFEC, method);
}
HRESULT CDVBSLocator::put_OuterFEC(FECMethod method) {
    return Put(m_nOuterFEC, method);
}
HRESULT CDVBSLocator::get_OuterFECRate(BinaryConvolutionCodeRate* rate) {
    return Get(m_nOuterFECRate, rate);
}
HRESULT CDVBSLocator::put_OuterFECRate(BinaryConvolutionCodeRate rate) {
    return Put(m_nOuterFECRate, rate);
}
HRESULT CDVBSLocator::get_Modulation(ModulationType* modulation) {
    return Get(m_nModulation, modulation);
}
HRESULT CDVBSLocator::put_Modulation(ModulationType modulation) {
    return Put(m_nModulation, modulation);
}
HRESULT CDVBSLocator::get_SymbolRate(LONG* rate) {
    return Get(m_nSymbolRate, rate);
}
HRESULT CDVBSLocator::put_SymbolRate(LONG rate) {
    return Put(m_nSymbolRate, rate);
}

HRESULT CDVBSLocator::get_SignalPolarisation(Polarisation* polarisation) {
    return Get(m_nSignalPolarisation, polarisation);
}
HRESULT CDVBSLocator::put_SignalPolarisation(Polarisation polarisation) {
    return Put(m_nSignalPolarisation, polarisation);
}
HRESULT CDVBSLocator::get_WestPosition(BOOL* west) {
    return Get(m_bWestPosition, west);
}
HRESULT CDVBSLocator::put_WestPosition(BOOL west) {
    return Put(m_bWestPosition, west);
}
HRESULT CDVBSLocator::get_OrbitalPosition(LONG* position) {
    return Get(m_nOrbitalPosition, position);
}
HRESULT CDVBSLocator::put_OrbitalPosition(LONG position) {
    return Put(m_nOrbitalPosition, position);
}
HRESULT CDVBSLocator::get_Azimuth(LONG* azimuth) {
    return Get(m_nAzimuth, azimuth);
}
HRESULT CDVBSLocator::put_Azimuth(LONG azimuth) {
    return Put(m_nAzimuth, azimuth);
}
HRESULT CDVBSLocator::get_Elevation(LONG* elevation) {
    return Get(m_nElevation, elevation);
}
HRESULT CDVBSLocator::put_Elevation(LONG elevation) {
    return Put(m_nElevation, elevation);
}

HRESULT CDVBSLocator::Clone(ILocator** copy) {
    if (copy == nullptr) return E_POINTER;
    ComPtr<CDVBSLocator> twin(new CDVBSLocator());
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        twin->m_nCarrierFrequency = m_nCarrierFrequency;
        twin->m_nInnerFEC = m_nInnerFEC;
        twin->m_nInnerFECRate = m_nInnerFECRate;
        twin->m_nOuterFEC = m_nOuterFEC;
        twin->m_nOuterFECRate = m_nOuterFECRate;
        twin->m_nModulation = m_nModulation;
        twin->m_nSymbolRate = m_nSymbolRate;
        twin->m_nSignalPolarisation = m_nSignalPolarisation;
        twin->m_bWestPosition = m_bWestPosition;
        twin->m_nOrbitalPosition = m_nOrbitalPosition;
        twin->m_nAzimuth = m_nAzimuth;
        twin->m_nElevation = m_nElevation;
    }
    *copy = static_cast<IDVBSLocator*>(twin.Detach());
    return S_OK;
}
