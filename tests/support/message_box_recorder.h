#pragma once
// Records message boxes instead of showing them, from any thread. Installed for its lifetime.
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/message_box.h"

class CMessageBoxRecorder : public IMessageBoxService {
public:
    CMessageBoxRecorder();
    ~CMessageBoxRecorder() override;

    int Show(const MessageBoxRequest& request) override;

    std::vector<MessageBoxRequest> Boxes() const;
    std::vector<std::string> Texts() const;
    // The answer to a question (MB_YESNO) from now on; IDYES until set.
    void AnswerQuestionsWith(int answer);
    void Clear();

private:
    IMessageBoxService* m_pPrevious;
    mutable std::mutex m_lock;
    std::vector<MessageBoxRequest> m_boxes;
    int m_nQuestionAnswer = IDYES;
};
