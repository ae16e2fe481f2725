#pragma once
// The far end of a named pipe that a recording is written into: a thread that opens the pipe for
// reading, takes everything written into it until the writer closes it, and keeps only a
// checksum, the byte count and what it saw of the transport-stream packet structure. A stream of
// tens of gigabytes therefore passes without being stored.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "load/stream_hash.h"

class CFifoChecksumReader {
public:
    struct Result {
        std::uint64_t bytes = 0;
        std::uint64_t digest = 0;
        // Packet starts (every 188th byte from the first) that do not hold the sync byte 0x47.
        std::uint64_t badSyncBytes = 0;
        int error = 0;  // errno of a failed open or read; 0 when the stream ended normally
    };

    // Makes the pipe at `path` (which must not exist) and starts reading it.
    explicit CFifoChecksumReader(std::string path);
    // Ends the reader, also when no writer ever came.
    ~CFifoChecksumReader();
    CFifoChecksumReader(const CFifoChecksumReader&) = delete;
    CFifoChecksumReader& operator=(const CFifoChecksumReader&) = delete;

    const std::string& Path() const { return m_strPath; }
    // Bytes read so far (any thread).
    std::uint64_t BytesSoFar() const { return m_nBytes.load(std::memory_order_relaxed); }
    // Waits until the writer has closed the pipe.
    Result Finish();

private:
    void Read();

    const std::string m_strPath;
    std::atomic<bool> m_bOpened{false};
    std::atomic<std::uint64_t> m_nBytes{0};
    Result m_result;  // written by the reader thread, read after the join
    std::thread m_thread;
};
