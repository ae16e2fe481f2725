#include "graph/driver_control.h"

#include <array>
#include <mutex>
#include <string>

#include "core/process_globals.h"
#include "graph/bda_graph.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/media/media_interfaces.h"
#include "platform/ui/message_box.h"
#include "platform/win/debug_output.h"
#include "platform/win/text_encoding.h"

TunerControlRecord g_TunerControlRecord;
MediaInfoRecord g_MediaInfoRecord;

namespace {

DiseqcSentListener g_diseqcSentListener;  // set and cleared on the UI thread, under the mutex

void TellDiseqcSent(std::span<const std::uint8_t> message) {
    if (g_diseqcSentListener) g_diseqcSentListener(message);
}

using DriverLock = std::unique_lock<std::recursive_mutex>;

void ShowError(const char* text) {
    MessageBoxA(nullptr, text, "error", MB_OK);
}

HRESULT QuerySupported(const GUID& set, DWORD id) {
    std::lock_guard driver(g_hDriverMutex);
    IKsPropertySet* handle = g_BDAGraph.m_pKsCtrl.Get();
    if (handle == nullptr) return E_POINTER;
    DWORD support = 0;
    return handle->QuerySupported(set, id, &support);
}

template <std::size_t N>
HRESULT SetSameBuffer(const GUID& set, DWORD id, std::array<std::uint8_t, N>& bytes) {
    std::lock_guard driver(g_hDriverMutex);
    IKsPropertySet* handle = g_BDAGraph.m_pKsCtrl.Get();
    if (handle == nullptr) return E_POINTER;
    return handle->Set(set, id, bytes.data(), N, bytes.data(), N);
}

template <std::size_t N>
HRESULT GetSameBuffer(const GUID& set, DWORD id, std::array<std::uint8_t, N>& bytes) {
    std::lock_guard driver(g_hDriverMutex);
    IKsPropertySet* handle = g_BDAGraph.m_pKsCtrl.Get();
    if (handle == nullptr) return E_POINTER;
    DWORD returned = 0;
    return handle->Get(set, id, bytes.data(), N, bytes.data(), N, &returned);
}

// The last pin of the filter whose 8-bit name contains "Input0".
ComPtr<IPin> FindInput0Pin(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf()))) return nullptr;
    ComPtr<IPin> found;
    ComPtr<IPin> pin;
    ULONG fetched = 0;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), &fetched) == S_OK) {
        PIN_INFO info;
        if (FAILED(pin->QueryPinInfo(&info))) continue;
        if (platform::WideToUtf8(info.achName).find("Input0") != std::string::npos) found = pin;
    }
    return found;
}

}  // namespace

DriverControlResult AcquireDriverControl() {
    {
        std::lock_guard driver(g_hDriverMutex);
        g_BDAGraph.m_pKsCtrl.Reset();
    }
    IBaseFilter* tuner = g_BDAGraph.m_pTunerDevice.Get();
    if (tuner == nullptr) return DriverControlResult::NoHandle;

    ComPtr<IKsPropertySet> filterHandle;
    if (FAILED(
            tuner->QueryInterface(IID_IKsPropertySet, filterHandle.ReleaseAndGetVoidAddress()))) {
        ShowError("m_pTunerDevice USB QueryInterface Failed");
        return DriverControlResult::Failed;
    }
    g_BDAGraph.m_pKsCtrl.Attach(filterHandle.Detach());
    if (IsUsbCarrier()) return DriverControlResult::Acquired;

    {
        std::lock_guard driver(g_hDriverMutex);
        g_BDAGraph.m_pKsCtrl.Reset();
    }
    const ComPtr<IPin> input0 = FindInput0Pin(tuner);
    if (!input0) return DriverControlResult::NoHandle;
    ComPtr<IKsPropertySet> pinHandle;
    if (FAILED(input0->QueryInterface(IID_IKsPropertySet, pinHandle.ReleaseAndGetVoidAddress()))) {
        ShowError("m_pTunerDevice PCI/PCI-E QueryInterface Failed");
        return DriverControlResult::Failed;
    }
    g_BDAGraph.m_pKsCtrl.Attach(pinHandle.Detach());
    return DriverControlResult::Acquired;
}

