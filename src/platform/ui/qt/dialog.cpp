#include "platform/ui/qt/dialog.h"

#include <QKeyEvent>
#include <QPushButton>

#include "platform/ui/qt/window_handles.h"

CDialog::CDialog(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QDialog(parent), m_units(BaseUnitsOf(DialogFont())) {
    setFont(DialogFont());
    if (dialogTemplate.style & DialogStyle::kMinimizeBox) {
        // A normal top-level window: the desktop lists it in the taskbar and offers to minimise
        // it, where a dialog type would keep it transient for a hidden leader window.
        setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    }
    setWindowTitle(QString::fromStdString(dialogTemplate.caption));
    const QSize size = DluToPixels(QSize(dialogTemplate.cx, dialogTemplate.cy), m_units);
    if (dialogTemplate.style & DialogStyle::kResizable) {
        setMinimumSize(size);
        resize(size);
    } else {
        setFixedSize(size);
    }
    CreateControls(this, dialogTemplate, m_units);
    if (auto* ok = Item<QPushButton>(IDOK))
        connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
    if (auto* cancel = Item<QPushButton>(IDCANCEL)) {
        connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
    }
}

int CDialog::DoModal() {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    const int result = exec() == QDialog::Accepted ? IDOK : IDCANCEL;
    DestroyWindow();
    return result;
}

void CDialog::DestroyWindow() {
    if (m_bDestroyed) return;
    m_bDestroyed = true;
    if (m_bInitialised) OnDestroy();
    hide();
}

void CDialog::Create() {
    if (!m_bInitialised) {
        m_bInitialised = true;
        OnInitDialog();
    }
    show();
}

void CDialog::EndDialog(int result) {
    done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
}

HWND CDialog::GetSafeHwnd() {
    return HandleOf(this);
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (auto* button = qobject_cast<QPushButton*>(focusWidget());
                button && !button->isDefault()) {
                button->click();
            } else {
                OnOK();
            }
            event->accept();
            return;
        case Qt::Key_Escape:
            OnCancel();
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

// The close box and QDialog's own Escape handling arrive here.
void CDialog::reject() {
    OnCancel();
}
