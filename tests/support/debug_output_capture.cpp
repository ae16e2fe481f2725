#include "support/debug_output_capture.h"

#include "platform/win/debug_output.h"

CDebugOutputCapture::CDebugOutputCapture() {
    platform::SetDebugOutputSinkForTesting([this](std::string_view text) {
        std::lock_guard guard(m_lock);
        m_lines.emplace_back(text);
    });
}

CDebugOutputCapture::~CDebugOutputCapture() {
    platform::SetDebugOutputSinkForTesting(nullptr);
}

std::vector<std::string> CDebugOutputCapture::Lines() const {
    std::lock_guard guard(m_lock);
    return m_lines;
}
