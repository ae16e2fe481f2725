#include "platform/win/private_profile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "platform/win/file_replacement.h"
#include "platform/win/regular_file.h"

// Files are read in fixed chunks and every line is reduced to a bounded summary while it
// streams past, so a huge, binary or truncated file costs no more memory than a small one.
// A write scans the file once to plan a single splice, then copies it with that splice into
// a temporary file beside it, which replaces the original by rename().

namespace {

thread_local DWORD g_nLastError = 0;

// Concurrent writers of this process would lose each other's changes between scan and rename.
std::mutex g_writeLock;

constexpr std::size_t kChunkSize = std::size_t{64} * 1024;

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Text between blanks, kept up to `cap` bytes while its full trimmed length is still counted.
// Blanks are held back until a non-blank follows, so trailing blanks never count.
struct TrimmedText {
    std::string str;             // the first bytes of the trimmed text, at most cap
    std::uint64_t nLength = 0;   // length of the whole trimmed text
    std::uint64_t nPending = 0;  // blanks since the last non-blank
    std::string strPending;      // those blanks, as far as they still fit under cap
    char chFirst = '\0';
    char chLast = '\0';

    void Add(char c, std::size_t cap) {
        if (IsBlank(c)) {
            if (nLength == 0) return;
            ++nPending;
            if (str.size() + strPending.size() < cap) strPending.push_back(c);
            return;
        }
        if (nLength == 0) chFirst = c;
        nLength += nPending + 1;
        nPending = 0;
        // When blanks were dropped for lack of room, str is already full: nothing is skipped.
        str.append(strPending);
        strPending.clear();
        if (str.size() < cap) str.push_back(c);
        chLast = c;
    }

    // Same as Add() for each byte, once str holds all it may (str.size() == cap).
    void AddFullRun(const char* data, std::size_t size) {
        std::size_t last = size;
        while (last > 0 && IsBlank(data[last - 1])) --last;
        if (last == 0) {
            nPending += size;
            return;
        }
        nLength += nPending + last;
        nPending = size - last;
        chLast = data[last - 1];
    }

    bool Is(std::string_view name) const { return nLength == str.size() && SameName(str, name); }

    void Clear() {
        str.clear();
        strPending.clear();
        nLength = 0;
        nPending = 0;
        chFirst = chLast = '\0';
    }
};

enum class LineKind { Blank, Comment, Section, Key, Other };

struct ProfileLine {
    LineKind kind = LineKind::Blank;
    std::uint64_t nBegin = 0;       // offset of the line's first byte
    std::uint64_t nContentEnd = 0;  // offset after its text, before CR LF or LF
    std::uint64_t nEnd = 0;         // offset after its line end
    bool bTerminated = false;
    bool bCrLf = false;
    TrimmedText name;               // section or key name
    std::uint64_t nValueBegin = 0;  // first non-blank after '=', or just after '=' if none
    TrimmedText value;
};

using LineHandler = std::function<bool(const ProfileLine&)>;  // false ends the scan

// Splits a byte stream into lines and classifies each: "[name]" a section header (text after
// the first ']' ignored), ";..." a comment, "key=value" (first '=') a key; leading blanks are
// skipped. A line of other text, or a '[' without ']', is neither and is never matched.
class CLineScanner {
public:
    CLineScanner(std::size_t nameCap, std::size_t valueCap, LineHandler handler)
        : m_nNameCap(nameCap), m_nValueCap(valueCap), m_handler(std::move(handler)) {}

