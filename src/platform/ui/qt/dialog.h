#pragma once
// A modal dialog built from its template, with the dialog manager's keyboard habits: Enter is
// the OK command (or clicks the focused push button), Escape and the close box are Cancel.
// Buttons 1 (IDOK) and 2 (IDCANCEL) run OnOK and OnCancel.
#include <QDialog>

#include "platform/ui/message_box.h"
#include "platform/ui/qt/control_builder.h"
#include "platform/ui/qt/dialog_template.h"

class CDialog : public QDialog {
public:
    CDialog(const DialogTemplate& dialogTemplate, QWidget* parent);

    // Runs OnInitDialog, then the modal loop, then DestroyWindow; returns IDOK or IDCANCEL.
    int DoModal();
    // Runs OnInitDialog and shows the dialog without a modal loop (tests, modeless use).
    void Create();
    void EndDialog(int result);
    // Runs OnDestroy once (DoModal does it when its loop ends); the widget object stays.
    void DestroyWindow();

    QWidget* GetDlgItem(int id) const { return ::GetDlgItem(this, id); }
    template <typename T>
    T* Item(int id) const {
        return DlgItem<T>(this, id);
    }
    HWND GetSafeHwnd();
    const DialogBaseUnits& BaseUnits() const { return m_units; }

protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // The window is going: its own teardown before its children go.
    virtual void OnDestroy() {}

    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    DialogBaseUnits m_units;
    bool m_bInitialised = false;
    bool m_bDestroyed = false;
};
