#include "support/debug_output_capture.h"

#include <mutex>
#include <utility>

#include "platform/win/debug_output.h"

class CDebugOutputCapture::CCollector final : public platform::DebugOutput {
public:
    explicit CCollector(Receiver receiver) : m_receiver(std::move(receiver)) {}
    void Write(std::string_view text) override {
        if (m_receiver) {
            m_receiver(text);
            return;
        }
        const std::lock_guard guard(m_lock);
        m_lines.emplace_back(text);
    }
    std::vector<std::string> Lines() const {
        const std::lock_guard guard(m_lock);
        return m_lines;
    }

private:
    const Receiver m_receiver;
    mutable std::mutex m_lock;
    std::vector<std::string> m_lines;
};

CDebugOutputCapture::CDebugOutputCapture() : CDebugOutputCapture(Receiver{}) {}

CDebugOutputCapture::CDebugOutputCapture(Receiver receiver)
    : m_pCollector(std::make_shared<CCollector>(std::move(receiver))) {
    platform::SetDebugOutput(m_pCollector);
}

CDebugOutputCapture::~CDebugOutputCapture() {
    platform::SetDebugOutput(nullptr);
}

std::vector<std::string> CDebugOutputCapture::Lines() const {
    return m_pCollector->Lines();
}
