#include "pages/transponders/list_table.h"

#include <QHeaderView>
#include <QTableWidget>

QTableWidget* MakeListTable(QWidget* host, const QRect& dlu, const DialogBaseUnits& units,
                            const QStringList& headers, const QString& accessibleName) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), host);
    table->setGeometry(DluToPixels(dlu, units));
    table->setHorizontalHeaderLabels(headers);
    table->setAccessibleName(accessibleName);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setTabKeyNavigation(false);
    table->verticalHeader()->hide();
    // One line of text a row, so the small tables show as many rows as they can.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}
