#include "platform/ui/qt/sorted_combo.h"

namespace SortedCombo {

int AddString(QComboBox* combo, const QString& text) {
    int index = 0;
    while (index < combo->count() &&
           QString::compare(combo->itemText(index), text, Qt::CaseInsensitive) <= 0) {
        ++index;
    }
    const int selected = combo->currentIndex();
    const QString editText = combo->isEditable() ? combo->currentText() : QString();
    combo->insertItem(index, text);
    // An insertion never changes what the user sees selected.
    if (selected < 0) {
        combo->setCurrentIndex(-1);
        if (combo->isEditable()) combo->setEditText(editText);
    }
    return index;
}

int FindStringPrefix(const QComboBox* combo, int startAfter, const QString& prefix) {
    const int count = combo->count();
    if (count == 0) return kNotFound;
    const int first = (startAfter < 0 || startAfter >= count) ? 0 : startAfter + 1;
    for (int n = 0; n < count; ++n) {
        const int index = (first + n) % count;
        if (combo->itemText(index).startsWith(prefix, Qt::CaseInsensitive)) return index;
    }
    return kNotFound;
}

int SelectString(QComboBox* combo, int startAfter, const QString& prefix) {
    const int index = FindStringPrefix(combo, startAfter, prefix);
    if (index != kNotFound) combo->setCurrentIndex(index);
    return index;
}

}  // namespace SortedCombo
