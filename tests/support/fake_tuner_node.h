#pragma once
// A control node of the fake tuner: the tuner node answers the frequency filter and the LNB
// interfaces, the demodulator node the digital demodulator, as the script allows.
#include <memory>

#include "platform/bda/bda_device_interfaces.h"
#include "platform/com/com_ptr.h"
#include "platform/com/unknown_base.h"
#include "support/fake_tuner_script.h"

class CFakeTunerNode : public CUnknown,
                       public IBDA_FrequencyFilter,
                       public IBDA_LNBInfo,
                       public IBDA_DigitalDemodulator {
public:
    // A tuner node with `signal` also answers IBDA_SignalStatistics through it.
    CFakeTunerNode(std::shared_ptr<FakeTunerScript> script, ULONG nodeType,
                   IUnknown* signal = nullptr);
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT put_Frequency(ULONG frequency) override;
    HRESULT get_Frequency(ULONG* frequency) override;
    HRESULT put_Polarity(Polarisation polarity) override;
    HRESULT get_Polarity(Polarisation* polarity) override;
    HRESULT put_FrequencyMultiplier(ULONG multiplier) override;
    HRESULT get_FrequencyMultiplier(ULONG* multiplier) override;

    HRESULT put_LocalOscillatorFrequencyLowBand(ULONG frequency) override;
    HRESULT get_LocalOscillatorFrequencyLowBand(ULONG* frequency) override;
    HRESULT put_LocalOscillatorFrequencyHighBand(ULONG frequency) override;
    HRESULT get_LocalOscillatorFrequencyHighBand(ULONG* frequency) override;
    HRESULT put_HighLowSwitchFrequency(ULONG frequency) override;
    HRESULT get_HighLowSwitchFrequency(ULONG* frequency) override;

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
    const std::shared_ptr<FakeTunerScript> m_pScript;
    const ULONG m_nNodeType;
    const ComPtr<IUnknown> m_pSignal;
};
