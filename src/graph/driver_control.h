#pragma once
// Every conversation with the tuner driver's vendor extensions, through g_BDAGraph.m_pKsCtrl.
//
// Call discipline: no handle, stop; probe the carrier (never cached, so a driver that changes
// its answer is followed at once); on the carrier's property set ask whether the property is
// supported, then Set or Get. Each driver call is made holding the driver mutex, which is
// released before a message is shown, except in SendDiseqCommand, which holds it throughout.
// A result that is not negative is success, except in SendDiseqCommand, where only 0 is.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "platform/ks/vendor_records.h"
#include "platform/ui/window_handle.h"

enum class DriverControlResult {
    Acquired,  // the handle is set
    NoHandle,  // no tuner filter or no "Input0" pin: no handle, no message
    Failed,    // the object refused IKsPropertySet: message shown, page stops its start
};

enum class DiseqcForm {
    LockTp,      // committed-switch message of "Lock TP": failures reported in full
    Positioner,  // motor commands: USB failures are silent
};

enum class MediaInfoResult { Read, Unsupported, Failed };

// The card's measurement of the tuned signal in physical units; empty what the card does not
// report. `ok` is false when there is no tuner or its driver lacks or fails the property.
struct SignalMeasureResult {
    bool ok = false;
    std::optional<double> carrierToNoiseDb;
    std::optional<double> levelDbm;
    std::optional<double> bitErrorRate;  // errors / bits of the card's latest window
    std::optional<std::uint64_t> uncorrectedBlocks;
};

// Kept for the life of the process: the last "Lock TP" parameters and DiSEqC message (USB).
extern TunerControlRecord g_TunerControlRecord;
// Overwritten by each successful GetMediaInfo; touched only by the status thread.
extern MediaInfoRecord g_MediaInfoRecord;

DriverControlResult AcquireDriverControl();
bool IsUsbCarrier();
void SendDiseqCommand(std::span<const std::uint8_t> message, DiseqcForm form);
// Told of each message the driver accepted, after it did, on the sending thread and with the
// driver mutex held: it must be short and must not call the driver. One listener; an empty
// function removes it.
using DiseqcSentListener = std::function<void(std::span<const std::uint8_t> message)>;
void SetDiseqcSentListener(DiseqcSentListener listener);
bool GetStreamType(StreamTypeRecord& pageRecord);
bool IsStreamTypeCurrent(const StreamTypeRecord& pageRecord);
bool SetStreamType(const StreamTypeRecord& pageRecord);
MediaInfoResult GetMediaInfo();
// The carrier report for a reader other than the status thread: leaves g_MediaInfoRecord alone
// and shows no message; empty without a handle or when the driver lacks or fails the property.
std::optional<MediaInfoRecord> PeekMediaInfo();
bool SetInputStreamId(std::int32_t identifier);
void SetCode(std::int32_t value, std::int32_t type);
void ResetCode();
void SetModCodes(const ModCodeFilterRecord& record);
// KSPROPSETID_SignalMeasure on the tuner filter (every card of ours answers it there, whichever
// vendor carrier it has), under the driver mutex. Polled: never logs, never shows a message.
SignalMeasureResult GetSignalMeasure();
