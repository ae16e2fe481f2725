#pragma once
// The player's messages, kept in a log of capped size: when the next piece would take the file
// past its cap, the file becomes "<name>.1" (replacing the one before) and a new file starts, so
// a player that floods its output costs at most twice the cap on disk. Only a regular file is
// ever written (a pipe, a device or a folder at the path is passed over and the messages are
// dropped), and nothing here blocks.
//
// Threads: one writer per log object; several objects may share the path (a player being
// stopped beside a new one): each notices the other's turn and reopens.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win/regular_file.h"

class CPlayerLog {
public:
    static constexpr std::uint64_t kDefaultCap = std::uint64_t{1} << 20;

    // No path: everything is dropped.
    CPlayerLog(std::string path, std::uint64_t cap);

    void Append(std::string_view bytes);

private:
    bool Reopen();
    void Rotate();

    std::string m_strPath;
    std::uint64_t m_nCap;
    CRegularFile m_file;
    std::uint64_t m_nSize = 0;
};