    // Returns false once the handler has asked to stop.
    bool Feed(const char* data, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            const char c = data[i];
            const std::uint64_t offset = m_nOffset + i;
            if (c != '\n' && (m_phase == Phase::Skip || ValueIsFull())) {
                // Nothing of a comment or a header's tail matters, and of a long value only
                // its length and last character: jump to the line end.
                const void* lf = std::memchr(data + i, '\n', size - i);
                const std::size_t next =
                    lf == nullptr ? size
                                  : static_cast<std::size_t>(static_cast<const char*>(lf) - data);
                if (m_phase == Phase::Value) m_line.value.AddFullRun(data + i, next - i);
                m_bPrevCr = data[next - 1] == '\r';
                i = next - 1;
                continue;
            }
            if (c == '\n') {
                m_line.nContentEnd = m_bPrevCr ? offset - 1 : offset;
                m_line.nEnd = offset + 1;
                m_line.bTerminated = true;
                m_line.bCrLf = m_bPrevCr;
                if (!Emit()) {
                    m_nOffset += i + 1;
                    return false;
                }
                m_line.nBegin = offset + 1;
                m_bPrevCr = false;
                continue;
            }
            m_bPrevCr = c == '\r';
            switch (m_phase) {
                case Phase::Lead:
                    if (IsBlank(c)) break;
                    if (c == ';') {
                        m_line.kind = LineKind::Comment;
                        m_phase = Phase::Skip;
                    } else if (c == '[') {
                        m_phase = Phase::SectionName;
                    } else if (!m_bReadKeys) {
                        m_line.kind = LineKind::Other;
                        m_phase = Phase::Skip;
                    } else if (c == '=') {
                        m_line.nValueBegin = offset + 1;
                        m_phase = Phase::Value;
                    } else {
                        m_line.name.Add(c, m_nNameCap);
                        m_phase = Phase::KeyName;
                    }
                    break;
                case Phase::KeyName:
                    if (c == '=') {
                        m_line.nValueBegin = offset + 1;
                        m_phase = Phase::Value;
                    } else {
                        m_line.name.Add(c, m_nNameCap);
                    }
                    break;
                case Phase::Value:
                    if (m_line.value.nLength == 0 && !IsBlank(c)) m_line.nValueBegin = offset;
                    m_line.value.Add(c, m_nValueCap);
                    break;
                case Phase::SectionName:
                    if (c == ']') {
                        m_line.kind = LineKind::Section;
                        m_phase = Phase::Skip;
                    } else {
                        m_line.name.Add(c, m_nNameCap);
                    }
                    break;
                case Phase::Skip:
                    break;
            }
        }
        m_nOffset += size;
        return true;
    }

    // While off, a line that is neither a section header, a comment nor blank is passed over
    // unread and reported as Other. Outside the wanted section only the headers matter: a huge
    // file of other sections then costs a search for line ends, not a look at every byte.
    void ReadKeys(bool read) { m_bReadKeys = read; }

    // Ends the stream: a last line without a line end still counts.
    void Finish() {
        if (m_nOffset == m_line.nBegin) return;
        m_line.nContentEnd = m_line.nEnd = m_nOffset;
        m_line.bTerminated = false;
        m_line.bCrLf = false;
        Emit();
    }

    std::uint64_t Size() const { return m_nOffset; }

private:
    enum class Phase { Lead, KeyName, Value, SectionName, Skip };

    bool ValueIsFull() const {
        return m_phase == Phase::Value && m_line.value.nLength > 0 &&
               m_line.value.str.size() >= m_nValueCap;
    }

    bool Emit() {
        switch (m_phase) {
            case Phase::Lead:
                m_line.kind = LineKind::Blank;
                break;
            case Phase::Value:
                m_line.kind = LineKind::Key;
                break;
            case Phase::KeyName:
            case Phase::SectionName:
                m_line.kind = LineKind::Other;
                break;
            case Phase::Skip:
                break;  // kind set when the phase was entered
        }
        const bool goOn = m_handler(m_line);
        m_phase = Phase::Lead;
        m_line.kind = LineKind::Blank;
        m_line.name.Clear();
        m_line.value.Clear();
        m_line.nValueBegin = 0;
        return goOn;
    }

    std::size_t m_nNameCap;
    std::size_t m_nValueCap;
    LineHandler m_handler;
    ProfileLine m_line;
    Phase m_phase = Phase::Lead;
    bool m_bPrevCr = false;
    bool m_bReadKeys = true;
    std::uint64_t m_nOffset = 0;
};

// Returns 0 or an errno value.
int ReadSome(int fd, char* buffer, std::size_t size, std::size_t& got) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0) {
            got = static_cast<std::size_t>(n);
            return 0;
        }
        if (errno != EINTR) return errno;
    }
}

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return 0;
}

