#pragma once
// What a tuner filter offers the network provider and the signal monitor: the topology with
// its control nodes, the node interfaces that take a transponder's parameters, the device
// control that commits them, and the signal statistics.
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/unknown.h"

// Node types of a tuner filter's topology.
inline constexpr ULONG kBdaTunerNode = 0;        // frequency filter, LNB, signal statistics
inline constexpr ULONG kBdaDemodulatorNode = 1;  // digital demodulator

struct IBDA_Topology : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{79B56888-7FEA-4690-B45D-38FD3C7849BE}");
    // The control node between an input and an output pin, of one node type.
    virtual HRESULT GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                                   IUnknown** node) = 0;

protected:
    ~IBDA_Topology() = default;
};

struct IBDA_SignalStatistics : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{1347D106-CF3A-428A-A5CB-AC0D9A2A4338}");
    virtual HRESULT get_SignalStrength(LONG* strength) = 0;
    virtual HRESULT get_SignalQuality(LONG* quality) = 0;
    virtual HRESULT get_SignalPresent(BOOLEAN* present) = 0;
    virtual HRESULT get_SignalLocked(BOOLEAN* locked) = 0;

protected:
    ~IBDA_SignalStatistics() = default;
};

struct IBDA_FrequencyFilter : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{71985F47-1CA1-11D3-9CC8-00C04F7971E0}");
    virtual HRESULT put_Frequency(ULONG frequency) = 0;  // in units of the multiplier (kHz)
    virtual HRESULT get_Frequency(ULONG* frequency) = 0;
    virtual HRESULT put_Polarity(Polarisation polarity) = 0;
    virtual HRESULT get_Polarity(Polarisation* polarity) = 0;
    virtual HRESULT put_FrequencyMultiplier(ULONG multiplier) = 0;
    virtual HRESULT get_FrequencyMultiplier(ULONG* multiplier) = 0;

protected:
    ~IBDA_FrequencyFilter() = default;
};

struct IBDA_LNBInfo : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{992CF102-49F9-4719-A664-C4F23E2408F4}");
    virtual HRESULT put_LocalOscillatorFrequencyLowBand(ULONG frequency) = 0;  // kHz
    virtual HRESULT get_LocalOscillatorFrequencyLowBand(ULONG* frequency) = 0;
    virtual HRESULT put_LocalOscillatorFrequencyHighBand(ULONG frequency) = 0;
    virtual HRESULT get_LocalOscillatorFrequencyHighBand(ULONG* frequency) = 0;
    virtual HRESULT put_HighLowSwitchFrequency(ULONG frequency) = 0;
    virtual HRESULT get_HighLowSwitchFrequency(ULONG* frequency) = 0;

protected:
    ~IBDA_LNBInfo() = default;
};

struct IBDA_DigitalDemodulator : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{EF30F379-985B-4D10-B640-A79D5E04E1E0}");
    virtual HRESULT put_ModulationType(ModulationType modulation) = 0;
    virtual HRESULT get_ModulationType(ModulationType* modulation) = 0;
    virtual HRESULT put_InnerFECMethod(FECMethod method) = 0;
    virtual HRESULT get_InnerFECMethod(FECMethod* method) = 0;
    virtual HRESULT put_InnerFECRate(BinaryConvolutionCodeRate rate) = 0;
    virtual HRESULT get_InnerFECRate(BinaryConvolutionCodeRate* rate) = 0;
    virtual HRESULT put_OuterFECMethod(FECMethod method) = 0;
    virtual HRESULT get_OuterFECMethod(FECMethod* method) = 0;
    virtual HRESULT put_SymbolRate(ULONG rate) = 0;
    virtual HRESULT get_SymbolRate(ULONG* rate) = 0;
    virtual HRESULT put_SpectralInversion(SpectralInversion inversion) = 0;
    virtual HRESULT get_SpectralInversion(SpectralInversion* inversion) = 0;

protected:
    ~IBDA_DigitalDemodulator() = default;
};

struct IBDA_DeviceControl : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{FD0A5AF3-B41D-11D2-9C95-00C04F7971E0}");
    virtual HRESULT StartChanges() = 0;
    virtual HRESULT CheckChanges() = 0;
    // Applies the node settings made since StartChanges: the tuner tunes.
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT GetChangeState(ULONG* state) = 0;

protected:
    ~IBDA_DeviceControl() = default;
};

// The media type on which a network provider connects to a tuner's "Input0" pin.
inline constexpr GUID KSDATAFORMAT_TYPE_BDA_ANTENNA =
    com::MakeGuid("{71985F41-1CA1-11D3-9CC8-00C04F7971E0}");
// The media type of a tuner's transport output, and of the capture filter's input: the subtype
// names the card's own medium, so a tuner connects only to a capture filter of the same card.
inline constexpr GUID KSDATAFORMAT_TYPE_STREAM =
    com::MakeGuid("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline constexpr GUID KSDATAFORMAT_SPECIFIER_BDA_TRANSPORT =
    com::MakeGuid("{8DEDA6FD-AC5F-4334-8ECF-A4BA8FA7D0F0}");
