#pragma once
// Starting, stopping and sizing a recording of the tuner graph's sink.
#include <cstdint>
#include <string>

// Opens the record file at `path` (the default file at start-up) and holds it, keeping what an
// existing file holds: it is emptied only when a recording into it starts. Arms nothing.
void OpenRecordFile(const std::string& path);
// The path that the next StartRecording uses.
void SetRecordFilePath(const std::string& path);

// Arms the sink, creates (or empties) the record file at the path set and runs the graph.
// Returns 0 when the file was created (or when there is no graph, and so nothing to record),
// else the reason (an errno value): the caller must tell the user, as no byte will be recorded.
int StartRecording();
// Stops the graph, then closes the record file. Never waits on a pipe's reader for long.
void StopRecording();
// The bytes written into the record file during this recording, in KB (1024 bytes), counted in
// full 64 bits for every kind of target (a pipe has no file size); 0 while no file is open.
std::uint64_t GetRecordedKBytes();
// Why the sink stopped writing during this recording (an errno value; EPIPE or ECANCELED: the
// pipe's reader went away or stopped reading; ENOENT: the record file was deleted), 0 while all
// is well. Looks at the open file each time, so a deletion shows at the next call.
int GetRecordWriteError();
// Bytes of this recording that could not be written (after a write error).
std::uint64_t GetRecordLostBytes();
