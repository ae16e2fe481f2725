#include "platform/ui/qt/property_page.h"

#include <QKeyEvent>
#include <QPushButton>

#include "platform/ui/qt/window_handles.h"

CPropertyPage::CPropertyPage(const DialogTemplate& dialogTemplate, QWidget* parent)
    : QWidget(parent),
      m_strTitle(QString::fromStdString(dialogTemplate.caption)),
      m_units(BaseUnitsOf(DialogFont())) {
    setFont(DialogFont());
    setAccessibleName(m_strTitle);
    setMinimumSize(DluToPixels(QSize(dialogTemplate.cx, dialogTemplate.cy), m_units));
    CreateControls(this, dialogTemplate, m_units);
}

void CPropertyPage::Initialise() {
    if (m_bInitialised) return;
    m_bInitialised = true;
    OnInitDialog();
}

void CPropertyPage::Destroy() {
    if (!m_bInitialised || m_bDestroyed) return;
    m_bDestroyed = true;
    OnDestroy();
}

HWND CPropertyPage::GetSafeHwnd() {
    return HandleOf(this);
}

bool CPropertyPage::OnEnter() {
    for (QPushButton* button : findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (button->property(kDefaultButtonProperty).toBool() && button->isEnabled() &&
            !button->isHidden()) {
            button->click();
            return true;
        }
    }
    return false;
}

void CPropertyPage::keyPressEvent(QKeyEvent* event) {
    bool handled = false;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // A focused push button takes Enter itself, as in a dialog.
            if (auto* button = qobject_cast<QPushButton*>(focusWidget());
                button && !button->property(kDefaultButtonProperty).toBool()) {
                button->click();
                handled = true;
            } else {
                handled = OnEnter();
            }
            break;
        case Qt::Key_Escape:
            handled = OnEscape();
            break;
        default:
            break;
    }
    if (handled) {
        event->accept();
    } else {
        QWidget::keyPressEvent(event);
    }
}
