#pragma once
// Collects debugger output for its lifetime.
#include <mutex>
#include <string>
#include <vector>

class CDebugOutputCapture {
public:
    CDebugOutputCapture();
    ~CDebugOutputCapture();
    std::vector<std::string> Lines() const;

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;
};