bool IsUsbCarrier() {
    return SUCCEEDED(QuerySupported(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_PRESENT));
}

void SendDiseqCommand(std::span<const std::uint8_t> message, DiseqcForm form) {
    // Held for the whole operation, message boxes included: it runs on the UI thread.
    std::lock_guard driver(g_hDriverMutex);
    IKsPropertySet* handle = g_BDAGraph.m_pKsCtrl.Get();
    if (handle == nullptr) return;
    DWORD support = 0;
    if (!IsUsbCarrier()) {
        if (FAILED(handle->QuerySupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, &support))) {
            OutputDebugStringA("@@@@@!!!!DiSEqC Interface Not Supported\n");
            if (form == DiseqcForm::LockTp) {
                ShowError("SendDiseqCommand11 QueryInterface Failed");
            } else {
                AfxMessageBox("SendDiseqCommandArden QueryInterface Failed 00");
            }
            return;
        }
        DiseqcMessageRecord record = DiseqcMessageRecord::For(message);
        if (handle->Set(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, nullptr, 0, record.bytes.data(),
                        DiseqcMessageRecord::kSize) != S_OK) {
            AfxMessageBox("SendDiseqCommandArden QueryInterface Failed");
            return;
        }
        TellDiseqcSent(message);
        return;
    }
    if (FAILED(handle->QuerySupported(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, &support))) {
        if (form == DiseqcForm::LockTp) ShowError("OnMotor22 false");
        return;
    }
    g_TunerControlRecord.PutMessage(message);
    if (handle->Set(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, nullptr, 0,
                    g_TunerControlRecord.bytes.data(), TunerControlRecord::kSize) != S_OK) {
        if (form == DiseqcForm::LockTp) ShowError("OnMotor11 false");
        return;
    }
    TellDiseqcSent(message);
}

void SetDiseqcSentListener(DiseqcSentListener listener) {
    std::lock_guard driver(g_hDriverMutex);
    g_diseqcSentListener = std::move(listener);
}

bool GetStreamType(StreamTypeRecord& pageRecord) {
    if (!g_BDAGraph.m_pKsCtrl) {
        ShowError("m_pKsCtrl==NULL");
        return false;
    }
    if (IsUsbCarrier()) return true;
    if (FAILED(QuerySupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS))) {
        ShowError("333don't support this interface");
        return false;
    }
    if (FAILED(GetSameBuffer(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS,
                             pageRecord.bytes))) {
        AfxMessageBox("Get KSPROPERTY_BDA_GET_MEDIAINFO error");
        return false;
    }
    return true;
}

bool IsStreamTypeCurrent(const StreamTypeRecord& pageRecord) {
    if (!g_BDAGraph.m_pKsCtrl) {
        ShowError("m_pKsCtrl==NULL");
        return false;
    }
    if (FAILED(QuerySupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS))) {
        ShowError("111don't support this interface");
        return false;
    }
    StreamTypeRecord driverRecord{{0, 0}};
    if (FAILED(GetSameBuffer(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS,
                             driverRecord.bytes))) {
        AfxMessageBox("Get KSPROPERTY_BDA_GET_MEDIAINFO error");
        return false;
    }
    return driverRecord.bytes[1] == pageRecord.bytes[1] &&
           driverRecord.bytes[0] == pageRecord.bytes[0];
}

bool SetStreamType(const StreamTypeRecord& pageRecord) {
    g_BDAGraph.StopGraph();
    if (!g_BDAGraph.m_pKsCtrl) return false;
    if (IsUsbCarrier()) return true;
    if (FAILED(QuerySupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS))) {
        ShowError("222don't support this interface");
        return false;
    }
    StreamTypeRecord sent = pageRecord;
    if (FAILED(SetSameBuffer(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, sent.bytes))) {
        AfxMessageBox("Get KSPROPERTY_BDA_STREAMTYPE_PARAMS error");
        return false;
    }
    return true;
}