// Feeds the whole file (from its current position) to the scanner; returns 0 or an errno.
int Scan(int fd, CLineScanner& scanner) {
    const auto chunk = std::make_unique_for_overwrite<char[]>(kChunkSize);
    for (;;) {
        std::size_t got = 0;
        if (const int error = ReadSome(fd, chunk.get(), kChunkSize, got)) return error;
        if (got == 0) break;
        if (!scanner.Feed(chunk.get(), got)) return 0;
    }
    scanner.Finish();
    return 0;
}

// The value as the reader sees it: one pair of matching enclosing quotes removed, at most
// maxChars characters, cut at a NUL byte so the count matches the terminated text.
std::string_view ReadableValue(const TrimmedText& value, std::size_t maxChars) {
    std::string_view text = value.str;
    std::uint64_t length = value.nLength;
    if (length >= 2 && (value.chFirst == '"' || value.chFirst == '\'') &&
        value.chLast == value.chFirst) {
        text.remove_prefix(1);
        length -= 2;
    }
    text = text.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(length, maxChars)));
    return text.substr(0, text.find('\0'));
}

std::size_t NameCap(std::string_view section, std::string_view key) {
    // A name one byte longer than both wanted names can match neither.
    return std::max(section.size(), key.size()) + 1;
}

DWORD CopyOut(std::string_view text, char* buffer, DWORD size) {
    const std::size_t count = std::min<std::size_t>(text.size(), size - 1);
    if (count > 0) std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<DWORD>(count);
}

// Looks the key up in the first section of that name; returns 0 (found), ENOENT or an errno.
int FindValue(const char* path, std::string_view section, std::string_view key,
              std::size_t maxChars, std::string& out) {
    // Settings live in regular files: a folder gives EISDIR, anything else EINVAL before a byte
    // is read (a pipe without a writer, a device like /dev/zero whose reading never ends).
    const CRegularFile file = CRegularFile::OpenToRead(path);
    if (!file.IsOpen()) return file.Error();
    bool inSection = false;
    bool found = false;
    CLineScanner scanner(NameCap(section, key), maxChars + 1, [&](const ProfileLine& line) {
        if (line.kind == LineKind::Section) {
            if (inSection) return false;  // only the first section of the name counts
            inSection = line.name.Is(section);
            scanner.ReadKeys(inSection);
        } else if (inSection && line.kind == LineKind::Key && line.name.Is(key)) {
            out = ReadableValue(line.value, maxChars);
            found = true;
            return false;
        }
        return true;
    });
    scanner.ReadKeys(false);  // keys before the first section belong to none
    if (const int error = Scan(file.Handle(), scanner)) return error;
    return found ? 0 : ENOENT;
}

// What a write changes: `nErase` bytes at `nOffset` give way to `strInsert`.
struct Splice {
    std::uint64_t nOffset = 0;
    std::uint64_t nErase = 0;
    std::string strInsert;
};

// What a first pass over an existing file learns for the write.
struct FileLayout {
    bool bLineEndSeen = false;
    bool bCrLf = false;           // style of the first line end: kept for lines we write
    bool bLastTerminated = true;  // an empty file counts as ending cleanly
    bool bLastBlank = true;
    bool bSectionFound = false;
    bool bInSection = false;
    ProfileLine header;
    std::uint64_t nSectionEnd = 0;  // where the next section header starts, or the file end
    bool bKeyFound = false;
    ProfileLine keyLine;
    bool bHasKeyLine = false;
    ProfileLine lastKeyLine;  // the section's last key line
    std::uint64_t nSize = 0;
};

