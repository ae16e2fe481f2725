#pragma once
// A file of the user's that the program reads or appends to beside its own data: the diagnostic
// log, the simulated card's trace, the city list, the settings files (which CFileReplacement
// writes anew under the same rule). Only a regular file, or a link to one, is ever
// opened for use; anything else at the path (a pipe, a device, a folder, a link to one of them)
// counts as missing. An open() of a pipe without a reader blocks forever, /dev/zero never ends,
// and merely opening some devices acts on the hardware, so such a path is not even opened when
// a look at it shows what it is; the open itself never blocks, and what was opened is checked
// again before it is used.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class CRegularFile {
public:
    // Not open when the path is missing, cannot be opened or is not a regular file.
    static CRegularFile OpenToRead(const std::string& path);
    // The same, but a missing file is created (0644 less the umask) and every write goes to the
    // file's end.
    static CRegularFile OpenToAppend(const std::string& path);
    // The file a link at `path` leads to, which is the one to move aside or replace so that the
    // link keeps leading to it; `path` itself when it is no link or leads nowhere.
    static std::string LinkTarget(const std::string& path);
    // The reason the rule gives for something other than a regular file: EISDIR for a folder,
    // EINVAL for anything else (a pipe, a device, a socket).
    static int RefusalOf(mode_t mode);

    CRegularFile() = default;
    CRegularFile(CRegularFile&& other) noexcept;
    CRegularFile& operator=(CRegularFile&& other) noexcept;
    CRegularFile(const CRegularFile&) = delete;
    CRegularFile& operator=(const CRegularFile&) = delete;
    ~CRegularFile();

    bool IsOpen() const { return m_hFile >= 0; }
    // Why it is not open: ENOENT for a missing file, RefusalOf() for one that is not regular, or
    // the error of open().
    int Error() const { return m_nError; }
    int Handle() const { return m_hFile; }
    // The file's size when it was opened.
    std::uint64_t Size() const { return m_nSize; }
    // Whether `path` still leads to this file (not renamed away or replaced meanwhile).
    bool IsAt(const std::string& path) const;

    // Up to `size` bytes; 0 at the end, -1 on an error.
    std::ptrdiff_t Read(char* buffer, std::size_t size) const;
    // All of `bytes`, at the end when opened to append; false when not all of them were written.
    bool Write(std::string_view bytes) const;
    void Close();

private:
    static CRegularFile Open(const std::string& path, int flags);

    int m_hFile = -1;
    int m_nError = 0;
    std::uint64_t m_nSize = 0;
    dev_t m_nDevice = 0;
    ino_t m_nInode = 0;
};
