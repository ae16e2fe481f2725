#include "watch/player_log.h"

#include <cstdio>
#include <utility>

CPlayerLog::CPlayerLog(std::string path, std::uint64_t cap)
    : m_strPath(std::move(path)), m_nCap(cap > 0 ? cap : 1) {}

bool CPlayerLog::Reopen() {
    if (m_file.IsOpen() && m_file.IsAt(m_strPath)) return true;
    m_file = CRegularFile::OpenToAppend(m_strPath);
    m_nSize = m_file.Size();
    return m_file.IsOpen();
}

void CPlayerLog::Rotate() {
    m_file.Close();
    // rename() replaces the name ".1" itself, never what a link there points to.
    std::rename(m_strPath.c_str(), (m_strPath + ".1").c_str());
}

void CPlayerLog::Append(std::string_view bytes) {
    if (m_strPath.empty() || bytes.empty()) return;
    // Of a piece larger than the cap only its end is kept: the newest messages tell most.
    if (bytes.size() > m_nCap) bytes = bytes.substr(bytes.size() - m_nCap);
    if (!Reopen()) return;
    if (m_nSize + bytes.size() > m_nCap) {
        Rotate();
        if (!Reopen()) return;
    }
    if (m_file.Write(bytes)) m_nSize += bytes.size();
}
