#include "platform/ui/qt/sorted_combo.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <optional>

namespace SortedCombo {

namespace {

// The collator of the user's locale, made again only when the locale changes.
const QCollator& Collator() {
    thread_local QLocale cachedLocale;
    thread_local std::optional<QCollator> collator;
    const QLocale locale;
    if (!collator || cachedLocale != locale) {
        cachedLocale = locale;
        // The C locale (no LANG: a service, a test) would compare code points and put "Åland"
        // after "Zimbabwe"; English uses the collation's root order, which keeps accented letters
        // beside their base letter as the sorted lists of every real locale do.
        collator.emplace(locale.language() == QLocale::C ? QLocale(QLocale::English) : locale);
        collator->setCaseSensitivity(Qt::CaseInsensitive);
        collator->setNumericMode(false);  // "10" before "2", as text
    }
    return *collator;
}

bool Less(const QString& a, const QString& b) {
    return Compare(a, b) < 0;
}

// The first of the items [0, end) that sorts after `text`: a new item goes behind its equals.
// Binary search, as the items are kept in Compare's order; reading an item's text out of the
// model is the costly part, so the fewer reads the better.
int UpperBound(const QComboBox* combo, const QString& text, int end) {
    int first = 0;
    int count = end;
    while (count > 0) {
        const int half = count / 2;
        const int middle = first + half;
        if (Compare(combo->itemText(middle), text) <= 0) {
            first = middle + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return first;
}

// Runs `insert` so that the insertion does not change what the user sees: Qt selects item 0 when
// rows arrive in an empty box, and an editable box's typed text must survive that.
template <typename Insert>
void KeepingSelection(QComboBox* combo, Insert insert) {
    const int selected = combo->currentIndex();
    const QString editText = combo->isEditable() ? combo->currentText() : QString();
    insert();
    if (selected < 0) {
        combo->setCurrentIndex(-1);
        if (combo->isEditable()) combo->setEditText(editText);
    }
}

}  // namespace

int Compare(const QString& a, const QString& b) {
    return Collator().compare(a, b);
}

int AddString(QComboBox* combo, const QString& text) {
    const int index = UpperBound(combo, text, combo->count());
    KeepingSelection(combo, [&] { combo->insertItem(index, text); });
    return index;
}

void AddStrings(QComboBox* combo, const QStringList& texts) {
    if (texts.isEmpty()) return;
    // Stable, so that equal texts keep their order as one-by-one insertion would.
    QStringList batch = texts;
    std::stable_sort(batch.begin(), batch.end(), Less);
    KeepingSelection(combo, [&] {
        // From the back, so that the items in front of each insertion, where the next search
        // looks, have not moved.
        qsizetype end = batch.size();
        int items = combo->count();
        while (end > 0) {
            const int position = UpperBound(combo, batch[end - 1], items);
            // Smaller texts of the batch belong at the same place while the item before it
            // still compares equal or less.
            const QString before = position > 0 ? combo->itemText(position - 1) : QString();
            qsizetype begin = end - 1;
            while (begin > 0 && (position == 0 || Compare(before, batch[begin - 1]) <= 0)) --begin;
            combo->insertItems(position, batch.mid(begin, end - begin));
            end = begin;
            items = position;
        }
    });
}

// A linear scan, not a binary search: under a collation that is not plain text order, the items
// that begin with a prefix need not lie next to each other.
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
