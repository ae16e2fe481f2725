#include "graph/driver_control.h"

#include <array>
#include <mutex>
#include <string>

#include "diseqc/motor_message.h"
#include "graph/tuner_session.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/media/media_interfaces.h"
#include "platform/win/debug_output.h"
#include "platform/win/text_encoding.h"

namespace {

// Asked of the tuner filter right after the send, with the driver mutex still held, so that the
// answer is about this message.
MotorReach AskMotorReach(CTunerSession& session) {
    IBaseFilter* tuner = session.m_BDAGraph.m_pTunerDevice.Get();
    if (tuner == nullptr) return MotorReach::Unknown;
    ComPtr<IKsPropertySet> handle;
    if (FAILED(tuner->QueryInterface(IID_IKsPropertySet, handle.ReleaseAndGetVoidAddress())))
        return MotorReach::Unknown;
    DWORD support = 0;
    if (FAILED(
            handle->QuerySupported(KSPROPSETID_MotorReach, KSPROPERTY_MOTOR_REACHED, &support)) ||
        (support & KSPROPERTY_SUPPORT_GET) == 0)
        return MotorReach::Unknown;
    std::array<std::uint8_t, 4> answer{};
    DWORD returned = 0;
    if (FAILED(handle->Get(KSPROPSETID_MotorReach, KSPROPERTY_MOTOR_REACHED, nullptr, 0,
                           answer.data(), answer.size(), &returned)) ||
        returned != answer.size())
        return MotorReach::Unknown;
    return answer[0] == 1 ? MotorReach::Reached : MotorReach::NotReached;
}

// Called with the driver mutex held. Only a listener's positioner messages are asked about: a
// tune's switch message adds no driver call.
void TellDiseqcSent(CTunerSession& session, std::span<const std::uint8_t> message) {
    if (!session.m_DiseqcSentListener) return;
    const MotorReach reach =
        diseqc::DecodeMotorMessage(message) ? AskMotorReach(session) : MotorReach::Unknown;
    session.m_DiseqcSentListener(message, reach);
}

void Error(DriverReports& reports, const char* text) {
    reports.push_back({DriverReport::Form::Error, text});
}

void Notice(DriverReports& reports, const char* text) {
    reports.push_back({DriverReport::Form::Notice, text});
}

HRESULT QuerySupported(CTunerSession& session, const GUID& set, DWORD id) {
    std::lock_guard driver(session.m_hDriverMutex);
    IKsPropertySet* handle = session.m_BDAGraph.m_pKsCtrl.Get();
    if (handle == nullptr) return E_POINTER;
    DWORD support = 0;
    return handle->QuerySupported(set, id, &support);
}

template <std::size_t N>
HRESULT SetSameBuffer(CTunerSession& session, const GUID& set, DWORD id,
                      std::array<std::uint8_t, N>& bytes) {
    std::lock_guard driver(session.m_hDriverMutex);
    IKsPropertySet* handle = session.m_BDAGraph.m_pKsCtrl.Get();
    if (handle == nullptr) return E_POINTER;
    return handle->Set(set, id, bytes.data(), N, bytes.data(), N);
}

template <std::size_t N>
HRESULT GetSameBuffer(CTunerSession& session, const GUID& set, DWORD id,
                      std::array<std::uint8_t, N>& bytes) {
    std::lock_guard driver(session.m_hDriverMutex);
    IKsPropertySet* handle = session.m_BDAGraph.m_pKsCtrl.Get();
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

DriverControlResult AcquireDriverControl(CTunerSession& session, DriverReports& reports) {
    {
        std::lock_guard driver(session.m_hDriverMutex);
        session.m_BDAGraph.m_pKsCtrl.Reset();
    }
    IBaseFilter* tuner = session.m_BDAGraph.m_pTunerDevice.Get();
    if (tuner == nullptr) return DriverControlResult::NoHandle;

    ComPtr<IKsPropertySet> filterHandle;
    if (FAILED(
            tuner->QueryInterface(IID_IKsPropertySet, filterHandle.ReleaseAndGetVoidAddress()))) {
        Error(reports, "m_pTunerDevice USB QueryInterface Failed");
        return DriverControlResult::Failed;
    }
    session.m_BDAGraph.m_pKsCtrl.Attach(filterHandle.Detach());
    if (IsUsbCarrier(session)) return DriverControlResult::Acquired;

    {
        std::lock_guard driver(session.m_hDriverMutex);
        session.m_BDAGraph.m_pKsCtrl.Reset();
    }
    const ComPtr<IPin> input0 = FindInput0Pin(tuner);
    if (!input0) return DriverControlResult::NoHandle;
    ComPtr<IKsPropertySet> pinHandle;
    if (FAILED(input0->QueryInterface(IID_IKsPropertySet, pinHandle.ReleaseAndGetVoidAddress()))) {
        Error(reports, "m_pTunerDevice PCI/PCI-E QueryInterface Failed");
        return DriverControlResult::Failed;
    }
    session.m_BDAGraph.m_pKsCtrl.Attach(pinHandle.Detach());
    return DriverControlResult::Acquired;
}

bool IsUsbCarrier(CTunerSession& session) {
    return SUCCEEDED(QuerySupported(session, KSPROPSETID_Ctrl, KSPROPERTY_CTRL_PRESENT));
}

void SendDiseqCommand(CTunerSession& session, std::span<const std::uint8_t> message,
                      DiseqcForm form, DriverReports& reports) {
    std::lock_guard driver(session.m_hDriverMutex);
    IKsPropertySet* handle = session.m_BDAGraph.m_pKsCtrl.Get();
    if (handle == nullptr) return;
    DWORD support = 0;
    if (!IsUsbCarrier(session)) {
        if (FAILED(handle->QuerySupported(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, &support))) {
            OutputDebugStringA("@@@@@!!!!DiSEqC Interface Not Supported\n");
            if (form == DiseqcForm::LockTp) {
                Error(reports, "SendDiseqCommand11 QueryInterface Failed");
            } else {
                Notice(reports, "SendDiseqCommandArden QueryInterface Failed 00");
            }
            return;
        }
        DiseqcMessageRecord record = DiseqcMessageRecord::For(message);
        if (handle->Set(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, nullptr, 0, record.bytes.data(),
                        DiseqcMessageRecord::kSize) != S_OK) {
            Notice(reports, "SendDiseqCommandArden QueryInterface Failed");
            return;
        }
        TellDiseqcSent(session, message);
        return;
    }
    if (FAILED(handle->QuerySupported(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, &support))) {
        if (form == DiseqcForm::LockTp) Error(reports, "OnMotor22 false");
        return;
    }
    session.m_TunerControlRecord.PutMessage(message);
    if (handle->Set(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, nullptr, 0,
                    session.m_TunerControlRecord.bytes.data(), TunerControlRecord::kSize) != S_OK) {
        if (form == DiseqcForm::LockTp) Error(reports, "OnMotor11 false");
        return;
    }
    TellDiseqcSent(session, message);
}

void SetDiseqcSentListener(CTunerSession& session, DiseqcSentListener listener) {
    std::lock_guard driver(session.m_hDriverMutex);
    session.m_DiseqcSentListener = std::move(listener);
}

bool GetStreamType(CTunerSession& session, StreamTypeRecord& pageRecord, DriverReports& reports) {
    if (!session.m_BDAGraph.m_pKsCtrl) {
        Error(reports, "m_pKsCtrl==NULL");
        return false;
    }
    if (IsUsbCarrier(session)) return true;
    if (FAILED(QuerySupported(session, KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS))) {
        Error(reports, "333don't support this interface");
        return false;
    }
    if (FAILED(GetSameBuffer(session, KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS,
                             pageRecord.bytes))) {
        Notice(reports, "Get KSPROPERTY_BDA_GET_MEDIAINFO error");
        return false;
    }
    return true;
}

bool IsStreamTypeCurrent(CTunerSession& session, const StreamTypeRecord& pageRecord,
                         DriverReports& reports) {
    if (!session.m_BDAGraph.m_pKsCtrl) {
        Error(reports, "m_pKsCtrl==NULL");
        return false;
    }
    if (FAILED(QuerySupported(session, KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS))) {
        Error(reports, "111don't support this interface");
        return false;
    }
    StreamTypeRecord driverRecord{{0, 0}};
    if (FAILED(GetSameBuffer(session, KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS,
                             driverRecord.bytes))) {
        Notice(reports, "Get KSPROPERTY_BDA_GET_MEDIAINFO error");
        return false;
    }
    return driverRecord.bytes[1] == pageRecord.bytes[1] &&
           driverRecord.bytes[0] == pageRecord.bytes[0];
}

bool SetStreamType(CTunerSession& session, const StreamTypeRecord& pageRecord,
                   DriverReports& reports) {
    session.m_BDAGraph.StopGraph();
    if (!session.m_BDAGraph.m_pKsCtrl) return false;
    if (IsUsbCarrier(session)) return true;
    if (FAILED(QuerySupported(session, KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS))) {
        Error(reports, "222don't support this interface");
        return false;
    }
    StreamTypeRecord sent = pageRecord;
    if (FAILED(SetSameBuffer(session, KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS,
                             sent.bytes))) {
        Notice(reports, "Get KSPROPERTY_BDA_STREAMTYPE_PARAMS error");
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
std::optional<MediaInfoRead> ReadMediaInfo(CTunerSession& session,
                                           const MediaInfoRecord& previous) {
    MediaInfoRead result;
    result.bytes = previous.Encode();
    // Held from before the support query until the get has returned, and released before
    // any message: the UI thread may be waiting for this mutex.
    std::lock_guard driver(session.m_hDriverMutex);
    IKsPropertySet* handle = session.m_BDAGraph.m_pKsCtrl.Get();
    if (handle == nullptr) return std::nullopt;
    result.usb = IsUsbCarrier(session);
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

MediaInfoResult GetMediaInfo(CTunerSession& session, DriverReports& reports) {
    if (!session.m_BDAGraph.m_pKsCtrl) return MediaInfoResult::Unsupported;
    const std::optional<MediaInfoRead> result = ReadMediaInfo(session, session.m_MediaInfoRecord);
    if (!result) return MediaInfoResult::Unsupported;
    if (FAILED(result->supported)) {
        Error(reports, "666don't support this interface");
        return MediaInfoResult::Unsupported;
    }
    if (FAILED(result->read)) {
        Notice(reports, result->usb ? "Get KSPROPERTY_CTRL_GET_MEDIAINFO 22error"
                                    : "Get KSPROPERTY_BDA_GET_MEDIAINFO error");
        return MediaInfoResult::Failed;
    }
    session.m_MediaInfoRecord = MediaInfoRecord::Decode(result->bytes);
    return MediaInfoResult::Read;
}

std::optional<MediaInfoRecord> PeekMediaInfo(CTunerSession& session) {
    const std::optional<MediaInfoRead> result = ReadMediaInfo(session, MediaInfoRecord{});
    if (!result || FAILED(result->supported) || FAILED(result->read)) return std::nullopt;
    return MediaInfoRecord::Decode(result->bytes);
}

bool SetInputStreamId(CTunerSession& session, std::int32_t identifier, DriverReports& reports) {
    if (!session.m_BDAGraph.m_pKsCtrl) return false;
    // There is no USB counterpart: always the PCI-E set.
    if (FAILED(QuerySupported(session, KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID))) {
        Error(reports, "777don't support this interface");
        return false;
    }
    MediaInfoRecord record;
    record.inputStreamId = identifier;
    auto bytes = record.Encode();
    if (FAILED(
            SetSameBuffer(session, KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID, bytes))) {
        Notice(reports, "Set KSPROPERTY_BDA_INPUTMULTISTREAMID error");
        return false;
    }
    return true;
}

void SetCode(CTunerSession& session, std::int32_t value, std::int32_t type,
             DriverReports& reports) {
    CodeRecord record = CodeRecord::For(value, type);
    if (!session.m_BDAGraph.m_pKsCtrl) return;
    const bool usb = IsUsbCarrier(session);
    const GUID& set = usb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt;
    const DWORD id = usb ? KSPROPERTY_CTRL_GOLDCODE : KSPROPERTY_BDA_GOLDCODE;
    if (FAILED(QuerySupported(session, set, id))) {
        Error(reports, usb ? "don't support this interface" : "444don't support this interface");
        return;
    }
    if (FAILED(SetSameBuffer(session, set, id, record.bytes))) {
        Notice(
            reports,
            "Failed set the PLSCode.please have a check whether you are using the latest driver");
    } else {
        Notice(reports, "Successfully set the PLSCode.");
    }
}

void ResetCode(CTunerSession& session, DriverReports& reports) {
    if (!session.m_BDAGraph.m_pKsCtrl) return;
    const bool usb = IsUsbCarrier(session);
    const GUID& set = usb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt;
    const DWORD id = usb ? KSPROPERTY_CTRL_GOLDCODE : KSPROPERTY_BDA_GOLDCODE;
    if (FAILED(QuerySupported(session, set, id))) {
        if (!usb) Error(reports, "555don't support this interface");
        return;
    }
    // Root code 1 first, then gold code 0: the driver's neutral scrambling.
    for (const auto& [value, type] : {std::pair{1, kRootCode}, std::pair{0, kGoldCode}}) {
        CodeRecord record = CodeRecord::For(value, type);
        if (FAILED(SetSameBuffer(session, set, id, record.bytes))) {
            OutputDebugStringA("Set KSPROPERTY_BDA_GOLDCODE error");
            return;
        }
        OutputDebugStringA("Successful set the GoldCode!");
    }
}

void SetModCodes(CTunerSession& session, const ModCodeFilterRecord& record,
                 DriverReports& reports) {
    if (!session.m_BDAGraph.m_pKsCtrl) return;
    const bool usb = IsUsbCarrier(session);
    const GUID& set = usb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt;
    const DWORD id = usb ? KSPROPERTY_CTRL_MODCODES : KSPROPERTY_BDA_MODCODES;
    if (FAILED(QuerySupported(session, set, id))) {
        Error(reports, usb ? "don't support this interface" : "444don't support this interface");
        return;
    }
    auto bytes = record.Encode();
    if (FAILED(SetSameBuffer(session, set, id, bytes))) {
        Notice(reports, usb ? "Failed set the mode code .please have a check whether you are using "
                              "the latest driver"
                            : "Failed set the Mode Codes.please have a check whether you are using "
                              "the latest driver");
    } else {
        Notice(reports,
               usb ? "Successfully set the MODCODES." : "Successfully set the Mode Codes..");
    }
}

SignalMeasureResult GetSignalMeasure(CTunerSession& session) {
    SignalMeasureResult result;
    std::array<std::uint8_t, SignalMeasureRecord::kSize> bytes{};
    {
        std::lock_guard driver(session.m_hDriverMutex);
        IBaseFilter* tuner = session.m_BDAGraph.m_pTunerDevice.Get();
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
