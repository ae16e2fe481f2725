#pragma once
// A page of the main window's property sheet, built from its dialog template. The sheet runs
// OnInitDialog the first time the page is shown and OnDestroy when the window that holds the
// sheet is destroyed (only for pages that were initialised).
//
// Keys: Enter runs the page's default button (the one of id 1, IDOK, or the template's default
// push button); Escape and Enter without a default button go to the window that holds the
// sheet, as they would in a dialog, unless the page handles them itself.
#include <QWidget>

#include "platform/ui/message_box.h"
#include "platform/ui/qt/control_builder.h"
#include "platform/ui/qt/dialog_template.h"
#include "platform/ui/qt/dialog_units.h"

class QPushButton;

class CPropertyPage : public QWidget {
public:
    explicit CPropertyPage(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);

    QString Title() const { return m_strTitle; }
    bool IsInitialised() const { return m_bInitialised; }

    // Called by the sheet.
    void Initialise();
    void Destroy();

    QWidget* GetDlgItem(int id) const { return ::GetDlgItem(this, id); }
    template <typename T>
    T* Item(int id) const {
        return DlgItem<T>(this, id);
    }
    HWND GetSafeHwnd();
    const DialogBaseUnits& BaseUnits() const { return m_units; }

protected:
    virtual bool OnInitDialog() { return true; }
    virtual void OnDestroy() {}
    // Enter on the page; the default runs the default button, or passes the key on.
    virtual bool OnEnter();
    // Escape on the page; the default passes it on to the window.
    virtual bool OnEscape() { return false; }

    void keyPressEvent(QKeyEvent* event) override;

private:
    QString m_strTitle;
    DialogBaseUnits m_units;
    bool m_bInitialised = false;
    bool m_bDestroyed = false;
};
