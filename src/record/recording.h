#pragma once
// Starting, stopping and sizing a recording of the tuner graph's sink.
#include <cstdint>
#include <string>

// Opens the record file at `path` (the default file at start-up); arms nothing.
void OpenRecordFile(const std::string& path);
// The path that the next StartRecording uses.
void SetRecordFilePath(const std::string& path);

// Arms the sink, creates the record file at the path set and runs the graph. Returns 0 when the
// file was created (or when there is no graph, and so nothing to record), else the reason
// (an errno value): the caller must tell the user, as no byte will be recorded.
int StartRecording();
// Stops the graph, then closes the record file.
void StopRecording();
// The record file's length in KB (1024 bytes), from its full 64-bit size; 0 while none is open.
std::uint64_t GetRecordedKBytes();
// Why the sink stopped writing during this recording (an errno value), 0 while all is well.
int GetRecordWriteError();
