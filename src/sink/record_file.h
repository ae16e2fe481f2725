#pragma once
// A tuner's recording state (RecordState): the record file, its path, the open flag and the one
// lock of the sink (filter state, pin, receive and the start of a recording).
//
// The record file is written with plain POSIX calls, one write per sample from the sample's
// own buffer. While it is open a file or a pipe holds an exclusive advisory lock, the nearest
// Linux habit to a non-shared open: another opener that asks for the lock is refused.
//
// A pipe's reader can stop reading (a paused player). The writing thread then waits for it
// while it holds the receive lock, and everything that stops the graph waits for that thread;
// so a wait can be released (CWaitRelease): the write gives the reader a short grace, then gives
// up, and the bytes it could not hand over are counted as lost.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/media/crit_sec.h"

class CRecordFile {
public:
    // How long a released write still waits for a reader that takes its bytes.
    static constexpr int kReleaseGraceMs = 300;

    enum class OpenMode {
        Empty,  // a recording starts: an existing file is emptied
        Keep,   // held for later use: an existing file keeps what it holds
    };

    CRecordFile();
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;
    ~CRecordFile();

    // Creates the file if needed and opens it for writing only; false (with the reason in
    // OpenError) when it cannot be created or another opener holds it.
    bool Open(const std::string& path, OpenMode mode = OpenMode::Empty);
    void Close();
    bool IsOpen() const { return m_fd.load(std::memory_order_acquire) >= 0; }

    // Appends the bytes. A failed write stops the file taking data: the bytes written before
    // stay, the rest and later samples are counted as lost, and WriteError tells the reason
    // until the next Open: an errno value, EPIPE when a pipe's reader went away, ECANCELED when
    // it stopped reading and the wait was released.
    void Write(const std::uint8_t* data, std::size_t length);

    // Bytes written since the open, counted for every kind of target (a pipe or a device has no
    // size of its own); full 64 bits.
    std::uint64_t BytesWritten() const { return m_nWritten.load(std::memory_order_acquire); }
    // Bytes given to Write since the open that did not reach the file.
    std::uint64_t BytesLost() const { return m_nLost.load(std::memory_order_acquire); }
    int OpenError() const { return m_nOpenError; }
    int WriteError() const { return m_nWriteError.load(std::memory_order_acquire); }

    // A regular file that lost its last name while open (deleted, or its folder removed) takes
    // no more data: WriteError becomes ENOENT, unless another failure came first.
    void CheckDeleted();

    // While one lives, writes that wait for a reader give up kReleaseGraceMs after it was made.
    // Made and ended by one thread at a time (the one that stops the graph); not nested.
    class CWaitRelease {
    public:
        explicit CWaitRelease(CRecordFile& file);
        ~CWaitRelease();
        CWaitRelease(const CWaitRelease&) = delete;
        CWaitRelease& operator=(const CWaitRelease&) = delete;

    private:
        CRecordFile& m_file;
    };

private:
    // Waits until the file takes bytes again; false when the wait was released and the grace
    // ran out.
    bool WaitWritable(int fd);
    void Fail(int error, std::size_t unwritten);

    std::atomic<int> m_fd{-1};
    int m_nOpenError = 0;
    std::atomic<int> m_nWriteError{0};
    std::atomic<std::uint64_t> m_nWritten{0};
    std::atomic<std::uint64_t> m_nLost{0};
    bool m_bRegularFile = false;
    const int m_hRelease;  // eventfd, readable while a release is in force
    std::atomic<std::int64_t> m_nReleaseDeadlineMs{0};  // steady clock; 0 while none is in force
};

// What the capture filter counted of stream the card could not deliver.
struct RecordStreamLoss {
    std::uint64_t overruns = 0;
    std::uint64_t bytesLost = 0;
};

// Owned by the tuner's session; the sink's pin writes into its file while it is open.
struct RecordState {
    CCritSec m_RecordLock;
    CRecordFile m_RecordFile;
    std::string m_strRecordPath;
    std::atomic<bool> m_bRecordFileOpen{false};
    // Kept by the thread that starts and stops recordings: why the last start did not run the
    // graph, and the capture filter's counts at the start and the stop of the last recording.
    std::string m_strRunFailure;
    std::optional<RecordStreamLoss> m_lossAtStart;
    std::optional<RecordStreamLoss> m_lossAtStop;
};
