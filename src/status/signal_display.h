#pragma once
// What the signal monitor and the stream-information refresh need of the main window. The
// monitor thread calls these; the window carries every control write over to its own thread
// and never blocks the monitor on it.
#include <cstdint>
#include <string>

#include "graph/driver_report.h"
#include "graph/tuner_signal.h"

class ISignalDisplay {
public:
    virtual ~ISignalDisplay() = default;

    // The window asked the monitor to end (its stop flag).
    virtual bool StopRequested() const = 0;
    // Waits `milliseconds`, or less when the stop flag is set meanwhile.
    virtual void WaitOrStop(std::uint32_t milliseconds) = 0;
    // Lock text 1032, icon 1008, strength 1035, quality 1034, bars 1007 and 1004.
    virtual void ShowSignal(const SignalReading& reading) = 0;
    // The carrier report of the lower half; the result is not used by the monitor.
    virtual int UpdateStreamInfo(bool locked) = 0;
};

class IStreamInfoView {
public:
    virtual ~IStreamInfoView() = default;

    virtual void SetText(int controlId, const std::string& text) = 0;
    // Adds the identifier to list 1049 unless it is already listed. `tune`: TuneCount() taken
    // before the report was read, so that a view emptied for a new tune can pass over what the
    // carrier before it carried.
    virtual void AddInputStreamId(const std::string& identifier, std::uint64_t tune) = 0;
    // What the driver said while the report was read (a failed read): the window tells the user.
    virtual void ShowDriverReports(const DriverReports& reports) = 0;
};
