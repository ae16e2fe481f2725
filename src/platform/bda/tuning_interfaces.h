#pragma once
// The broadcast tuning objects: tuning spaces (kept by the system's container), locators that
// describe one transponder, tune requests, and the network provider's ITuner.
// BSTR texts are std::wstring here.
#include <string>

#include "platform/com/unknown.h"

enum DVBSystemType { DVB_Cable = 0, DVB_Terrestrial = 1, DVB_Satellite = 2 };
enum FECMethod {
    BDA_FEC_METHOD_NOT_SET = -1,
    BDA_FEC_METHOD_NOT_DEFINED = 0,
    BDA_FEC_VITERBI = 1,
    BDA_FEC_RS_204_188 = 2
};
enum BinaryConvolutionCodeRate {
    BDA_BCC_RATE_NOT_SET = -1,
    BDA_BCC_RATE_NOT_DEFINED = 0,
    BDA_BCC_RATE_1_2 = 1,
    BDA_BCC_RATE_2_3 = 2,
    BDA_BCC_RATE_3_4 = 3,
    BDA_BCC_RATE_3_5 = 4,
    BDA_BCC_RATE_4_5 = 5,
    BDA_BCC_RATE_5_6 = 6,
    BDA_BCC_RATE_5_11 = 7,
    BDA_BCC_RATE_7_8 = 8,
    BDA_BCC_RATE_1_4 = 9,
    BDA_BCC_RATE_1_3 = 10,
    BDA_BCC_RATE_2_5 = 11,
    BDA_BCC_RATE_6_7 = 12,
    BDA_BCC_RATE_8_9 = 13,
    BDA_BCC_RATE_9_10 = 14
};
enum ModulationType {
    BDA_MOD_NOT_SET = -1,
    BDA_MOD_NOT_DEFINED = 0,
    BDA_MOD_QPSK = 20,
    BDA_MOD_8PSK = 27,
    BDA_MOD_16APSK = 28,
    BDA_MOD_32APSK = 29
};
enum Polarisation {
    BDA_POLARISATION_NOT_SET = -1,
    BDA_POLARISATION_NOT_DEFINED = 0,
    BDA_POLARISATION_LINEAR_H = 1,
    BDA_POLARISATION_LINEAR_V = 2,
    BDA_POLARISATION_CIRCULAR_L = 3,
    BDA_POLARISATION_CIRCULAR_R = 4
};
enum SpectralInversion {
    BDA_SPECTRAL_INVERSION_NOT_SET = -1,
    BDA_SPECTRAL_INVERSION_NOT_DEFINED = 0,
    BDA_SPECTRAL_INVERSION_AUTOMATIC = 1,
    BDA_SPECTRAL_INVERSION_NORMAL = 2,
    BDA_SPECTRAL_INVERSION_INVERTED = 3
};

struct ITuneRequest;

struct ILocator : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{286D7F89-760C-4F89-80C4-66841D2507AA}");
    virtual HRESULT get_CarrierFrequency(LONG* frequency) = 0;  // kHz
    virtual HRESULT put_CarrierFrequency(LONG frequency) = 0;
    virtual HRESULT get_InnerFEC(FECMethod* method) = 0;
    virtual HRESULT put_InnerFEC(FECMethod method) = 0;
    virtual HRESULT get_InnerFECRate(BinaryConvolutionCodeRate* rate) = 0;
    virtual HRESULT put_InnerFECRate(BinaryConvolutionCodeRate rate) = 0;
    virtual HRESULT get_OuterFEC(FECMethod* method) = 0;
    virtual HRESULT put_OuterFEC(FECMethod method) = 0;
    virtual HRESULT get_OuterFECRate(BinaryConvolutionCodeRate* rate) = 0;
    virtual HRESULT put_OuterFECRate(BinaryConvolutionCodeRate rate) = 0;
    virtual HRESULT get_Modulation(ModulationType* modulation) = 0;
    virtual HRESULT put_Modulation(ModulationType modulation) = 0;
    virtual HRESULT get_SymbolRate(LONG* rate) = 0;  // kSps as the system passes it
    virtual HRESULT put_SymbolRate(LONG rate) = 0;
    virtual HRESULT Clone(ILocator** copy) = 0;

