#pragma once
// The DVB-S locator (CLSID_DVBSLocator): the values that describe one satellite transponder.
// Every property starts "not set" (-1, FALSE for the west flag), as the system's locator does,
// so a tuner leaves whatever the caller did not name at its own default.
#include <mutex>

#include "platform/bda/tuning_interfaces.h"
#include "platform/com/unknown_base.h"

class CDVBSLocator : public CUnknown, public IDVBSLocator {
public:
    CDVBSLocator() = default;
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT get_CarrierFrequency(LONG* frequency) override;
    HRESULT put_CarrierFrequency(LONG frequency) override;
    HRESULT get_InnerFEC(FECMethod* method) override;
    HRESULT put_InnerFEC(FECMethod method) override;
    HRESULT get_InnerFECRate(BinaryConvolutionCodeRate* rate) override;
    HRESULT put_InnerFECRate(BinaryConvolutionCodeRate rate) override;
    HRESULT get_OuterFEC(FECMethod* method) override;
    HRESULT put_OuterFEC(FECMethod method) override;
    HRESULT get_OuterFECRate(BinaryConvolutionCodeRate* rate) override;
    HRESULT put_OuterFECRate(BinaryConvolutionCodeRate rate) override;
    HRESULT get_Modulation(ModulationType* modulation) override;
    HRESULT put_Modulation(ModulationType modulation) override;
    HRESULT get_SymbolRate(LONG* rate) override;
    HRESULT put_SymbolRate(LONG rate) override;
    // A new locator with the same values; later changes to either do not reach the other.
    HRESULT Clone(ILocator** copy) override;

    HRESULT get_SignalPolarisation(Polarisation* polarisation) override;
    HRESULT put_SignalPolarisation(Polarisation polarisation) override;
    HRESULT get_WestPosition(BOOL* west) override;
    HRESULT put_WestPosition(BOOL west) override;
    HRESULT get_OrbitalPosition(LONG* position) override;
    HRESULT put_OrbitalPosition(LONG position) override;
    HRESULT get_Azimuth(LONG* azimuth) override;
    HRESULT put_Azimuth(LONG azimuth) override;
    HRESULT get_Elevation(LONG* elevation) override;
    HRESULT put_Elevation(LONG elevation) override;

private:
    template <typename T>
    HRESULT Get(const T& member, T* out) const;
    template <typename T>
    HRESULT Put(T& member, T value);

    // The locator may be read by one thread while another fills it.
    mutable std::mutex m_lock;
    LONG m_nCarrierFrequency = -1;
    FECMethod m_nInnerFEC = BDA_FEC_METHOD_NOT_SET;
    BinaryConvolutionCodeRate m_nInnerFECRate = BDA_BCC_RATE_NOT_SET;
    FECMethod m_nOuterFEC = BDA_FEC_METHOD_NOT_SET;
    BinaryConvolutionCodeRate m_nOuterFECRate = BDA_BCC_RATE_NOT_SET;
    ModulationType m_nModulation = BDA_MOD_NOT_SET;
    LONG m_nSymbolRate = -1;
    Polarisation m_nSignalPolarisation = BDA_POLARISATION_NOT_SET;
    BOOL m_bWestPosition = FALSE;
    LONG m_nOrbitalPosition = -1;
    LONG m_nAzimuth = -1;
    LONG m_nElevation = -1;
};
