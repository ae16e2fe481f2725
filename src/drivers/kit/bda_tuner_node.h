#pragma once
// The tuner node of a BDA tuner filter's topology (node type 0): frequency, polarisation and LNB
// settings for the next CommitChanges, and the signal statistics of the card behind it. Its
// lifetime is the filter's: AddRef and Release go to the filter.
#include "drivers/kit/bda_pending_tune.h"
#include "drivers/kit/bda_signal.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/com/unknown_base.h"
#include "platform/media/media_interfaces.h"

class CBdaTunerNode : public CUnknown,
                      public IBDA_FrequencyFilter,
                      public IBDA_LNBInfo,
                      public IBDA_SignalStatistics {
public:
    CBdaTunerNode(IBaseFilter* filter, CBdaPendingTune* pending, IBdaSignalSource* signals);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override;

    // IBDA_FrequencyFilter
    HRESULT put_Frequency(ULONG frequency) override;
    HRESULT get_Frequency(ULONG* frequency) override;
    HRESULT put_Polarity(Polarisation polarity) override;
    HRESULT get_Polarity(Polarisation* polarity) override;
    HRESULT put_FrequencyMultiplier(ULONG multiplier) override;
    HRESULT get_FrequencyMultiplier(ULONG* multiplier) override;

    // IBDA_LNBInfo
    HRESULT put_LocalOscillatorFrequencyLowBand(ULONG frequency) override;
    HRESULT get_LocalOscillatorFrequencyLowBand(ULONG* frequency) override;
    HRESULT put_LocalOscillatorFrequencyHighBand(ULONG frequency) override;
    HRESULT get_LocalOscillatorFrequencyHighBand(ULONG* frequency) override;
    HRESULT put_HighLowSwitchFrequency(ULONG frequency) override;
    HRESULT get_HighLowSwitchFrequency(ULONG* frequency) override;

    // IBDA_SignalStatistics: strength and quality 0..100 as 32-bit values, the flags as bytes.
    HRESULT get_SignalStrength(LONG* strength) override;
    HRESULT get_SignalQuality(LONG* quality) override;
    HRESULT get_SignalPresent(BOOLEAN* present) override;
    HRESULT get_SignalLocked(BOOLEAN* locked) override;

private:
    // Sets one field of the pending request; Get reads one back.
    HRESULT Put(ULONG BdaTuneRequest::*field, ULONG value);
    HRESULT Get(ULONG BdaTuneRequest::*field, ULONG* value) const;
    template <typename T>
    HRESULT Read(T* out, T (*pick)(const BdaSignal&));

    IBaseFilter* const m_pFilter;
    CBdaPendingTune* const m_pPending;
    IBdaSignalSource* const m_pSignals;
};