protected:
    ~ILocator() = default;
};

struct IDVBSLocator : ILocator {
    static constexpr IID kIid = com::MakeGuid("{3D7C353C-0D04-45F1-A742-F97CC1188DC8}");
    virtual HRESULT get_SignalPolarisation(Polarisation* polarisation) = 0;
    virtual HRESULT put_SignalPolarisation(Polarisation polarisation) = 0;
    virtual HRESULT get_WestPosition(BOOL* west) = 0;
    virtual HRESULT put_WestPosition(BOOL west) = 0;
    virtual HRESULT get_OrbitalPosition(LONG* position) = 0;
    virtual HRESULT put_OrbitalPosition(LONG position) = 0;
    virtual HRESULT get_Azimuth(LONG* azimuth) = 0;
    virtual HRESULT put_Azimuth(LONG azimuth) = 0;
    virtual HRESULT get_Elevation(LONG* elevation) = 0;
    virtual HRESULT put_Elevation(LONG elevation) = 0;

protected:
    ~IDVBSLocator() = default;
};

struct ITuningSpace : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{061C6E30-E622-11D2-9493-00C04F72D980}");
    virtual HRESULT get_UniqueName(std::wstring* name) = 0;
    virtual HRESULT put_UniqueName(const std::wstring& name) = 0;
    virtual HRESULT get_FriendlyName(std::wstring* name) = 0;
    virtual HRESULT put_FriendlyName(const std::wstring& name) = 0;
    // The network type as the class identifier's text form.
    virtual HRESULT get_NetworkType(std::wstring* clsidText) = 0;
    virtual HRESULT put_NetworkType(const std::wstring& clsidText) = 0;
    virtual HRESULT get__NetworkType(CLSID* clsid) = 0;
    virtual HRESULT put__NetworkType(REFCLSID clsid) = 0;
    virtual HRESULT get_FrequencyMapping(std::wstring* mapping) = 0;
    virtual HRESULT put_FrequencyMapping(const std::wstring& mapping) = 0;
    virtual HRESULT get_DefaultLocator(ILocator** locator) = 0;
    virtual HRESULT put_DefaultLocator(ILocator* locator) = 0;
    virtual HRESULT CreateTuneRequest(ITuneRequest** request) = 0;

protected:
    ~ITuningSpace() = default;
};

struct IDVBTuningSpace : ITuningSpace {
    static constexpr IID kIid = com::MakeGuid("{ADA0B268-3B19-4E5B-ACC4-49F852BE13BA}");
    virtual HRESULT get_SystemType(DVBSystemType* type) = 0;
    virtual HRESULT put_SystemType(DVBSystemType type) = 0;

protected:
    ~IDVBTuningSpace() = default;
};

struct IDVBTuningSpace2 : IDVBTuningSpace {
    static constexpr IID kIid = com::MakeGuid("{843188B4-CE62-43DB-966B-8145A094E040}");
    virtual HRESULT get_NetworkID(LONG* id) = 0;
    virtual HRESULT put_NetworkID(LONG id) = 0;

protected:
    ~IDVBTuningSpace2() = default;
};

struct IDVBSTuningSpace : IDVBTuningSpace2 {
    static constexpr IID kIid = com::MakeGuid("{CDF7BE60-D954-42FD-A972-78971958E470}");
    // Oscillators and switch in kHz; -1 means not set.
    virtual HRESULT get_LowOscillator(LONG* frequency) = 0;
    virtual HRESULT put_LowOscillator(LONG frequency) = 0;
    virtual HRESULT get_HighOscillator(LONG* frequency) = 0;
    virtual HRESULT put_HighOscillator(LONG frequency) = 0;
    virtual HRESULT get_LNBSwitch(LONG* frequency) = 0;
    virtual HRESULT put_LNBSwitch(LONG frequency) = 0;
    virtual HRESULT get_InputRange(std::wstring* range) = 0;
    virtual HRESULT put_InputRange(const std::wstring& range) = 0;
    virtual HRESULT get_SpectralInversion(SpectralInversion* inversion) = 0;
    virtual HRESULT put_SpectralInversion(SpectralInversion inversion) = 0;

protected:
    ~IDVBSTuningSpace() = default;
};

