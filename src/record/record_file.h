#pragma once
// The process-wide recording state: the record file, its path, the open flag and the one lock
// of the sink (filter state, pin, receive and the start of a recording).
//
// The record file is written with plain POSIX calls, one write per sample from the sample's
// own buffer. While it is open the file holds an exclusive advisory lock, the nearest Linux
// habit to a non-shared open: another opener that asks for the lock is refused.
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/media/crit_sec.h"

class CRecordFile {
public:
    CRecordFile() = default;
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;
    ~CRecordFile();

    // Creates the file, or empties an existing one, for writing only; false (with the reason in
    // OpenError) when it cannot be created or another opener holds it.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_fd.load(std::memory_order_acquire) >= 0; }

    // Appends the bytes. A failed write stops the file taking data: the bytes written before
    // stay, later samples are dropped, and WriteError tells the reason until the next Open.
    void Write(const std::uint8_t* data, std::size_t length);

    // The file's full 64-bit length; 0 while no file is open.
    std::uint64_t Size() const;
    int OpenError() const { return m_nOpenError; }
    int WriteError() const { return m_nWriteError.load(std::memory_order_acquire); }

private:
    std::atomic<int> m_fd{-1};
    int m_nOpenError = 0;
    std::atomic<int> m_nWriteError{0};
};

extern CCritSec g_RecordLock;
extern CRecordFile g_RecordFile;
extern std::string g_strRecordPath;
extern std::atomic<bool> g_bRecordFileOpen;
