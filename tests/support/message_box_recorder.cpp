#include "support/message_box_recorder.h"

CMessageBoxRecorder::CMessageBoxRecorder() : m_pPrevious(SetMessageBoxService(this)) {}

CMessageBoxRecorder::~CMessageBoxRecorder() {
    SetMessageBoxService(m_pPrevious);
}

int CMessageBoxRecorder::Show(const MessageBoxRequest& request) {
    std::lock_guard guard(m_lock);
    m_boxes.push_back(request);
    return (request.type & 0x0F) == MB_YESNO ? m_nQuestionAnswer : IDOK;
}

void CMessageBoxRecorder::AnswerQuestionsWith(int answer) {
    std::lock_guard guard(m_lock);
    m_nQuestionAnswer = answer;
}

std::vector<MessageBoxRequest> CMessageBoxRecorder::Boxes() const {
    std::lock_guard guard(m_lock);
    return m_boxes;
}

std::vector<std::string> CMessageBoxRecorder::Texts() const {
    std::lock_guard guard(m_lock);
    std::vector<std::string> texts;
    for (const auto& box : m_boxes) texts.push_back(box.text);
    return texts;
}

void CMessageBoxRecorder::Clear() {
    std::lock_guard guard(m_lock);
    m_boxes.clear();
}
