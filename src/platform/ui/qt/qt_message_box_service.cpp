#include "platform/ui/qt/qt_message_box_service.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <condition_variable>

#include "platform/ui/qt/window_handles.h"

struct CQtMessageBoxService::PendingBox {
    std::condition_variable done;
    bool finished = false;
    int result = IDCANCEL;
    QPointer<QMessageBox> box;
};

CQtMessageBoxService::CQtMessageBoxService() = default;
CQtMessageBoxService::~CQtMessageBoxService() = default;

int CQtMessageBoxService::RunOnUiThread(const MessageBoxRequest& request, PendingBox* pending) {
    QWidget* owner = WidgetOf(request.owner);
    if (owner == nullptr) owner = QApplication::activeWindow();
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(request.caption));
    box.setText(QString::fromStdString(request.text));
    const bool question = (request.type & 0x0F) == MB_YESNO;
    box.setStandardButtons(question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
    // A question answered by Escape or the close box is answered No: nothing is done.
    if (question) box.setEscapeButton(QMessageBox::No);
    if ((request.type & 0xF0) == MB_ICONHAND) box.setIcon(QMessageBox::Critical);
    if ((request.type & 0xF0) == MB_ICONEXCLAMATION) box.setIcon(QMessageBox::Warning);
    if (pending != nullptr) {
        std::lock_guard guard(m_lock);
        if (m_bReleased) return IDCANCEL;
        pending->box = &box;
    }
    const int pressed = box.exec();
    if (question) return pressed == QMessageBox::Yes ? IDYES : IDNO;
    return pressed == QMessageBox::Ok ? IDOK : IDCANCEL;
}

int CQtMessageBoxService::Show(const MessageBoxRequest& request) {
    if (QThread::currentThread() == qApp->thread()) return RunOnUiThread(request, nullptr);

    auto pending = std::make_shared<PendingBox>();
    {
        std::lock_guard guard(m_lock);
        if (m_bReleased) return IDCANCEL;
        m_pending.push_back(pending);
    }
    QMetaObject::invokeMethod(
        this,
        [this, request, pending] {
            const int result = RunOnUiThread(request, pending.get());
            std::lock_guard guard(m_lock);
            pending->result = result;
            pending->finished = true;
            pending->done.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock guard(m_lock);
    pending->done.wait(guard, [&] { return pending->finished || m_bReleased; });
    std::erase(m_pending, pending);
    return pending->finished ? pending->result : IDCANCEL;
}

void CQtMessageBoxService::ReleaseWaitingThreads() {
    std::vector<std::shared_ptr<PendingBox>> pending;
    {
        std::lock_guard guard(m_lock);
        m_bReleased = true;
        pending = m_pending;
        for (const auto& p : pending) p->done.notify_all();
    }
    for (const auto& p : pending) {
        if (p->box) p->box->reject();
    }
}
