#pragma once
// Starting, stopping and sizing a recording of a tuner session's sink.
#include <cstdint>
#include <string>

#include "sink/record_file.h"

class CTunerSession;

// Opens the record file at `path` (the default file at start-up) and holds it, keeping what an
// existing file holds: it is emptied only when a recording into it starts. Arms nothing.
void OpenRecordFile(CTunerSession& session, const std::string& path);
// The path that the next StartRecording uses.
void SetRecordFilePath(CTunerSession& session, const std::string& path);

// StartRecording's answer when the record file is ready but the graph does not run, so no byte
// would come (the card could not give its stream): GetRecordRunFailure says why.
inline constexpr int kRecordGraphNotRunning = -1;

// Arms the sink, creates (or empties) the record file at the path set and runs the graph.
// Returns 0 when the file was created and the graph runs (or when there is no graph, and so
// nothing to record), else the reason: an errno value of the file, or kRecordGraphNotRunning.
// The caller must tell the user, as no byte will be recorded.
int StartRecording(CTunerSession& session);
// Why the graph did not run at the last StartRecording, for the user: what the component that
// failed described (com::SetErrorDescription on the thread that started the recording), else
// the failure code. Empty when it ran.
std::string GetRecordRunFailure(CTunerSession& session);
// Stops the graph, then closes the record file. Never waits on a pipe's reader for long.
void StopRecording(CTunerSession& session);
// The bytes written into the record file during this recording, in KB (1024 bytes), counted in
// full 64 bits for every kind of target (a pipe has no file size); 0 while no file is open.
std::uint64_t GetRecordedKBytes(CTunerSession& session);
// How much of a size limit of `limitMB` MB (1024 x 1024 bytes) `kbytes` KB fill, in whole
// percent rounded down: a recording passes its limit (above 100) at the first KB of the 101st
// percent. KB x 100 of the largest limits needs 64 bits. `limitMB` is at least 1.
std::uint64_t RecordedPercent(std::uint64_t kbytes, std::uint32_t limitMB);
// Why the sink stopped writing during this recording (an errno value; EPIPE or ECANCELED: the
// pipe's reader went away or stopped reading; ENOENT: the record file was deleted), 0 while all
// is well. Looks at the open file each time, so a deletion shows at the next call.
int GetRecordWriteError(CTunerSession& session);
// Bytes of this recording that could not be written (after a write error).
std::uint64_t GetRecordLostBytes(CTunerSession& session);

// What the card's stream lost during a recording: its buffer's overruns and the bytes they lost
// at least (IStreamLossStatistics of the capture filter).
// Over the last recording, from its start to its stop (to now while it runs); zeros when the
// capture filter does not tell.
RecordStreamLoss GetRecordStreamLoss(CTunerSession& session);
