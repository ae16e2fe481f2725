#include "sink/record_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <mutex>

namespace {

std::int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A pipe whose reader goes away must give EPIPE, which the page reports, not end the process.
void IgnoreBrokenPipes() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

}  // namespace

CRecordFile::CRecordFile() : m_hRelease(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CRecordFile::~CRecordFile() {
    Close();
    if (m_hRelease >= 0) ::close(m_hRelease);
}

bool CRecordFile::Open(const std::string& path, OpenMode mode) {
    Close();
    IgnoreBrokenPipes();
    m_nWriteError.store(0, std::memory_order_release);
    m_nWritten.store(0, std::memory_order_release);
    m_nLost.store(0, std::memory_order_release);
    // Not O_TRUNC: a file that another opener holds must not be emptied before its lock is seen.
    // O_NONBLOCK: a pipe that nothing reads fails at once (ENXIO) instead of blocking the window
    // until a reader comes, and a write into a full pipe returns, so its wait can be released.
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
    struct stat info {};
    if (::fstat(fd, &info) != 0) return refuse();
    // A device such as /dev/null is every program's at once: only files and pipes, which two
    // writers would spoil, are held for one recording.
    if (!S_ISCHR(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) != 0) return refuse();
    m_bRegularFile = S_ISREG(info.st_mode);
    if (m_bRegularFile && mode == OpenMode::Empty && ::ftruncate(fd, 0) != 0) return refuse();
    m_nOpenError = 0;
    m_fd.store(fd, std::memory_order_release);
    return true;
}

void CRecordFile::Close() {
    const int fd = m_fd.exchange(-1, std::memory_order_acq_rel);
    if (fd >= 0) ::close(fd);  // closing also drops the lock
}

void CRecordFile::Fail(int error, std::size_t unwritten) {
    int none = 0;
    m_nWriteError.compare_exchange_strong(none, error, std::memory_order_acq_rel);
    m_nLost.fetch_add(unwritten, std::memory_order_acq_rel);
}

void CRecordFile::Write(const std::uint8_t* data, std::size_t length) {
    const int fd = m_fd.load(std::memory_order_acquire);
    if (fd < 0) return;
    if (m_nWriteError.load(std::memory_order_acquire) != 0) {
        m_nLost.fetch_add(length, std::memory_order_acq_rel);
        return;
    }
    // Normally one write; a short write (a signal, a full disk, a full pipe) is continued so that
    // nothing is lost silently, and a failure is kept for the page to report.
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written > 0) {
            data += written;
            length -= static_cast<std::size_t>(written);
            m_nWritten.fetch_add(static_cast<std::uint64_t>(written), std::memory_order_acq_rel);
            continue;
        }
        if (written == 0) return Fail(ENOSPC, length);
        const int error = errno;
        if (error == EINTR) continue;
        if (error != EAGAIN && error != EWOULDBLOCK) return Fail(error, length);
        if (!WaitWritable(fd)) return Fail(ECANCELED, length);
    }
}

bool CRecordFile::WaitWritable(int fd) {
    for (;;) {
        // Once released, every wait ends at the same deadline: a reader that takes a little now
        // and then cannot hold the stop for a grace per write.
        const std::int64_t deadline = m_nReleaseDeadlineMs.load(std::memory_order_acquire);
        // Without its eventfd (none could be made) a release is seen at the next look.
        int timeout = m_hRelease >= 0 ? -1 : 50;
        if (deadline != 0) {
            const std::int64_t left = deadline - SteadyMilliseconds();
            if (left <= 0) return false;
            timeout = static_cast<int>(left);
        }
        // The release's eventfd wakes the wait; once released, only the file is watched.
        pollfd fds[2] = {{fd, POLLOUT, 0}, {m_hRelease, POLLIN, 0}};
        const int ready = ::poll(fds, deadline != 0 ? 1 : 2, timeout);
        if (ready < 0 && errno != EINTR) return true;  // the write that follows reports it
        // Writable again, or an error or hang-up that the next write reports.
        if (ready > 0 && fds[0].revents != 0) return true;
    }
}

void CRecordFile::CheckDeleted() {
    const int fd = m_fd.load(std::memory_order_acquire);
    struct stat info {};
    if (fd < 0 || !m_bRegularFile || ::fstat(fd, &info) != 0 || info.st_nlink > 0) return;
    int none = 0;
    m_nWriteError.compare_exchange_strong(none, ENOENT, std::memory_order_acq_rel);
}

CRecordFile::CWaitRelease::CWaitRelease(CRecordFile& file) : m_file(file) {
    m_file.m_nReleaseDeadlineMs.store(SteadyMilliseconds() + kReleaseGraceMs,
                                      std::memory_order_release);
    if (m_file.m_hRelease >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_file.m_hRelease, &one, sizeof one);
    }
}

CRecordFile::CWaitRelease::~CWaitRelease() {
    m_file.m_nReleaseDeadlineMs.store(0, std::memory_order_release);
    if (m_file.m_hRelease >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_file.m_hRelease, &count, sizeof count);
    }
}
