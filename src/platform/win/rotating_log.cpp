#include "platform/win/rotating_log.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <cstdio>
#include <utility>

#include "platform/win/regular_file.h"

namespace rotating_log {

namespace {

// Moves the full log aside; `file` is it, opened at `path`. Returns the file to append to next,
// not open when the log cannot be moved aside.
CRegularFile MoveAside(CRegularFile file, const std::string& path) {
    // Another program on the same log may be moving it aside right now: its lock tells. The
    // line then goes to the old file, one line over the size, rather than being lost.
    if (::flock(file.Handle(), LOCK_EX | LOCK_NB) != 0) return file;
    // Or it already has: the path leads to its new file, which takes the line.
    if (!file.IsAt(path)) return CRegularFile::OpenToAppend(path);
    const std::string target = CRegularFile::LinkTarget(path);
    const std::string older = target + kOlderSuffix;
    // Only an older log is replaced: a folder, pipe or device of the user's there stays.
    struct stat info {};
    if (::lstat(older.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return {};
    if (::rename(target.c_str(), older.c_str()) != 0) return {};
    file.Close();  // the lock goes with it: a program waiting for it finds the new file
    return CRegularFile::OpenToAppend(path);
}

}  // namespace

bool Append(const std::string& path, std::string_view line, std::uint64_t rotateSize) {
    CRegularFile file = CRegularFile::OpenToAppend(path);
    if (!file.IsOpen()) return false;
    // An empty file takes any line, so that a line longer than the size is not lost.
    if (file.Size() > 0 && file.Size() + line.size() > rotateSize) {
        file = MoveAside(std::move(file), path);
        if (!file.IsOpen()) return false;
    }
    // Appending makes the one write land whole at the end, even with other writers.
    return file.Write(line);
}

}  // namespace rotating_log
