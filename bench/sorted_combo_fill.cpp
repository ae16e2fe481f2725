// Filling a sorted combo box with 20,000 names (the city box of a big country) against a plain
// QComboBox::addItems of the same names already sorted, measured in one run on a shown box set
// up as the dialog framework sets up its sorted boxes. The last line is the ratio of the two.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/ui/qt/sorted_combo.h"
#include "support/generated_names.h"

namespace {

constexpr std::size_t kNames = 20000;

double g_sortedSeconds = 0;
double g_plainSeconds = 0;
double g_eachSeconds = 0;

const QStringList& Names() {
    static const QStringList names = [] {
        QStringList list;
        for (const std::string& name : generated_names::Generate(kNames)) list << QString::fromStdString(name);
        return list;
    }();
    return names;
}

const QStringList& SortedNames() {
    static const QStringList names = [] {
        QStringList list = Names();
        std::stable_sort(list.begin(), list.end(),
                         [](const QString& a, const QString& b) { return SortedCombo::Compare(a, b) < 0; });
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
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (combo->count() != static_cast<int>(kNames) || combo->itemText(0) != SortedNames().front() ||
        combo->itemText(combo->count() - 1) != SortedNames().back()) {
        std::fprintf(stderr, "the box was not filled in order\n");
        std::exit(1);
    }
    return seconds;
}

void BM_PlainAddItemsOfSortedNames(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = TimeFill([](QComboBox* combo) { combo->addItems(SortedNames()); });
        g_plainSeconds = g_plainSeconds == 0 ? seconds : std::min(g_plainSeconds, seconds);
        state.SetIterationTime(seconds);
    }
}

// The batch path the positioner page fills its boxes with; the ratio is taken from this one.
void BM_SortedAddStrings(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = TimeFill([](QComboBox* combo) { SortedCombo::AddStrings(combo, Names()); });
        g_sortedSeconds = g_sortedSeconds == 0 ? seconds : std::min(g_sortedSeconds, seconds);
        state.SetIterationTime(seconds);
    }
}

// One AddString per name, as callers that get their names one at a time do.
void BM_SortedAddStringEach(benchmark::State& state) {
    for (auto _ : state) {
        const double seconds = TimeFill([](QComboBox* combo) {
            for (const QString& name : Names()) SortedCombo::AddString(combo, name);
        });
        g_eachSeconds = g_eachSeconds == 0 ? seconds : std::min(g_eachSeconds, seconds);
        state.SetIterationTime(seconds);
    }
}

BENCHMARK(BM_PlainAddItemsOfSortedNames)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortedAddStrings)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortedAddStringEach)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("names: %zu; best: AddStrings %.1f ms, AddString each %.1f ms, plain addItems of sorted names %.1f ms\n",
                kNames, g_sortedSeconds * 1e3, g_eachSeconds * 1e3, g_plainSeconds * 1e3);
    std::printf("sorted/plain ratio: %.3f\n", g_sortedSeconds / g_plainSeconds);
    return 0;
}