int StudyFile(int fd, std::string_view section, std::string_view key, FileLayout& layout) {
    CLineScanner scanner(NameCap(section, key), 0, [&](const ProfileLine& line) {
        if (line.bTerminated && !layout.bLineEndSeen) {
            layout.bLineEndSeen = true;
            layout.bCrLf = line.bCrLf;
        }
        layout.bLastTerminated = line.bTerminated;
        layout.bLastBlank = line.kind == LineKind::Blank;
        if (line.kind == LineKind::Section) {
            if (layout.bInSection) {
                layout.bInSection = false;
                layout.nSectionEnd = line.nBegin;
            } else if (!layout.bSectionFound && line.name.Is(section)) {
                layout.bSectionFound = layout.bInSection = true;
                layout.header = line;
            }
            scanner.ReadKeys(layout.bInSection);
        } else if (layout.bInSection && line.kind == LineKind::Key) {
            if (!layout.bKeyFound && line.name.Is(key)) {
                layout.bKeyFound = true;
                layout.keyLine = line;
            }
            layout.bHasKeyLine = true;
            layout.lastKeyLine = line;
        }
        return true;
    });
    scanner.ReadKeys(false);
    const int error = Scan(fd, scanner);
    layout.nSize = scanner.Size();
    if (layout.bInSection) layout.nSectionEnd = layout.nSize;
    return error;
}

// Plans the change; returns false when the file needs none (deleting what is not there).
bool PlanWrite(const FileLayout& layout, std::string_view section, const char* key,
               const char* value, Splice& splice) {
    const std::string_view eol = layout.bCrLf ? "\r\n" : "\n";
    if (key == nullptr) {  // delete the section, up to the next header
        if (!layout.bSectionFound) return false;
        splice.nOffset = layout.header.nBegin;
        splice.nErase = layout.nSectionEnd - layout.header.nBegin;
        return true;
    }
    const std::string_view keyName = Trim(key);
    if (value == nullptr) {  // delete the key's line
        if (!layout.bKeyFound) return false;
        splice.nOffset = layout.keyLine.nBegin;
        splice.nErase = layout.keyLine.nEnd - layout.keyLine.nBegin;
        return true;
    }
    const std::string_view newValue = value;
    if (layout.bKeyFound) {  // the new value in place of the old, the key as it was spelled
        splice.nOffset = layout.keyLine.nValueBegin;
        splice.nErase = layout.keyLine.nContentEnd - layout.keyLine.nValueBegin;
        splice.strInsert = newValue;
        return true;
    }
    std::string keyLine;
    keyLine.append(keyName).append(1, '=').append(newValue).append(eol);
    if (layout.bSectionFound) {  // after the section's last key, or right after its header
        const ProfileLine& anchor = layout.bHasKeyLine ? layout.lastKeyLine : layout.header;
        splice.nOffset = anchor.nEnd;
        if (!anchor.bTerminated) splice.strInsert.append(eol);
        splice.strInsert.append(keyLine);
        return true;
    }
    // A new section at the end, set off from what precedes it by one blank line.
    splice.nOffset = layout.nSize;
    if (layout.nSize > 0) {
        if (!layout.bLastTerminated) splice.strInsert.append(eol);
        if (!layout.bLastBlank) splice.strInsert.append(eol);
    }
    splice.strInsert.append(1, '[').append(section).append(1, ']').append(eol).append(keyLine);
    return true;
}

// Copies `source` (from its start) to `target` with the splice applied.
int CopyWithSplice(int source, int target, const Splice& splice) {
    if (source >= 0 && ::lseek(source, 0, SEEK_SET) < 0) return errno;
    // On the heap: a caller's thread may have a small stack.
    const auto chunk = std::make_unique_for_overwrite<char[]>(kChunkSize);
    std::uint64_t offset = 0;
    bool inserted = false;
    const std::uint64_t skipEnd = splice.nOffset + splice.nErase;
    for (;;) {
        std::size_t got = 0;
        if (source >= 0) {
            if (const int error = ReadSome(source, chunk.get(), kChunkSize, got)) return error;
        }
        const std::uint64_t chunkEnd = offset + got;
        // Bytes before the splice point, the insertion, then bytes after the erased range.
        const std::uint64_t keepEnd = std::min(chunkEnd, splice.nOffset);
        if (keepEnd > offset) {
            if (const int error = WriteAll(target, chunk.get(), keepEnd - offset)) return error;
        }
        if (!inserted && chunkEnd >= splice.nOffset) {
            if (const int error =
                    WriteAll(target, splice.strInsert.data(), splice.strInsert.size())) {
                return error;
            }
            inserted = true;
        }
        const std::uint64_t resumeAt = std::max(offset, skipEnd);
        if (chunkEnd > resumeAt) {
            if (const int error =
                    WriteAll(target, chunk.get() + (resumeAt - offset), chunkEnd - resumeAt)) {
                return error;
            }
        }
        if (got == 0) break;
        offset = chunkEnd;
    }
    // The file shrank between the passes: it was changed under us, so do not replace it.
    return inserted ? 0 : EAGAIN;
}