namespace {

struct MediaInfoRead {
    bool usb = false;
    HRESULT supported = S_OK;
    HRESULT read = S_OK;
    std::array<std::uint8_t, MediaInfoRecord::kSize> bytes{};
};

// The carrier report's support query and get, under the driver mutex; no message. The get's
// buffer starts as `previous`, as a driver may leave fields it does not write.
std::optional<MediaInfoRead> ReadMediaInfo(const MediaInfoRecord& previous) {
    MediaInfoRead result;
    result.bytes = previous.Encode();
    // Held from before the support query until the get has returned, and released before
    // any message: the UI thread may be waiting for this mutex.
    std::lock_guard driver(g_hDriverMutex);
    IKsPropertySet* handle = g_BDAGraph.m_pKsCtrl.Get();
    if (handle == nullptr) return std::nullopt;
    result.usb = IsUsbCarrier();
    const GUID& set = result.usb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt;
    const DWORD id = result.usb ? KSPROPERTY_CTRL_GET_MEDIAINFO : KSPROPERTY_BDA_GET_MEDIAINFO;
    DWORD support = 0;
    result.supported = handle->QuerySupported(set, id, &support);
    if (SUCCEEDED(result.supported)) {
        DWORD returned = 0;
        result.read = handle->Get(set, id, result.bytes.data(), MediaInfoRecord::kSize,
                                  result.bytes.data(), MediaInfoRecord::kSize, &returned);
    }
    return result;
}

}  // namespace

MediaInfoResult GetMediaInfo() {
    if (!g_BDAGraph.m_pKsCtrl) return MediaInfoResult::Unsupported;
    const std::optional<MediaInfoRead> result = ReadMediaInfo(g_MediaInfoRecord);
    if (!result) return MediaInfoResult::Unsupported;
    if (FAILED(result->supported)) {
        ShowError("666don't support this interface");
        return MediaInfoResult::Unsupported;
    }
    if (FAILED(result->read)) {
        AfxMessageBox(result->usb ? "Get KSPROPERTY_CTRL_GET_MEDIAINFO 22error"
                                  : "Get KSPROPERTY_BDA_GET_MEDIAINFO error");
        return MediaInfoResult::Failed;
    }
    g_MediaInfoRecord = MediaInfoRecord::Decode(result->bytes);
    return MediaInfoResult::Read;
}

std::optional<MediaInfoRecord> PeekMediaInfo() {
    const std::optional<MediaInfoRead> result = ReadMediaInfo(MediaInfoRecord{});
    if (!result || FAILED(result->supported) || FAILED(result->read)) return std::nullopt;
    return MediaInfoRecord::Decode(result->bytes);
}

bool SetInputStreamId(std::int32_t identifier) {
    if (!g_BDAGraph.m_pKsCtrl) return false;
    // There is no USB counterpart: always the PCI-E set.
    if (FAILED(QuerySupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID))) {
        ShowError("777don't support this interface");
        return false;
    }
    MediaInfoRecord record;
    record.inputStreamId = identifier;
    auto bytes = record.Encode();
    if (FAILED(SetSameBuffer(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, bytes))) {
        AfxMessageBox("Set KSPROPERTY_BDA_INPUTMULTISTREAMID error");
        return false;
    }
    return true;
}

void SetCode(std::int32_t value, std::int32_t type) {
    CodeRecord record = CodeRecord::For(value, type);
    if (!g_BDAGraph.m_pKsCtrl) return;
    const bool usb = IsUsbCarrier();
    const GUID& set = usb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt;
    const DWORD id = usb ? KSPROPERTY_CTRL_GOLDCODE : KSPROPERTY_BDA_GOLDCODE;
    if (FAILED(QuerySupported(set, id))) {
        ShowError(usb ? "don't support this interface" : "444don't support this interface");
        return;
    }
    if (FAILED(SetSameBuffer(set, id, record.bytes))) {
        AfxMessageBox(
            "Failed set the PLSCode.please have a check whether you are using the latest driver");
    } else {
        AfxMessageBox("Successfully set the PLSCode.");
    }
}

