#include "platform/win/regular_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

CRegularFile CRegularFile::OpenToRead(const std::string& path) {
    return Open(path, O_RDONLY);
}

CRegularFile CRegularFile::OpenToAppend(const std::string& path) {
    return Open(path, O_WRONLY | O_APPEND | O_CREAT);
}

std::string CRegularFile::LinkTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string target(resolved);
    ::free(resolved);
    return target;
}

int CRegularFile::RefusalOf(mode_t mode) {
    return S_ISDIR(mode) ? EISDIR : EINVAL;
}

CRegularFile CRegularFile::Open(const std::string& path, int flags) {
    CRegularFile file;
    struct stat info {};
    // A look first, so that a device is never opened at all; a missing file may be created.
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        file.m_nError = RefusalOf(info.st_mode);
        return file;
    }
    // O_NONBLOCK: should a pipe have taken the file's place since the look, the open returns
    // at once instead of waiting for the other end; it changes nothing for a regular file.
    file.m_hFile = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (file.m_hFile < 0) {
        file.m_nError = errno;
        return file;
    }
    const bool looked = ::fstat(file.m_hFile, &info) == 0;
    if (!looked || !S_ISREG(info.st_mode)) {
        file.m_nError = looked ? RefusalOf(info.st_mode) : errno;
        file.Close();
        return file;
    }
    file.m_nSize = static_cast<std::uint64_t>(info.st_size);
    file.m_nDevice = info.st_dev;
    file.m_nInode = info.st_ino;
    return file;
}

CRegularFile::CRegularFile(CRegularFile&& other) noexcept
    : m_hFile(std::exchange(other.m_hFile, -1)),
      m_nError(other.m_nError),
      m_nSize(other.m_nSize),
      m_nDevice(other.m_nDevice),
      m_nInode(other.m_nInode) {}

CRegularFile& CRegularFile::operator=(CRegularFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_hFile = std::exchange(other.m_hFile, -1);
        m_nError = other.m_nError;
        m_nSize = other.m_nSize;
        m_nDevice = other.m_nDevice;
        m_nInode = other.m_nInode;
    }
    return *this;
}

CRegularFile::~CRegularFile() {
    Close();
}

bool CRegularFile::IsAt(const std::string& path) const {
    struct stat info {};
    return IsOpen() && ::stat(path.c_str(), &info) == 0 && info.st_dev == m_nDevice &&
           info.st_ino == m_nInode;
}

std::ptrdiff_t CRegularFile::Read(char* buffer, std::size_t size) const {
    for (;;) {
        const ssize_t got = ::read(m_hFile, buffer, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}

bool CRegularFile::Write(std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_hFile, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void CRegularFile::Close() {
    if (m_hFile >= 0) ::close(m_hFile);
    m_hFile = -1;
}
