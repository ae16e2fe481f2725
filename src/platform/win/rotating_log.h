#pragma once
// A log file of the user's kept to a size: each line is appended with one write to a file opened
// under the rule of CRegularFile (nothing is written into a pipe, a device or a folder at the
// path), and closed again. A line that would take the file past the size first moves the file to
// the same name with kOlderSuffix (beside the file a link leads to, so the link keeps leading to
// the log), replacing the older one, and starts a new file: the log keeps at most twice the size
// and never splits a line between the two files. Programs appending to the same log take turns
// at the move through an advisory lock; writers in one program must be serialised by the caller.
#include <cstdint>
#include <string>
#include <string_view>

namespace rotating_log {

// Appended to the name of the file that is moved aside.
inline constexpr const char* kOlderSuffix = ".1";

// False when the line could not be written: it is then lost, so the log stays bounded.
bool Append(const std::string& path, std::string_view line, std::uint64_t rotateSize);

}  // namespace rotating_log
