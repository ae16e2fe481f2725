#pragma once
// Creates the controls of a dialog template on a host widget: each control carries its numeric
// id as objectName, is placed by its dialog-unit rectangle, and gets an accessible name (its
// caption, the label to its left, or the template's name for it). Tab order follows the template.
#include <QWidget>

#include "platform/ui/qt/dialog_template.h"
#include "platform/ui/qt/dialog_units.h"

// The dynamic property that marks the default push button of a dialog or page.
inline constexpr const char* kDefaultButtonProperty = "vlkDefaultButton";

void CreateControls(QWidget* host, const DialogTemplate& dialog, const DialogBaseUnits& units);

// The control with this id, or null.
QWidget* GetDlgItem(const QWidget* host, int id);

template <typename T>
T* DlgItem(const QWidget* host, int id) {
    return qobject_cast<T*>(GetDlgItem(host, id));
}
