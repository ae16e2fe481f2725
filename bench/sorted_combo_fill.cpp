// Filling a sorted combo box with 20,000 names (the city box of a big country) against the least
// any sorted fill must do: sort the same names by the same comparison and add them with one
// QComboBox::addItems. Both on a shown box set up as the dialog framework sets up its sorted
// boxes, timed in interleaved pairs; the last line is the median ratio. One AddString per name is
// timed once as well, for scale.
#include <QApplication>
#include <QComboBox>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "paired_ratio.h"
#include "platform/ui/qt/sorted_combo.h"
#include "support/generated_names.h"

namespace {

constexpr std::size_t kNames = 20000;

constexpr int kPairs = 41;

const QStringList& Names() {
    static const QStringList names = [] {
        QStringList list;
        for (const std::string& name : generated_names::Generate(kNames))
            list << QString::fromStdString(name);
        return list;
    }();
    return names;
}

const QStringList& SortedNames() {
    static const QStringList names = [] {
        QStringList list = Names();
        std::stable_sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
            return SortedCombo::Compare(a, b) < 0;
        });
        return list;
    }();
    return names;
}

// An editable drop-down as the positioner's city box, shown, after its list was emptied.
std::unique_ptr<QComboBox> NewBox() {
    auto combo = std::make_unique<QComboBox>();
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMaxVisibleItems(12);
    combo->show();
    QApplication::processEvents();
    combo->clear();
    return combo;
}

// Runs fill on a fresh box and returns its seconds, the events it queued included.
template <typename Fill>
double TimeFill(Fill fill) {
    const std::unique_ptr<QComboBox> combo = NewBox();
    const auto start = std::chrono::steady_clock::now();
    fill(combo.get());
    combo->setCurrentIndex(0);
    QApplication::processEvents();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (combo->count() != static_cast<int>(kNames) || combo->itemText(0) != SortedNames().front() ||
        combo->itemText(combo->count() - 1) != SortedNames().back()) {
        std::fprintf(stderr, "the box was not filled in order\n");
        std::exit(1);
    }
    return seconds;
}

// Names per second through the batch path the positioner page fills its boxes with.
double SortedFill() {
    return static_cast<double>(kNames) /
           TimeFill([](QComboBox* combo) { SortedCombo::AddStrings(combo, Names()); });
}

// Names per second when the names are sorted by the same comparison and added in one go.
double SortThenAddItems() {
    return static_cast<double>(kNames) / TimeFill([](QComboBox* combo) {
               QStringList sorted = Names();
               std::stable_sort(sorted.begin(), sorted.end(),
                                [](const QString& a, const QString& b) {
                                    return SortedCombo::Compare(a, b) < 0;
                                });
               combo->addItems(sorted);
           });
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SortedFill();  // warm-up: the collator, the fonts, the first box
    SortThenAddItems();
    const CPairedRatio ratio = CPairedRatio::Measure(kPairs, SortedFill, SortThenAddItems);
    const double eachSeconds = TimeFill([](QComboBox* combo) {
        for (const QString& name : Names()) SortedCombo::AddString(combo, name);
    });
    std::printf(
        "names: %zu; median: AddStrings %.1f ms, sort then addItems %.1f ms; AddString each %.1f "
        "ms\n",
        kNames, 1e3 * static_cast<double>(kNames) / ratio.MeasuredRate(),
        1e3 * static_cast<double>(kNames) / ratio.BaselineRate(), eachSeconds * 1e3);
    std::printf("sorted/plain ratio: %s\n", ratio.Text().c_str());
    return 0;
}
