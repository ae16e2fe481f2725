#include "record/record_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

CCritSec g_RecordLock;
CRecordFile g_RecordFile;
std::string g_strRecordPath;
std::atomic<bool> g_bRecordFileOpen{false};

CRecordFile::~CRecordFile() { Close(); }

bool CRecordFile::Open(const std::string& path) {
    Close();
    m_nWriteError.store(0, std::memory_order_release);
    // Not O_TRUNC: a file that another opener holds must not be emptied before its lock is seen.
    // O_NONBLOCK: a pipe that nothing reads fails at once (ENXIO) instead of blocking the window
    // until a reader comes; writes block again as usual, so that no byte is dropped.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_nOpenError = errno;
        return false;
    }
    const auto refuse = [&] {
        m_nOpenError = errno;
        ::close(fd);
        return false;
    };
    if (const int flags = ::fcntl(fd, F_GETFL); flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return refuse();
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) return refuse();
    // A device such as /dev/null is every program's at once: only files and pipes, which two
    // writers would spoil, are held for one recording.
    if (!S_ISCHR(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) != 0) return refuse();
    if (S_ISREG(info.st_mode) && ::ftruncate(fd, 0) != 0) return refuse();
    m_nOpenError = 0;
    m_fd.store(fd, std::memory_order_release);
    return true;
}

void CRecordFile::Close() {
    const int fd = m_fd.exchange(-1, std::memory_order_acq_rel);
    if (fd >= 0) ::close(fd);  // closing also drops the lock
}

void CRecordFile::Write(const std::uint8_t* data, std::size_t length) {
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0 || m_nWriteError.load(std::memory_order_relaxed) != 0) return;
    // Normally one write; a short write (a signal, a full disk) is continued so that nothing is
    // lost silently, and a failure is kept for the page to report.
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            m_nWriteError.store(errno, std::memory_order_release);
            return;
        }
        if (written == 0) {
            m_nWriteError.store(ENOSPC, std::memory_order_release);
            return;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
}

std::uint64_t CRecordFile::Size() const {
    const int fd = m_fd.load(std::memory_order_acquire);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.st_size);
}
