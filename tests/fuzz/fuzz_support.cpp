#include "fuzz_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fuzz {

namespace {

std::string MakeScratchFolder() {
    std::string base = "/tmp";
    struct stat info {};
    if (::stat("/dev/shm", &info) == 0 && S_ISDIR(info.st_mode) &&
        ::access("/dev/shm", W_OK) == 0) {
        base = "/dev/shm";
    }
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') base = tmp;
    std::string folder = base + "/vlk-fuzz-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::fprintf(stderr, "fuzz: cannot make a scratch folder in %s: %s\n", base.c_str(),
                     std::strerror(errno));
        std::abort();
    }
    return folder;
}

struct ScratchFolderOwner {
    std::string path = MakeScratchFolder();
    ~ScratchFolderOwner() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

const std::string& ScratchFolder() {
    static const ScratchFolderOwner owner;
    return owner.path;
}

void WriteFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) Fail("cannot create " + path + ": " + std::strerror(errno), __FILE__, __LINE__);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("cannot write " + path + ": " + std::strerror(errno), __FILE__, __LINE__);
        written += static_cast<std::size_t>(n);
    }
    ::close(fd);
}

void Fail(std::string_view what, const char* file, int line) {
    std::fprintf(stderr, "fuzz check failed at %s:%d: %.*s\n", file, line,
                 static_cast<int>(what.size()), what.data());
    std::abort();
}

std::uint8_t CByteReader::U8() {
    std::uint8_t value = 0;
    Bytes(&value, 1);
    return value;
}

std::uint16_t CByteReader::U16() {
    std::uint8_t bytes[2] = {};
    Bytes(bytes, sizeof bytes);
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::uint32_t CByteReader::U32() {
    std::uint8_t bytes[4] = {};
    Bytes(bytes, sizeof bytes);
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

void CByteReader::Bytes(void* destination, std::size_t size) {
    const std::size_t take = std::min(size, m_bytes.size());
    auto* out = static_cast<std::uint8_t*>(destination);
    if (take > 0) std::memcpy(out, m_bytes.data(), take);
    if (size > take) std::memset(out + take, 0, size - take);
    m_bytes = m_bytes.subspan(take);
}

}  // namespace fuzz