struct ITuneRequest : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{07DDC146-FC3D-11D2-9D8C-00C04F72D980}");
    virtual HRESULT get_TuningSpace(ITuningSpace** space) = 0;
    virtual HRESULT get_Locator(ILocator** locator) = 0;
    virtual HRESULT put_Locator(ILocator* locator) = 0;
    virtual HRESULT Clone(ITuneRequest** copy) = 0;

protected:
    ~ITuneRequest() = default;
};

struct IDVBTuneRequest : ITuneRequest {
    static constexpr IID kIid = com::MakeGuid("{0D6F567E-A636-42BB-83BA-CE4C1704AFA2}");
    virtual HRESULT get_ONID(LONG* id) = 0;
    virtual HRESULT put_ONID(LONG id) = 0;
    virtual HRESULT get_TSID(LONG* id) = 0;
    virtual HRESULT put_TSID(LONG id) = 0;
    virtual HRESULT get_SID(LONG* id) = 0;
    virtual HRESULT put_SID(LONG id) = 0;

protected:
    ~IDVBTuneRequest() = default;
};

struct IEnumTuningSpaces : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{8B8EB248-FC2B-11D2-9D8C-00C04F72D980}");
    virtual HRESULT Next(ULONG count, ITuningSpace** spaces, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;

protected:
    ~IEnumTuningSpaces() = default;
};

struct ITuningSpaceContainer : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{5B692E84-E2F1-11D2-9493-00C04F72D980}");
    virtual HRESULT get_Count(LONG* count) = 0;
    virtual HRESULT get_EnumTuningSpaces(IEnumTuningSpaces** enumerator) = 0;
    // Registers the tuning space in the persistent store; its unique name must be new.
    virtual HRESULT Add(ITuningSpace* space) = 0;

protected:
    ~ITuningSpaceContainer() = default;
};

struct ITuner : IUnknown {
    static constexpr IID kIid = com::MakeGuid("{28C52640-018A-11D3-9D8E-00C04F72D980}");
    virtual HRESULT get_TuningSpace(ITuningSpace** space) = 0;
    virtual HRESULT put_TuningSpace(ITuningSpace* space) = 0;
    virtual HRESULT get_TuneRequest(ITuneRequest** request) = 0;
    // Hands the request to the tuner filter connected to the provider.
    virtual HRESULT put_TuneRequest(ITuneRequest* request) = 0;
    virtual HRESULT Validate(ITuneRequest* request) = 0;

protected:
    ~ITuner() = default;
};

inline constexpr IID IID_ITuningSpaceContainer = ITuningSpaceContainer::kIid;
inline constexpr IID IID_IDVBTuningSpace2 = IDVBTuningSpace2::kIid;
inline constexpr IID IID_IDVBSTuningSpace = IDVBSTuningSpace::kIid;
inline constexpr IID IID_IDVBSLocator = IDVBSLocator::kIid;
inline constexpr IID IID_ITuner = ITuner::kIid;

inline constexpr CLSID CLSID_SystemTuningSpaces =
    com::MakeGuid("{D02AAC50-027E-11D3-9D8E-00C04F72D980}");
inline constexpr CLSID CLSID_DVBSTuningSpace =
    com::MakeGuid("{B64016F3-C9A2-4066-96F0-BD9563314726}");
inline constexpr CLSID CLSID_DVBSLocator = com::MakeGuid("{1DF7D126-4050-47F0-A7CF-4C4CA9241333}");
inline constexpr CLSID CLSID_DVBSNetworkProvider =
    com::MakeGuid("{FA4B375A-45B4-4D45-8440-263957B11623}");
inline constexpr CLSID CLSID_DVBTuneRequest =
    com::MakeGuid("{15D6504A-5494-499C-886C-973C9E53B9F1}");
