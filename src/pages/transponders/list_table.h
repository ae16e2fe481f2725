#pragma once
// The read-only tables of the Transponders page and its scan: whole rows chosen one at a time,
// one line of text a row, columns as wide as their contents, Tab leaving the table.
#include <QRect>
#include <QStringList>

#include "platform/ui/qt/dialog_units.h"

class QTableWidget;
class QWidget;

// A table on `host` at `dlu` (dialog units), named for assistive technology.
QTableWidget* MakeListTable(QWidget* host, const QRect& dlu, const DialogBaseUnits& units,
                            const QStringList& headers, const QString& accessibleName);
