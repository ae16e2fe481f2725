#include "core/version_text.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace version_text {
namespace {

constexpr std::string_view kSectionName = ".note.vlk.version";
constexpr std::array<std::uint8_t, 4> kNoteName = {'V', 'L', 'K', '\0'};
constexpr std::uint32_t kNoteType = 1;
constexpr std::uint32_t kDescriptorSize = 8;

// Limits against garbage headers: a real program has a few dozen sections and our note section
// holds one 24-byte note.
constexpr std::uint64_t kMaxSections = 65536;
constexpr std::uint64_t kMaxNoteSectionBytes = std::uint64_t{64} * 1024;

constexpr std::uint32_t kShtNobits = 8;
constexpr std::uint16_t kShnXindex = 0xFFFF;

// Field positions of the ELF header and section header, per class.
struct ElfLayout {
    std::size_t headerSize;
    std::size_t shoff, shentsize, shnum, shstrndx;  // in the file header
    std::size_t sectionHeaderSize;
    std::size_t shType, shOffset, shSize, shLink, shAddralign;  // in a section header
    std::size_t wordSize;  // size of addresses, offsets and sizes: 4 or 8
};

constexpr ElfLayout kElf32{52, 32, 46, 48, 50, 40, 4, 16, 20, 24, 32, 4};
constexpr ElfLayout kElf64{64, 40, 58, 60, 62, 64, 4, 24, 32, 40, 48, 8};

// Unsigned integers of either byte order out of a buffer the caller has sized.
class Decoder {
public:
    explicit Decoder(bool bigEndian) : m_bBigEndian(bigEndian) {}

    std::uint64_t Read(std::span<const std::uint8_t> bytes, std::size_t at,
                       std::size_t size) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t index = m_bBigEndian ? at + i : at + size - 1 - i;
            value = (value << 8) | bytes[index];
        }
        return value;
    }

private:
    bool m_bBigEndian;
};

struct Section {
    std::uint32_t name = 0;
    std::uint32_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t link = 0;
    std::uint64_t addralign = 0;
};

// a + b, or nothing when it does not fit.
std::optional<std::uint64_t> Add(std::uint64_t a, std::uint64_t b) {
    if (a > std::numeric_limits<std::uint64_t>::max() - b) return std::nullopt;
    return a + b;
}

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

class ElfReader {
public:
    ElfReader(const ReadAt& read, const ElfLayout& layout, Decoder decoder)
        : m_read(read), m_layout(layout), m_decoder(decoder) {}

    std::optional<Section> ReadSection(std::uint64_t shoff, std::uint64_t shentsize,
                                       std::uint64_t index) const {
        // index < kMaxSections and shentsize < 2^16: the product cannot overflow.
        const auto at = Add(shoff, index * shentsize);
        if (!at) return std::nullopt;
        std::array<std::uint8_t, 64> raw{};
        const std::span<std::uint8_t> bytes(raw.data(), m_layout.sectionHeaderSize);
        if (!m_read(*at, bytes)) return std::nullopt;
        const std::size_t word = m_layout.wordSize;
        Section section;
        section.name = static_cast<std::uint32_t>(m_decoder.Read(bytes, 0, 4));
        section.type = static_cast<std::uint32_t>(m_decoder.Read(bytes, m_layout.shType, 4));
        section.offset = m_decoder.Read(bytes, m_layout.shOffset, word);
        section.size = m_decoder.Read(bytes, m_layout.shSize, word);
        section.link = static_cast<std::uint32_t>(m_decoder.Read(bytes, m_layout.shLink, 4));
        section.addralign = m_decoder.Read(bytes, m_layout.shAddralign, word);
        return section;
    }

    // True when the section's name in the string table is exactly kSectionName.
    bool HasOurName(const Section& section, const Section& strings) const {
        // The name and its terminating zero must lie inside the string table.
        const std::uint64_t needed = kSectionName.size() + 1;
        const auto end = Add(section.name, needed);
        if (!end || *end > strings.size) return false;
        const auto at = Add(strings.offset, section.name);
        if (!at) return false;
        std::array<std::uint8_t, kSectionName.size() + 1> name{};
        if (!m_read(*at, name)) return false;
        return std::equal(kSectionName.begin(), kSectionName.end(), name.begin()) &&
               name.back() == 0;
    }

