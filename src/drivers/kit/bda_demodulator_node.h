#pragma once
// The demodulator node of a BDA tuner filter's topology (node type 1): symbol rate and the
// modulation settings for the next CommitChanges. DVB-S2 demodulators find modulation, code
// rate and spectrum by themselves, so only the symbol rate goes into the tune; the others are
// kept for their getters. Its lifetime is the filter's: AddRef and Release go to the filter.
#include "drivers/kit/bda_pending_tune.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/com/unknown_base.h"
#include "platform/media/media_interfaces.h"

class CBdaDemodulatorNode : public CUnknown, public IBDA_DigitalDemodulator {
public:
    CBdaDemodulatorNode(IBaseFilter* filter, CBdaPendingTune* pending);

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
    IBaseFilter* const m_pFilter;
    CBdaPendingTune* const m_pPending;
    ModulationType m_modulation = BDA_MOD_NOT_SET;
    FECMethod m_innerMethod = BDA_FEC_METHOD_NOT_SET;
    BinaryConvolutionCodeRate m_innerRate = BDA_BCC_RATE_NOT_SET;
    FECMethod m_outerMethod = BDA_FEC_METHOD_NOT_SET;
    SpectralInversion m_inversion = BDA_SPECTRAL_INVERSION_NOT_SET;
};
