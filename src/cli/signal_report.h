#pragma once
// One reading of the tuner for a terminal: lock, strength and quality, the card's measurement in
// physical units, what the carrier's MODCOD needs, and the carrier report, as one line of text
// or as one JSON object. The command reads the carrier report as the main window's status
// thread would: it has no other reader.
#include <map>
#include <optional>
#include <string>

#include "graph/driver_control.h"
#include "graph/tuner_signal.h"
#include "services/stream_health.h"

class CTunerSession;

namespace cli {

struct SignalReport {
    SignalReading reading;
    SignalMeasureResult measure;
    std::optional<MediaInfoRecord> carrier;  // read while locked
    // The carrier report's fields by their JSON names ("standard", "fec", ...); empty unlocked.
    std::map<std::string, std::string> carrierTexts;
    // The transport stream's health since the command began, when asked for (status --stream).
    std::optional<StreamHealth> stream;
};

SignalReport ReadSignalReport(CTunerSession& session);

// "locked, C/N 14.0 dB, margin +7.4 dB, DVB-S2 8PSK 2/3": what tune prints.
std::string LockLine(const SignalReport& report);
// Every figure of the reading on one line; what the card does not report reads "not reported".
std::string StatusLine(const SignalReport& report);
// The same as one JSON object, every field named, unknown values null.
std::string StatusJson(const SignalReport& report);

}  // namespace cli