void ResetCode() {
    if (!g_BDAGraph.m_pKsCtrl) return;
    const bool usb = IsUsbCarrier();
    const GUID& set = usb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt;
    const DWORD id = usb ? KSPROPERTY_CTRL_GOLDCODE : KSPROPERTY_BDA_GOLDCODE;
    if (FAILED(QuerySupported(set, id))) {
        if (!usb) ShowError("555don't support this interface");
        return;
    }
    // Root code 1 first, then gold code 0: the driver's neutral scrambling.
    for (const auto& [value, type] : {std::pair{1, kRootCode}, std::pair{0, kGoldCode}}) {
        CodeRecord record = CodeRecord::For(value, type);
        if (FAILED(SetSameBuffer(set, id, record.bytes))) {
            OutputDebugStringA("Set KSPROPERTY_BDA_GOLDCODE error");
            return;
        }
        OutputDebugStringA("Successful set the GoldCode!");
    }
}

void SetModCodes(const ModCodeFilterRecord& record) {
    if (!g_BDAGraph.m_pKsCtrl) return;
    const bool usb = IsUsbCarrier();
    const GUID& set = usb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt;
    const DWORD id = usb ? KSPROPERTY_CTRL_MODCODES : KSPROPERTY_BDA_MODCODES;
    if (FAILED(QuerySupported(set, id))) {
        ShowError(usb ? "don't support this interface" : "444don't support this interface");
        return;
    }
    auto bytes = record.Encode();
    if (FAILED(SetSameBuffer(set, id, bytes))) {
        AfxMessageBox(usb ? "Failed set the mode code .please have a check whether you are using "
                            "the latest driver"
                          : "Failed set the Mode Codes.please have a check whether you are using "
                            "the latest driver");
    } else {
        AfxMessageBox(usb ? "Successfully set the MODCODES." : "Successfully set the Mode Codes..");
    }
}

SignalMeasureResult GetSignalMeasure() {
    SignalMeasureResult result;
    std::array<std::uint8_t, SignalMeasureRecord::kSize> bytes{};
    {
        std::lock_guard driver(g_hDriverMutex);
        IBaseFilter* tuner = g_BDAGraph.m_pTunerDevice.Get();
        if (tuner == nullptr) return result;
        ComPtr<IKsPropertySet> handle;
        if (FAILED(tuner->QueryInterface(IID_IKsPropertySet, handle.ReleaseAndGetVoidAddress())))
            return result;
        DWORD support = 0;
        if (FAILED(handle->QuerySupported(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE,
                                          &support)) ||
            (support & KSPROPERTY_SUPPORT_GET) == 0)
            return result;
        DWORD returned = 0;
        if (FAILED(handle->Get(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, nullptr, 0,
                               bytes.data(), SignalMeasureRecord::kSize, &returned)) ||
            returned != SignalMeasureRecord::kSize)
            return result;
    }
    const SignalMeasureRecord record = SignalMeasureRecord::Decode(bytes);
    result.ok = true;
    if ((record.flags & SignalMeasureRecord::kCarrierToNoiseReported) != 0)
        result.carrierToNoiseDb = record.carrierToNoiseMilliDb / 1000.0;
    if ((record.flags & SignalMeasureRecord::kLevelReported) != 0)
        result.levelDbm = record.levelMilliDbm / 1000.0;
    if ((record.flags & SignalMeasureRecord::kBitErrorsReported) != 0 && record.bitsCounted > 0)
        result.bitErrorRate =
            static_cast<double>(record.bitErrors) / static_cast<double>(record.bitsCounted);
    if ((record.flags & SignalMeasureRecord::kUncorrectedReported) != 0)
        result.uncorrectedBlocks = record.uncorrectedBlocks;
    return result;
}
