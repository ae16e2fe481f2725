#pragma once
// Collects debugger output for its lifetime, one entry per call; or hands each call to a function.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class CDebugOutputCapture {
public:
    using Receiver = std::function<void(std::string_view)>;

    CDebugOutputCapture();
    // Calls `receiver` with each text instead of collecting it (it may run on any thread).
    explicit CDebugOutputCapture(Receiver receiver);
    ~CDebugOutputCapture();
    CDebugOutputCapture(const CDebugOutputCapture&) = delete;
    CDebugOutputCapture& operator=(const CDebugOutputCapture&) = delete;

    std::vector<std::string> Lines() const;

private:
    class CCollector;
    std::shared_ptr<CCollector> m_pCollector;
};
