#include "load/fifo_checksum_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::size_t kPacket = 188;
constexpr std::uint8_t kSyncByte = 0x47;
constexpr std::size_t kReadSize = 1 << 20;
// A larger pipe than the default 64 KiB lets a whole sample land in one write.
constexpr int kPipeSize = 1 << 20;

}  // namespace

CFifoChecksumReader::CFifoChecksumReader(std::string path) : m_strPath(std::move(path)) {
    if (::mkfifo(m_strPath.c_str(), 0600) != 0)
        throw std::runtime_error("mkfifo " + m_strPath + " failed");
    m_thread = std::thread(&CFifoChecksumReader::Read, this);
}

CFifoChecksumReader::~CFifoChecksumReader() {
    if (m_thread.joinable()) Finish();
    ::unlink(m_strPath.c_str());
}

CFifoChecksumReader::Result CFifoChecksumReader::Finish() {
    if (!m_thread.joinable()) return m_result;
    // A reader still waiting in open() for a writer that never came: be that writer for a moment,
    // so that its open returns and its read sees the end. A non-blocking open for writing fails
    // until the reader is in open(), so try until it got through.
    while (!m_bOpened.load()) {
        const int fd = ::open(m_strPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_thread.join();
    return m_result;
}

void CFifoChecksumReader::Read() {
    const int fd = ::open(m_strPath.c_str(), O_RDONLY | O_CLOEXEC);
    m_bOpened.store(true);
    if (fd < 0) {
        m_result.error = errno;
        return;
    }
    ::fcntl(fd, F_SETPIPE_SZ, kPipeSize);  // best effort: the default size works too, slower
    CStreamHash hash;
    std::vector<std::uint8_t> buffer(kReadSize);
    std::size_t nextSync = 0;  // offset of the next packet start within the coming read
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            m_result.error = errno;
            break;
        }
        if (got == 0) break;
        const auto size = static_cast<std::size_t>(got);
        hash.Update(buffer.data(), size);
        for (; nextSync < size; nextSync += kPacket) {
            if (buffer[nextSync] != kSyncByte) ++m_result.badSyncBytes;
        }
        nextSync -= size;
        m_nBytes.fetch_add(size, std::memory_order_relaxed);
    }
    ::close(fd);
    m_result.bytes = hash.Bytes();
    m_result.digest = hash.Digest();
}
