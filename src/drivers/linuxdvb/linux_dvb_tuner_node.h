#pragma once
// The tuner node of the Linux DVB tuner's topology (node type 0): frequency, polarisation and
// LNB settings for the next CommitChanges, and the frontend's signal statistics (strength and
// quality 0..100, locked from FE_HAS_LOCK; see dvb_signal_scale.h for the mapping). Its lifetime
// is the filter's: AddRef and Release go to the filter.
#include "platform/bda/bda_device_interfaces.h"
#include "platform/com/unknown_base.h"

namespace linuxdvb {

class CLinuxDvbTunerFilter;
struct DvbSignal;

class CLinuxDvbTunerNode : public CUnknown,
                           public IBDA_FrequencyFilter,
                           public IBDA_LNBInfo,
                           public IBDA_SignalStatistics {
public:
    explicit CLinuxDvbTunerNode(CLinuxDvbTunerFilter* filter);

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

    // IBDA_SignalStatistics
    HRESULT get_SignalStrength(LONG* strength) override;
    HRESULT get_SignalQuality(LONG* quality) override;
    HRESULT get_SignalPresent(BOOLEAN* present) override;
    HRESULT get_SignalLocked(BOOLEAN* locked) override;

private:
    template <typename T>
    HRESULT Read(T* out, T (*pick)(const DvbSignal&));

    CLinuxDvbTunerFilter* const m_pFilter;
};

}  // namespace linuxdvb