bool HasAny(std::string_view text, std::string_view chars) {
    return text.find_first_of(chars) != std::string_view::npos;
}

// Texts that would change the file's structure cannot be written.
bool ValidWrite(const char* section, const char* key, const char* value) {
    if (HasAny(section, "\r\n]")) return false;
    if (key != nullptr) {
        const std::string_view name = Trim(key);
        if (HasAny(name, "\r\n=") || (!name.empty() && (name[0] == '[' || name[0] == ';'))) {
            return false;
        }
    }
    return value == nullptr || !HasAny(value, "\r\n");
}

int WriteProfile(const char* section, const char* key, const char* value, const char* path) {
    const std::lock_guard<std::mutex> lock(g_writeLock);
    // The file a link leads to is the one updated; the link stays.
    const std::string target = CRegularFile::LinkTarget(path);
    // A file that is not a regular one is left as it is: replacing it would destroy the user's
    // pipe, or a device node such as /dev/zero that a link points to.
    const CRegularFile original = CRegularFile::OpenToRead(target);
    if (!original.IsOpen() && original.Error() != ENOENT) return original.Error();
    FileLayout layout;
    if (original.IsOpen()) {
        // A file we may not write stays as it is, even though its folder would let us
        // replace it.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return errno;
        if (const int error = StudyFile(original.Handle(), Trim(section),
                                        key != nullptr ? Trim(key) : std::string_view(), layout)) {
            return error;
        }
    }
    Splice splice;
    if (!PlanWrite(layout, Trim(section), key, value, splice)) return 0;
    CFileReplacement replacement = CFileReplacement::Begin(target);
    if (!replacement.IsOpen()) return replacement.Error();
    if (const int error = CopyWithSplice(original.Handle(), replacement.Handle(), splice)) {
        return error;
    }
    // No fsync: the settings are written on the window's thread at every "Lock TP", key by
    // key, and a flush to a busy disk froze the window for seconds. The rename still gives
    // readers the old file or the new one, never a mix.
    return replacement.Commit(false);
}

}  // namespace

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* buffer, DWORD size, const char* path) {
    if (buffer == nullptr || size == 0) {
        SetLastError(EINVAL);
        return 0;
    }
    // Trailing blanks of the default are dropped, as the system does.
    std::string_view fallback = defaultValue == nullptr ? std::string_view() : defaultValue;
    while (!fallback.empty() && IsBlank(fallback.back())) fallback.remove_suffix(1);
    if (section == nullptr || key == nullptr || path == nullptr) {
        SetLastError(EINVAL);
        return CopyOut(fallback, buffer, size);
    }
    std::string value;
    const int error = FindValue(path, Trim(section), Trim(key), size - 1, value);
    SetLastError(static_cast<DWORD>(error));
    return CopyOut(error == 0 ? std::string_view(value) : fallback, buffer, size);
}

BOOL WritePrivateProfileStringA(const char* section, const char* key, const char* value,
                                const char* path) {
    if (path == nullptr) {
        SetLastError(EINVAL);
        return FALSE;
    }
    // All three empty asks to flush a cache; there is none, every write goes straight out.
    if (section == nullptr && key == nullptr && value == nullptr) return TRUE;
    if (section == nullptr || !ValidWrite(section, key, value)) {
        SetLastError(EINVAL);
        return FALSE;
    }
    const int error = WriteProfile(section, key, value, path);
    SetLastError(static_cast<DWORD>(error));
    return error == 0 ? TRUE : FALSE;
}

DWORD GetLastError() {
    return g_nLastError;
}

void SetLastError(DWORD code) {
    g_nLastError = code;
}
