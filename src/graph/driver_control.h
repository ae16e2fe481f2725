#pragma once
// Every conversation with the tuner driver's vendor extensions, through the session graph's
// m_pKsCtrl.
//
// Call discipline: no handle, stop; probe the carrier (never cached, so a driver that changes
// its answer is followed at once); on the carrier's property set ask whether the property is
// supported, then Set or Get. Each driver call is made holding the session's driver mutex.
// A result that is not negative is success, except in SendDiseqCommand, where only 0 is.
// Nothing here shows a message: what the user is to be told is added to `reports`, in order.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "graph/driver_report.h"
#include "platform/ks/vendor_records.h"

class CTunerSession;

enum class DriverControlResult {
    Acquired,  // the handle is set
    NoHandle,  // no tuner filter or no "Input0" pin: no handle, no message
    Failed,    // the object refused IKsPropertySet: reported, the page stops its start
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

// The session's m_TunerControlRecord keeps the last "Lock TP" parameters and DiSEqC message
// (USB); its m_MediaInfoRecord is overwritten by each successful GetMediaInfo and touched only
// by the status thread.

DriverControlResult AcquireDriverControl(CTunerSession& session, DriverReports& reports);
bool IsUsbCarrier(CTunerSession& session);
void SendDiseqCommand(CTunerSession& session, std::span<const std::uint8_t> message,
                      DiseqcForm form, DriverReports& reports);
// Whether a positioner message reached a motor: a card that can tell says so after the send
// (KSPROPSETID_MotorReach); a real DiSEqC bus carries no reply, so there it is not known.
enum class MotorReach { Reached, NotReached, Unknown };
// Told of each message the driver accepted, after it did, on the sending thread and with the
// driver mutex held: it must be short and must not call the driver. `reach` is Unknown for a
// message that is no positioner command. One listener a session; an empty function removes it.
using DiseqcSentListener =
    std::function<void(std::span<const std::uint8_t> message, MotorReach reach)>;
void SetDiseqcSentListener(CTunerSession& session, DiseqcSentListener listener);
bool GetStreamType(CTunerSession& session, StreamTypeRecord& pageRecord, DriverReports& reports);
bool IsStreamTypeCurrent(CTunerSession& session, const StreamTypeRecord& pageRecord,
                         DriverReports& reports);
bool SetStreamType(CTunerSession& session, const StreamTypeRecord& pageRecord,
                   DriverReports& reports);
MediaInfoResult GetMediaInfo(CTunerSession& session, DriverReports& reports);
// The carrier report for a reader other than the status thread: leaves the session's record
// alone and reports nothing; empty without a handle or when the driver lacks or fails the
// property.
std::optional<MediaInfoRecord> PeekMediaInfo(CTunerSession& session);
bool SetInputStreamId(CTunerSession& session, std::int32_t identifier, DriverReports& reports);
void SetCode(CTunerSession& session, std::int32_t value, std::int32_t type, DriverReports& reports);
void ResetCode(CTunerSession& session, DriverReports& reports);
void SetModCodes(CTunerSession& session, const ModCodeFilterRecord& record, DriverReports& reports);
// KSPROPSETID_SignalMeasure on the tuner filter (every card of ours answers it there, whichever
// vendor carrier it has), under the driver mutex. Polled: never logs, never reports.
SignalMeasureResult GetSignalMeasure(CTunerSession& session);
