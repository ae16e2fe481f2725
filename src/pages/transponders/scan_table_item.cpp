#include "pages/transponders/scan_table_item.h"

#include <QHeaderView>
#include <QTableWidget>

CScanTableItem::CScanTableItem(const QString& text, std::optional<double> number)
    : QTableWidgetItem(text), m_fNumber(number) {}

bool CScanTableItem::operator<(const QTableWidgetItem& other) const {
    const auto* scanned = dynamic_cast<const CScanTableItem*>(&other);
    if (scanned == nullptr) return QTableWidgetItem::operator<(other);
    if (IsKnown() != scanned->IsKnown()) {
        // A descending sort asks "other < this": the unknown one must then come out smaller.
        const bool descending =
            tableWidget() != nullptr &&
            tableWidget()->horizontalHeader()->sortIndicatorOrder() == Qt::DescendingOrder;
        return IsKnown() != descending;
    }
    if (m_fNumber && scanned->m_fNumber) return *m_fNumber < *scanned->m_fNumber;
    return text() < other.text();
}
