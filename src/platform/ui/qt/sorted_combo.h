#pragma once
// Sorted combo boxes as the system's list controls behave: items kept in case-insensitive text
// order ("10" before "2"), and the prefix search and select of the combo box messages.
#include <QComboBox>
#include <QString>

namespace SortedCombo {

inline constexpr int kNotFound = -1;  // CB_ERR

// CB_ADDSTRING on a sorted box: inserts in order, returns the new item's index.
int AddString(QComboBox* combo, const QString& text);

// CB_FINDSTRING: the first item that begins with `prefix`, without regard to case, searching
// from the item after `startAfter` to the end and then from the top back to `startAfter`
// (-1 searches the whole list from the top). kNotFound when none matches.
int FindStringPrefix(const QComboBox* combo, int startAfter, const QString& prefix);

// CB_SELECTSTRING: selects what FindStringPrefix finds; the selection is unchanged otherwise.
int SelectString(QComboBox* combo, int startAfter, const QString& prefix);

}  // namespace SortedCombo
