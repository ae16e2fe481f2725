#include "platform/win/file_replacement.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <utility>

#include "platform/win/regular_file.h"

namespace {

std::atomic<unsigned> g_nFreshSerial{0};

// 0 when a regular file or nothing stands at `path` (a link to either counts as it), else why
// not.
int LookAt(const std::string& path, struct stat& info, bool& exists) {
    exists = ::stat(path.c_str(), &info) == 0;
    if (!exists) return errno == ENOENT ? 0 : errno;
    return S_ISREG(info.st_mode) ? 0 : CRegularFile::RefusalOf(info.st_mode);
}

}  // namespace

CFileReplacement CFileReplacement::Begin(const std::string& path) {
    CFileReplacement replacement;
    replacement.m_strTarget = CRegularFile::LinkTarget(path);
    const std::string& target = replacement.m_strTarget;
    struct stat info {};
    bool exists = false;
    if ((replacement.m_nError = LookAt(target, info, exists)) != 0) return replacement;

    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string(".") : target.substr(0, slash == 0 ? 1 : slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    const mode_t mode = exists ? (info.st_mode & 07777) : 0666;
    for (int attempt = 0; attempt < 100 && !replacement.IsOpen(); ++attempt) {
        std::string fresh = folder + "/." + base + ".tmp" + std::to_string(::getpid()) + "-" +
                            std::to_string(g_nFreshSerial.fetch_add(1));
        const int file = ::open(
            fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
        if (file >= 0) {
            replacement.m_hFile = file;
            replacement.m_strFresh = std::move(fresh);
        } else if (errno != EEXIST) {
            replacement.m_nError = errno;
            return replacement;
        }
    }
    if (!replacement.IsOpen()) {
        replacement.m_nError = EEXIST;
        return replacement;
    }
    if (exists) {
        // open() applied the umask; the replacement keeps the original's exact bits and, where
        // we may, its owner.
        if (info.st_uid != ::geteuid() || info.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored =
                ::fchown(replacement.m_hFile, info.st_uid, info.st_gid);
        }
        if (::fchmod(replacement.m_hFile, info.st_mode & 07777) != 0) {
            replacement.m_nError = errno;
            replacement.Discard();
        }
    }
    return replacement;
}

CFileReplacement::CFileReplacement(CFileReplacement&& other) noexcept
    : m_hFile(std::exchange(other.m_hFile, -1)),
      m_nError(other.m_nError),
      m_strTarget(std::move(other.m_strTarget)),
      m_strFresh(std::exchange(other.m_strFresh, {})) {}

CFileReplacement& CFileReplacement::operator=(CFileReplacement&& other) noexcept {
    if (this != &other) {
        Discard();
        m_hFile = std::exchange(other.m_hFile, -1);
        m_nError = other.m_nError;
        m_strTarget = std::move(other.m_strTarget);
        m_strFresh = std::exchange(other.m_strFresh, {});
    }
    return *this;
}

CFileReplacement::~CFileReplacement() {
    Discard();
}

int CFileReplacement::Write(std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t written = ::write(m_hFile, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno;
        if (written == 0) return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

int CFileReplacement::Commit(bool flushToDisk) {
    if (!IsOpen()) return m_nError != 0 ? m_nError : EBADF;
    int error = 0;
    if (flushToDisk && ::fsync(m_hFile) != 0) error = errno;
    // A delayed write may surface only here.
    if (::close(std::exchange(m_hFile, -1)) != 0 && error == 0) error = errno;
    struct stat info {};
    bool exists = false;
    if (error == 0) error = LookAt(m_strTarget, info, exists);
    if (error == 0 && ::rename(m_strFresh.c_str(), m_strTarget.c_str()) != 0) error = errno;
    if (error == 0) m_strFresh.clear();
    Discard();
    return error;
}

void CFileReplacement::Discard() {
    if (m_hFile >= 0) ::close(std::exchange(m_hFile, -1));
    if (!m_strFresh.empty()) ::unlink(std::exchange(m_strFresh, {}).c_str());
}
