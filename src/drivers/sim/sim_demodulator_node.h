#pragma once
// The demodulator node of the simulated tuner filter's topology (node type 1): symbol rate and
// the modulation settings for the next CommitChanges. The card finds modulation, code rate and
// spectrum by itself, as DVB-S2 demodulators do; only the symbol rate counts for the tune.
// Its lifetime is the filter's: AddRef and Release go to the filter.
#include "platform/bda/bda_device_interfaces.h"
#include "platform/com/unknown_base.h"

class CSimTunerFilter;

class CSimDemodulatorNode : public CUnknown, public IBDA_DigitalDemodulator {
public:
    explicit CSimDemodulatorNode(CSimTunerFilter* filter);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override;

    HRESULT put_ModulationType(ModulationType modulation) override;
    HRESULT get_ModulationType(ModulationType* modulation) override;
    HRESULT put_InnerFECMethod(FECMethod method) override;
    HRESULT get_InnerFECMethod(FECMethod* method) override;
    HRESULT put_InnerFECRate(BinaryConvolutionCodeRate rate) override;
    HRESULT get_InnerFECRate(BinaryConvolutionCodeRate* rate) override;
    HRESULT put_OuterFECMethod(FECMethod method) override;
    HRESULT get_OuterFECMethod(FECMethod* method) override;
    HRESULT put_SymbolRate(ULONG rate) override;
    HRESULT get_SymbolRate(ULONG* rate) override;
    HRESULT put_SpectralInversion(SpectralInversion inversion) override;
    HRESULT get_SpectralInversion(SpectralInversion* inversion) override;

private:
    CSimTunerFilter* const m_pFilter;
    // Kept for the getters only.
    ModulationType m_modulation = BDA_MOD_NOT_SET;
    FECMethod m_innerMethod = BDA_FEC_METHOD_NOT_SET;
    BinaryConvolutionCodeRate m_innerRate = BDA_BCC_RATE_NOT_SET;
    FECMethod m_outerMethod = BDA_FEC_METHOD_NOT_SET;
    SpectralInversion m_inversion = BDA_SPECTRAL_INVERSION_NOT_SET;
};
