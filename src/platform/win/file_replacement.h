#pragma once
// A file of the user's written anew as a whole (a settings file, a stored scan): the new content
// goes into a fresh file beside it, which then takes its place by rename(), so a reader sees the
// old file or the new one and a failed write leaves the old one. The rule of CRegularFile holds
// for what is replaced: only a regular file, a link to one (the file it leads to is replaced and
// the link stays) or nothing. A folder, a pipe or a device at the path stays as it is and nothing
// is written anywhere. The fresh file is made with O_EXCL | O_NOFOLLOW under a name of its own,
// so nothing put at that name beforehand is opened, written through or overwritten.
#include <string>
#include <string_view>

class CFileReplacement {
public:
    // Not open, with the reason in Error(), when something other than a regular file stands at
    // `path` (RefusalOf) or the fresh file cannot be made. A replaced file's permissions, and
    // where we may its owner, pass to the new one; a new file gets 0666 less the umask.
    static CFileReplacement Begin(const std::string& path);

    CFileReplacement() = default;
    CFileReplacement(CFileReplacement&& other) noexcept;
    CFileReplacement& operator=(CFileReplacement&& other) noexcept;
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;
    // The fresh file goes unless Commit() has put it in place.
    ~CFileReplacement();

    bool IsOpen() const { return m_hFile >= 0; }
    int Error() const { return m_nError; }
    // The fresh file, to write the new content into.
    int Handle() const { return m_hFile; }
    // Returns 0 or an errno.
    int Write(std::string_view bytes) const;
    // Closes the fresh file (after fsync when `flushToDisk`), looks at the path once more and puts
    // the fresh file in its place; returns 0 or an errno. What has taken the place of the file
    // meanwhile, if it is no regular file, stays, and the fresh file goes.
    int Commit(bool flushToDisk);

private:
    void Discard();

    int m_hFile = -1;
    int m_nError = 0;
    std::string m_strTarget;
    std::string m_strFresh;
};
