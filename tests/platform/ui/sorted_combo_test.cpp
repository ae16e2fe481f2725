#include "platform/ui/qt/sorted_combo.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QStringList>
#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "support/generated_names.h"

namespace {

// The insertion the boxes did before the binary search, kept as the reference: scan from the
// top past every item that compares equal or less, insert there.
int ReferenceAddString(QStringList& items, const QString& text) {
    int index = 0;
    while (index < items.size() && SortedCombo::Compare(items[index], text) <= 0) ++index;
    items.insert(index, text);
    return index;
}

QStringList Items(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
    return items;
}

// Enough names for hundreds of each case the order can get wrong (checked below); the reference
// fill is quadratic, so not more.
constexpr int kNames = 5000;

const QStringList& GeneratedNames() {
    static const QStringList names = [] {
        QStringList list;
        for (const std::string& name : generated_names::Generate(kNames))
            list << QString::fromStdString(name);
        return list;
    }();
    return names;
}

// What the reference gives for the generated names: each name's index when it was added, and
// the final list.
struct ReferenceFill {
    std::vector<int> indexes;
    QStringList items;
};

const ReferenceFill& Reference() {
    static const ReferenceFill fill = [] {
        ReferenceFill result;
        for (const QString& name : GeneratedNames())
            result.indexes.push_back(ReferenceAddString(result.items, name));
        return result;
    }();
    return fill;
}

// --- Order against the reference --------------------------------------------------------------

struct Step {
    bool batch;  // AddStrings of `count` names; otherwise AddString of each
    int count;
};

struct FillCase {
    const char* name;
    std::vector<Step> steps;  // consume the generated names in order
};

void PrintTo(const FillCase& c, std::ostream* os) {
    *os << c.name;
}

class SortedComboFillTest : public ::testing::TestWithParam<FillCase> {};

TEST_P(SortedComboFillTest, GivesTheOrderAndIndexesOfOneByOneLinearInsertion) {
    const QStringList& names = GeneratedNames();
    const ReferenceFill& reference = Reference();
    QComboBox combo;
    combo.setEditable(true);
    qsizetype next = 0;
    for (const Step& step : GetParam().steps) {
        if (step.batch) {
            SortedCombo::AddStrings(&combo, names.mid(next, step.count));
            next += step.count;
            continue;
        }
        for (int n = 0; n < step.count; ++n, ++next) {
            ASSERT_EQ(SortedCombo::AddString(&combo, names[next]),
                      reference.indexes[static_cast<std::size_t>(next)])
                << "name " << next << " '" << names[next].toStdString() << "'";
        }
    }
    ASSERT_EQ(next, names.size()) << "the case adds every name";
    EXPECT_EQ(Items(combo), reference.items);
}

INSTANTIATE_TEST_SUITE_P(
    GeneratedNames, SortedComboFillTest,
    ::testing::Values(
        FillCase{"OneByOne", {{false, kNames}}},
        FillCase{"OneBatchIntoAnEmptyBox", {{true, kNames}}},
        FillCase{"BatchesIntoAFilledBox",
                 {{false, 750}, {true, 2000}, {true, 1}, {true, 0}, {false, 250}, {true, 1999}}}),
    [](const ::testing::TestParamInfo<FillCase>& tested) {
        return std::string(tested.param.name);
    });

TEST(SortedComboTest, TheGeneratedNamesHoldWhatTheOrderCanGetWrong) {
    // Without equal texts, case variants and prefixes the comparison above proves little.
    const QStringList& items = Reference().items;
    int equalNeighbours = 0;
    int caseVariants = 0;
    int prefixes = 0;
    for (qsizetype i = 1; i < items.size(); ++i) {
        if (items[i - 1] == items[i]) ++equalNeighbours;
        if (items[i - 1] != items[i] && SortedCombo::Compare(items[i - 1], items[i]) == 0)
            ++caseVariants;
        if (items[i - 1].size() < items[i].size() &&
            items[i].startsWith(items[i - 1], Qt::CaseInsensitive))
            ++prefixes;
    }
    EXPECT_GT(equalNeighbours, 100) << equalNeighbours;
    EXPECT_GT(caseVariants, 100) << caseVariants;
    EXPECT_GT(prefixes, 100) << prefixes;
}

// The speed of a fill rests on few model changes: one per gap between items that the batch
// falls into, one in all for an empty box.
TEST(SortedComboTest, ABatchGoesInWithOneModelChangePerGapItFills) {
    QComboBox empty;
    QSignalSpy emptyInserted(empty.model(), &QAbstractItemModel::rowsInserted);
    SortedCombo::AddStrings(&empty, GeneratedNames());
    EXPECT_EQ(emptyInserted.count(), 1);
    EXPECT_EQ(empty.count(), GeneratedNames().size());

    QComboBox filled;
    filled.addItems({"B", "D"});
    QSignalSpy filledInserted(filled.model(), &QAbstractItemModel::rowsInserted);
    SortedCombo::AddStrings(&filled, {"e", "C", "a", "b", "A", "c"});
    EXPECT_EQ(Items(filled), (QStringList{"a", "A", "B", "b", "C", "c", "D", "e"}));
    EXPECT_EQ(filledInserted.count(), 3) << "in front of B, between B and D, behind D";
}

TEST(SortedComboTest, DigitsComeBeforeLettersAsTextAndEqualTextsStayInTheOrderAdded) {
    QComboBox batch;
    SortedCombo::AddStrings(&batch, {"b", "A", "10", "2", "a", "B", "Z9", "z10"});
    const QStringList expected{"10", "2", "A", "a", "b", "B", "z10", "Z9"};
    EXPECT_EQ(Items(batch), expected);
    QComboBox single;
    for (const char* text : {"b", "A", "10", "2", "a", "B", "Z9", "z10"})
        SortedCombo::AddString(&single, text);
    EXPECT_EQ(Items(single), expected);
}

// The order users read in their language: accents beside their base letter, case ignored, and
// where a language sorts a letter on its own (Swedish Å after Z) the language decides.
struct CollationCase {
    const char* name;
    QLocale locale;
    QStringList expected;
};

void PrintTo(const CollationCase& c, std::ostream* os) {
    *os << c.name;
}

class SortedComboCollationTest : public ::testing::TestWithParam<CollationCase> {
protected:
    void TearDown() override { QLocale::setDefault(m_previous); }
    const QLocale m_previous;
};

TEST_P(SortedComboCollationTest, SortsAsTheLocaleReads) {
    QLocale::setDefault(GetParam().locale);
    QStringList shuffled = GetParam().expected;
    std::reverse(shuffled.begin(), shuffled.end());
    std::rotate(shuffled.begin(), shuffled.begin() + 2, shuffled.end());
    QComboBox batch;
    SortedCombo::AddStrings(&batch, shuffled);
    EXPECT_EQ(Items(batch), GetParam().expected);
    QComboBox single;
    for (const QString& text : shuffled) SortedCombo::AddString(&single, text);
    EXPECT_EQ(Items(single), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, SortedComboCollationTest,
    ::testing::Values(
        // No LANG at all (a service, a test run): accents still sit beside their base letter.
        CollationCase{
            "CLocale", QLocale::c(), {"Aarhus2", "Åland Islands", "Albania", "Århus", "Zimbabwe"}},
        CollationCase{"English",
                      QLocale(QLocale::English, QLocale::UnitedKingdom),
                      {"10", "2", "aachen", "Åland Islands", "Albania", "Århus", "Egypt", "Éire",
                       "ZIMBABWE"}},
        CollationCase{"German",
                      QLocale(QLocale::German, QLocale::Germany),
                      {"Aachen", "Ärzte", "Oslo", "Österreich", "Zürich", "Zwickau"}},
        CollationCase{"Swedish",
                      QLocale(QLocale::Swedish, QLocale::Sweden),
                      {"Albania", "Zimbabwe", "Åland Islands", "Århus", "Örebro"}}),
    [](const ::testing::TestParamInfo<CollationCase>& caseInfo) {
        return std::string(caseInfo.param.name);
    });

// --- What the user sees ------------------------------------------------------------------------

enum class Add { SingleInFront, SingleBehind, BatchAround };

struct SelectionCase {
    const char* name;
    bool editable;
    QStringList items;  // already in the box, in order
    int selected;       // -1: nothing selected
    const char* typed;  // typed into an editable box after the selection; nullptr: nothing
    Add add;
};

void PrintTo(const SelectionCase& c, std::ostream* os) {
    *os << c.name;
}

class SortedComboSelectionTest : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(SortedComboSelectionTest, AnInsertionKeepsTheSelectedItemAndTheEditText) {
    const SelectionCase& c = GetParam();
    QComboBox combo;
    combo.setEditable(c.editable);
    combo.setInsertPolicy(QComboBox::NoInsert);
    combo.addItems(c.items);
    combo.setCurrentIndex(c.selected);
    if (c.typed != nullptr) combo.setEditText(QString::fromUtf8(c.typed));
    const QString shownBefore = combo.currentText();
    const QString selectedBefore = c.selected < 0 ? QString() : combo.itemText(c.selected);

    switch (c.add) {
        case Add::SingleInFront:
            SortedCombo::AddString(&combo, "Aachen");
            break;
        case Add::SingleBehind:
            SortedCombo::AddString(&combo, "Zwickau");
            break;
        case Add::BatchAround:
            SortedCombo::AddStrings(&combo, {"Zwickau", "Aachen", "Dresden", "Hamburg"});
            break;
    }

    if (c.selected < 0) {
        EXPECT_EQ(combo.currentIndex(), -1) << "an insertion selects nothing";
    } else {
        ASSERT_GE(combo.currentIndex(), 0);
        EXPECT_EQ(combo.itemText(combo.currentIndex()), selectedBefore);
    }
    EXPECT_EQ(combo.currentText(), shownBefore);
    if (c.editable) {
        EXPECT_EQ(combo.lineEdit()->text(), shownBefore);
    }
}

const QStringList kCities{"Bonn", "Essen", "Kiel"};

INSTANTIATE_TEST_SUITE_P(
    Boxes, SortedComboSelectionTest,
    ::testing::Values(
        SelectionCase{"EmptyListInFront", false, {}, -1, nullptr, Add::SingleInFront},
        SelectionCase{"EmptyListBatch", false, {}, -1, nullptr, Add::BatchAround},
        SelectionCase{"EmptyEditableWithTypedText", true, {}, -1, "Ber", Add::SingleInFront},
        SelectionCase{"EmptyEditableWithTypedTextBatch", true, {}, -1, "Ber", Add::BatchAround},
        SelectionCase{"ListNothingSelected", false, kCities, -1, nullptr, Add::BatchAround},
        SelectionCase{"ListSelectedInFront", false, kCities, 1, nullptr, Add::SingleInFront},
        SelectionCase{"ListSelectedBehind", false, kCities, 1, nullptr, Add::SingleBehind},
        SelectionCase{"ListSelectedBatch", false, kCities, 1, nullptr, Add::BatchAround},
        SelectionCase{"EditableSelectedInFront", true, kCities, 2, nullptr, Add::SingleInFront},
        SelectionCase{"EditableSelectedBatch", true, kCities, 0, nullptr, Add::BatchAround},
        SelectionCase{"EditableNothingSelectedTyped", true, kCities, -1, "Köln", Add::BatchAround},
        SelectionCase{"EditableSelectedThenTypedInFront", true, kCities, 1, "Esslingen",
                      Add::SingleInFront},
        SelectionCase{"EditableSelectedThenTypedBatch", true, kCities, 1, "Esslingen",
                      Add::BatchAround}),
    [](const ::testing::TestParamInfo<SelectionCase>& tested) {
        return std::string(tested.param.name);
    });

// --- Prefix search -----------------------------------------------------------------------------

struct FindCase {
    int startAfter;
    const char* prefix;
    int expected;
};

TEST(SortedComboTest, FindStringPrefixSearchesFromTheItemAfterTheStartAndWraps) {
    QComboBox combo;
    SortedCombo::AddStrings(&combo, {"Nigeria", "Niger", "niamey", "Zambia"});
    ASSERT_EQ(Items(combo), (QStringList{"niamey", "Niger", "Nigeria", "Zambia"}));
    const std::vector<FindCase> cases{
        {-1, "NIG", 1},
        {1, "Niger", 2},  // the item after the start first
        {2, "niger", 1},  // past the end, on from the top
        {3, "z", 3},      // the start itself comes last
        {0, "", 1},       // an empty prefix matches the next item
        {-1, "Nigeriaa", SortedCombo::kNotFound},
        {-1, "x", SortedCombo::kNotFound},
        {7, "n", 0},  // a start past the end searches from the top
    };
    for (const FindCase& c : cases) {
        EXPECT_EQ(SortedCombo::FindStringPrefix(&combo, c.startAfter, c.prefix), c.expected)
            << "after " << c.startAfter << " '" << c.prefix << "'";
    }
    QComboBox empty;
    EXPECT_EQ(SortedCombo::FindStringPrefix(&empty, -1, ""), SortedCombo::kNotFound);
}

}  // namespace