    std::optional<VersionNumbers> ReadNotes(const Section& section) const {
        if (section.type == kShtNobits) return std::nullopt;
        const std::uint64_t length = std::min(section.size, kMaxNoteSectionBytes);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
        if (!m_read(section.offset, bytes)) return std::nullopt;
        // Notes are padded to 4 bytes, or to 8 where a 64-bit file says its notes are.
        const std::uint64_t alignment = section.addralign == 8 ? 8 : 4;
        std::uint64_t pos = 0;
        while (pos + 12 <= length) {
            const std::uint64_t nameSize = m_decoder.Read(bytes, pos, 4);
            const std::uint64_t descSize = m_decoder.Read(bytes, pos + 4, 4);
            const std::uint64_t type = m_decoder.Read(bytes, pos + 8, 4);
            const std::uint64_t namePos = pos + 12;
            // All values stay below 2^34 here, so none of these sums can overflow.
            if (namePos + nameSize > length) break;
            const std::uint64_t descPos = AlignUp(namePos + nameSize, alignment);
            if (descPos > length || descPos + descSize > length) break;
            if (nameSize == kNoteName.size() && type == kNoteType && descSize >= kDescriptorSize &&
                std::equal(kNoteName.begin(), kNoteName.end(),
                           bytes.begin() + static_cast<std::ptrdiff_t>(namePos))) {
                VersionNumbers numbers{};
                for (std::size_t i = 0; i < numbers.size(); ++i) {
                    numbers[i] =
                        static_cast<std::uint16_t>(m_decoder.Read(bytes, descPos + 2 * i, 2));
                }
                return numbers;
            }
            pos = AlignUp(descPos + descSize, alignment);
        }
        return std::nullopt;
    }

private:
    const ReadAt& m_read;
    const ElfLayout& m_layout;
    Decoder m_decoder;
};

// A file descriptor that closes itself.
class FileHandle {
public:
    explicit FileHandle(int fd) : m_hFile(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (m_hFile >= 0) ::close(m_hFile);
    }
    int Get() const { return m_hFile; }

private:
    int m_hFile;
};

bool ReadFileAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint64_t at = offset + done;
        if (at < offset || at > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
            return false;
        }
        const ssize_t got =
            ::pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

std::optional<VersionNumbers> FindVersionNote(const ReadAt& read) {
    std::array<std::uint8_t, 64> header{};
    if (!read(0, std::span(header.data(), 16))) return std::nullopt;
    if (header[0] != 0x7F || header[1] != 'E' || header[2] != 'L' || header[3] != 'F') {
        return std::nullopt;
    }
    const std::uint8_t elfClass = header[4];
    const std::uint8_t elfData = header[5];
    if ((elfClass != 1 && elfClass != 2) || (elfData != 1 && elfData != 2)) return std::nullopt;
    const ElfLayout& layout = elfClass == 1 ? kElf32 : kElf64;
    const Decoder decoder(elfData == 2);
    if (!read(0, std::span(header.data(), layout.headerSize))) return std::nullopt;

    const std::uint64_t shoff = decoder.Read(header, layout.shoff, layout.wordSize);
    const std::uint64_t shentsize = decoder.Read(header, layout.shentsize, 2);
    std::uint64_t shnum = decoder.Read(header, layout.shnum, 2);
    std::uint64_t shstrndx = decoder.Read(header, layout.shstrndx, 2);
    if (shoff == 0 || shentsize < layout.sectionHeaderSize) return std::nullopt;

    const ElfReader elf(read, layout, decoder);
    // Extended numbering: with 0xFF00 sections or more, the real count and string table index
    // are kept in the first section header.
    if (shnum == 0 || shstrndx == kShnXindex) {
        const auto first = elf.ReadSection(shoff, shentsize, 0);
        if (!first) return std::nullopt;
        if (shnum == 0) shnum = first->size;
        if (shstrndx == kShnXindex) shstrndx = first->link;
    }
    if (shnum == 0 || shnum > kMaxSections || shstrndx >= shnum) return std::nullopt;

    const auto strings = elf.ReadSection(shoff, shentsize, shstrndx);
    if (!strings) return std::nullopt;
    for (std::uint64_t index = 0; index < shnum; ++index) {
        const auto section = elf.ReadSection(shoff, shentsize, index);
        if (!section) return std::nullopt;
        if (!elf.HasOurName(*section, *strings)) continue;
        if (auto numbers = elf.ReadNotes(*section)) return numbers;
    }
    return std::nullopt;
}

std::optional<VersionNumbers> FindVersionNote(std::span<const std::uint8_t> image) {
    const ReadAt read = [image](std::uint64_t offset, std::span<std::uint8_t> out) {
        if (offset > image.size() || out.size() > image.size() - offset) return false;
        std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
        return true;
    };
    return FindVersionNote(read);
}

std::string FormatVersionText(const VersionNumbers& numbers) {
    return fmt::format(" {}.{}.{}.{} ", numbers[0], numbers[1], numbers[2], numbers[3]);
}

}  // namespace version_text

std::string GetVersionText(const char* fileName) {
    const char* path = fileName != nullptr ? fileName : "/proc/self/exe";
    // Non-blocking, so that a FIFO or device named by mistake cannot hang the caller; only
    // regular files are read.
    const version_text::FileHandle file(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0) return {};
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    const int fd = file.Get();
    const version_text::ReadAt read = [fd](std::uint64_t offset, std::span<std::uint8_t> out) {
        return version_text::ReadFileAt(fd, offset, out);
    };
    const auto numbers = version_text::FindVersionNote(read);
    return numbers ? version_text::FormatVersionText(*numbers) : std::string();
}
