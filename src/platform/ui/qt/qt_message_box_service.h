#pragma once
// Shows the system's message boxes with Qt. A box asked for on another thread runs on the UI
// thread while the asking thread waits; at shutdown ReleaseWaitingThreads() closes such boxes
// and lets their threads go on, so the UI thread can join them without a deadlock.
#include <QObject>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ui/message_box.h"

class CQtMessageBoxService : public QObject, public IMessageBoxService {
public:
    CQtMessageBoxService();
    ~CQtMessageBoxService() override;

    int Show(const MessageBoxRequest& request) override;

    // Closes every box that a worker thread is waiting on (answering IDCANCEL) and makes later
    // worker requests return IDCANCEL at once.
    void ReleaseWaitingThreads() override;

private:
    struct PendingBox;
    int RunOnUiThread(const MessageBoxRequest& request, PendingBox* pending);

    std::mutex m_lock;
    std::vector<std::shared_ptr<PendingBox>> m_pending;
    bool m_bReleased = false;
};
