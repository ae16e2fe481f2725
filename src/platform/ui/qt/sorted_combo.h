#pragma once
// Sorted combo boxes as the system's list controls behave: items kept in the user's locale's
// order without regard to case, accented letters beside their base letter, digits as text ("10"
// before "2"); and the prefix search and select of the combo box messages.
#include <QComboBox>
#include <QString>
#include <QStringList>

namespace SortedCombo {

inline constexpr int kNotFound = -1;  // CB_ERR

// The one order of the items, <0, 0 or >0 as strcmp; every search and insertion goes by it. It
// follows the default QLocale (the user's, unless a program sets another).
int Compare(const QString& a, const QString& b);

// CB_ADDSTRING on a sorted box: inserts after the items that compare equal or less, returns the
// new item's index. What the box shows selected, and its edit text, stay as they were.
int AddString(QComboBox* combo, const QString& text);

// The same as AddString for each of `texts` in turn, in one pass: the batch is sorted and merged
// into the items, each run that falls between the same two items inserted at once (a single
// model change when the box was empty).
void AddStrings(QComboBox* combo, const QStringList& texts);

// CB_FINDSTRING: the first item that begins with `prefix`, without regard to case, searching
// from the item after `startAfter` to the end and then from the top back to `startAfter`
// (-1 searches the whole list from the top). kNotFound when none matches.
int FindStringPrefix(const QComboBox* combo, int startAfter, const QString& prefix);

// CB_SELECTSTRING: selects what FindStringPrefix finds; the selection is unchanged otherwise.
int SelectString(QComboBox* combo, int startAfter, const QString& prefix);

}  // namespace SortedCombo
