#pragma once
// A cell of the scan's table that sorts as its value: numbers as numbers, texts as texts, and
// what is not known after everything known in either order.
#include <QTableWidgetItem>
#include <optional>

class CScanTableItem : public QTableWidgetItem {
public:
    // `number`: the value to sort by in a numeric column; none for a text column or an unknown
    // value. An empty text is an unknown value.
    CScanTableItem(const QString& text, std::optional<double> number);

    bool operator<(const QTableWidgetItem& other) const override;

private:
    bool IsKnown() const { return !text().isEmpty(); }

    std::optional<double> m_fNumber;
};
