#include "pages/settings/mode_dlg.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <set>
#include <string_view>

#include "core/ini_file.h"
#include "support/folder_roots.h"
#include "support/message_box_recorder.h"
#include "support/screenshot.h"
#include "support/temp_folder.h"

namespace {

struct BoxRow {
    int id;
    const char* caption;
};

// Index, id and caption of every mode-code box; the mode code is the index + 1.
const std::vector<BoxRow> kBoxes = {
    {1010, "QPSK_1/4"},   {1068, "QPSK_1/3"},   {1069, "QPSK_2/5"},    {1070, "QPSK_1/2"},
    {1071, "QPSK_3/5"},   {1072, "QPSK_2/3"},   {1073, "QPSK_3/4"},    {1074, "QPSK_4/5"},
    {1076, "QPSK_5/6"},   {1077, "QPSK_8/9"},   {1078, "QPSK_9/10"},   {1079, "8PSK_3/5"},
    {1080, "8PSK_2/3"},   {1081, "8PSK_3/4"},   {1082, "8PSK_5/6"},    {1083, "8PSK_8/9"},
    {1084, "8PSK_9/10"},  {1085, "16APSK_2/3"}, {1086, "16APSK_3/4"},  {1087, "16APSK_4/5"},
    {1088, "16APSK_5/6"}, {1089, "16APSK_8/9"}, {1090, "16APSK_9/10"}, {1091, "32APSK_3/4"},
    {1092, "32APSK_4/5"}, {1093, "32APSK_5/6"}, {1094, "32APSK_8/9"},  {1095, "32APSK_9/10"},
};
// The id of the box of a caption, from the table above.
int BoxOf(std::string_view caption) {
    for (const BoxRow& row : kBoxes) {
        if (caption == row.caption) return row.id;
    }
    ADD_FAILURE() << "no box " << caption;
    return 0;
}

using Entry = ModCodeFilterRecord::Entry;

class ModeDialogTest : public ::testing::Test {
protected:
    void SetUp() override { test_roots::SetProgramFolder(m_folder.Path()); }
    void TearDown() override {
        test_roots::SetProgramFolder("");
        test_roots::SetConfigFolder("");
    }

    std::string Path() const { return m_folder.File("VLK-IPdata.ini"); }
    void WriteSettings(const std::string& lines) { WriteWholeFile(Path(), "[Config]\r\n" + lines); }

    CModeDlg& Open() {
        m_pDialog = std::make_unique<CModeDlg>();
        m_pDialog->Create();
        return *m_pDialog;
    }
    QCheckBox* Box(int id) const {
        auto* box = m_pDialog->Item<QCheckBox>(id);
        EXPECT_NE(box, nullptr) << id;
        return box;
    }
    // A click on the check mark itself, as a user makes it.
    void ClickBox(int id) {
        QTest::mouseClick(Box(id), Qt::LeftButton, {}, QPoint(6, Box(id)->height() / 2));
    }
    void Ok() { QTest::mouseClick(m_pDialog->Item<QPushButton>(IDOK), Qt::LeftButton); }
    std::vector<int> CheckedIndices() const {
        std::vector<int> checked;
        for (std::size_t i = 0; i < kBoxes.size(); ++i) {
            if (Box(kBoxes[i].id)->isChecked()) checked.push_back(static_cast<int>(i));
        }
        return checked;
    }
    std::vector<Entry> Entries() const {
        const auto& record = m_pDialog->m_ModCodeFilter;
        const std::size_t n = std::min<std::size_t>(record.count, ModCodeFilterRecord::kMaxEntries);
        return {record.entries.begin(), record.entries.begin() + static_cast<std::ptrdiff_t>(n)};
    }
    // The value as the system reads it back; "<missing>" when the key is not in the file.
    std::string Value(const std::string& key) const {
        if (ReadWholeFile(Path()).find("\n" + key + "=") == std::string::npos) return "<missing>";
        return ReadIniString(Path(), "Config", key);
    }

    CTempFolder m_folder;
    std::unique_ptr<CModeDlg> m_pDialog;
};

TEST_F(ModeDialogTest, TheBoxesCarryTheirIdsCaptionsAndPlaces) {
    CModeDlg& dialog = Open();
    EXPECT_EQ(dialog.windowTitle(), "Select Mode Code");
    EXPECT_EQ(dialog.size(), DluToPixels(QSize(295, 187), dialog.BaseUnits()));
    for (std::size_t i = 0; i < kBoxes.size(); ++i) {
        EXPECT_EQ(Box(kBoxes[i].id)->text(), kBoxes[i].caption) << i;
        EXPECT_EQ(CModeDlg::kBoxIds[i], kBoxes[i].id) << i;
    }
    EXPECT_EQ(Box(CModeDlg::kIdAll)->text(), "ALL");
    EXPECT_EQ(dialog.Item<QPushButton>(IDOK)->text(), "OK");
    EXPECT_EQ(dialog.Item<QPushButton>(IDCANCEL)->text(), "Cancel");
    // One column per modulation: QPSK, 8PSK, 16APSK, 32APSK.
    EXPECT_EQ(Box(BoxOf("QPSK_1/4"))->geometry(),
              DluToPixels(QRect(12, 10, 64, 10), dialog.BaseUnits()));
    EXPECT_EQ(Box(BoxOf("8PSK_3/5"))->x(), Box(BoxOf("8PSK_9/10"))->x());
    EXPECT_LT(Box(BoxOf("QPSK_9/10"))->x(), Box(BoxOf("8PSK_3/5"))->x());
    EXPECT_LT(Box(BoxOf("8PSK_9/10"))->x(), Box(BoxOf("16APSK_2/3"))->x());
    EXPECT_LT(Box(BoxOf("16APSK_9/10"))->x(), Box(BoxOf("32APSK_3/4"))->x());
    std::set<QString> names;
    for (QWidget* w : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(names.insert(w->accessibleName()).second) << w->accessibleName().toStdString();
    }
}

TEST_F(ModeDialogTest, TheScreenshotShowsEveryBoxAndWhichAreChecked) {
    WriteSettings("ModCodeAll=0\r\nModCodeCheck_3=1\r\n");
    CModeDlg& dialog = Open();
    const CScreenshot shot(dialog);
    EXPECT_EQ(shot.Image().size(), shot.ExpectedSize());
    EXPECT_GT(shot.Colours(), CScreenshot::kPlainColours)
        << "captions and marks, not a plain dialog";
    EXPECT_EQ(shot.BlankControls(), std::vector<std::string>{});
    EXPECT_TRUE(shot.Keep("select_mode_code.png"));
    // A check shows in the box's own place and nowhere else.
    ClickBox(BoxOf("QPSK_1/4"));
    const CScreenshot checked(dialog);
    const QRect box = Box(BoxOf("QPSK_1/4"))->geometry();
    EXPECT_GT(checked.DifferingPixels(shot, box), 0);
    EXPECT_EQ(checked.DifferingPixels(shot, Box(BoxOf("QPSK_1/2"))->geometry()), 0)
        << "checked before and after";
    EXPECT_EQ(checked.DifferingPixels(shot, Box(BoxOf("QPSK_1/3"))->geometry()), 0)
        << "unchecked before and after";
}

TEST_F(ModeDialogTest, WithoutAFileNothingIsChecked) {
    Open();
    EXPECT_TRUE(CheckedIndices().empty());
    EXPECT_FALSE(Box(CModeDlg::kIdAll)->isChecked());
    EXPECT_EQ(m_pDialog->m_nModCodeAll, 0);
}

TEST_F(ModeDialogTest, AllInTheFileChecksEveryBoxWhateverTheOtherKeysSay) {
    WriteSettings("ModCodeAll=1\r\nModCodeCheck_0=0\r\nModCodeCheck_3=1\r\nModCodeCheck_27=0\r\n");
    CModeDlg& dialog = Open();
    EXPECT_TRUE(Box(CModeDlg::kIdAll)->isChecked());
    EXPECT_EQ(CheckedIndices().size(), 28u);
    EXPECT_EQ(dialog.m_nModCodeAll, 1);
    EXPECT_EQ(dialog.m_nModCodeCheck[3], 0) << "the per-box keys are not read";
}

TEST_F(ModeDialogTest, AStoredNonZeroValueChecksTheBoxAndOkWritesItAsOne) {
    WriteSettings("ModCodeAll=0\r\nModCodeCheck_5=7\r\nModCodeCheck_6=x\r\nModCodeCheck_7= 2\r\n");
    CModeDlg& dialog = Open();
    EXPECT_EQ(CheckedIndices(), (std::vector<int>{5, 7}));
    EXPECT_EQ(dialog.m_nModCodeCheck[5], 7);
    EXPECT_FALSE(Box(CModeDlg::kIdAll)->isChecked());
    Ok();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Value("ModCodeCheck_5"), "1");
    EXPECT_EQ(Value("ModCodeCheck_6"), "0");
    EXPECT_EQ(Value("ModCodeCheck_7"), "1");
    EXPECT_EQ(dialog.m_nModCodeCheck[5], 1);
}

TEST_F(ModeDialogTest, OkWithAllCheckedBuildsTheAllRecordAndKeepsThePerBoxKeys) {
    WriteSettings("ModCodeAll=1\r\nModCodeCheck_0=1\r\nModCodeCheck_9=0\r\n");
    CModeDlg& dialog = Open();
    ClickBox(BoxOf("QPSK_1/4"));
    ClickBox(BoxOf("8PSK_8/9"));
    EXPECT_TRUE(Box(CModeDlg::kIdAll)->isChecked()) << "unchecking a box leaves ALL alone";
    Ok();
    EXPECT_EQ(dialog.m_ModCodeFilter.count, 112u);
    const std::vector<Entry> head(dialog.m_ModCodeFilter.entries.begin(),
                                  dialog.m_ModCodeFilter.entries.begin() + 8);
    EXPECT_EQ(head, (std::vector<Entry>{{12, 0, 0},
                                        {12, 1, 0},
                                        {12, 0, 1},
                                        {12, 1, 1},
                                        {18, 0, 0},
                                        {18, 1, 0},
                                        {18, 0, 1},
                                        {18, 1, 1}}));
    for (std::size_t i = 8; i < ModCodeFilterRecord::kMaxEntries; ++i) {
        EXPECT_EQ(dialog.m_ModCodeFilter.entries[i], Entry{}) << i;
    }
    EXPECT_EQ(dialog.m_nModCodeAll, 1);
    EXPECT_EQ(Value("ModCodeAll"), "1");
    EXPECT_EQ(Value("ModCodeCheck_0"), "1");
    EXPECT_EQ(Value("ModCodeCheck_9"), "0");
    EXPECT_EQ(Value("ModCodeCheck_1"), "<missing>");
}

TEST_F(ModeDialogTest, UncheckingAllUnchecksEveryBoxAndOkSendsAnEmptyRecord) {
    WriteSettings("ModCodeAll=1\r\n");
    CModeDlg& dialog = Open();
    ClickBox(CModeDlg::kIdAll);
    EXPECT_TRUE(CheckedIndices().empty());
    Ok();
    EXPECT_EQ(dialog.m_ModCodeFilter.count, 0u);
    EXPECT_EQ(Value("ModCodeAll"), "0");
    for (int i = 0; i < 28; ++i) EXPECT_EQ(Value("ModCodeCheck_" + std::to_string(i)), "0") << i;
    // Checking ALL again checks them all at once.
    CModeDlg& again = Open();
    ClickBox(CModeDlg::kIdAll);
    EXPECT_EQ(CheckedIndices().size(), 28u);
    (void)again;
}

// The ways a user changes "ALL"; each must cascade to the 28 boxes exactly as the click does.
struct AllChange {
    const char* name;
    void (*change)(QCheckBox* all);
};

void AccessibleAction(QCheckBox* all, const QString& action) {
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(all);
    ASSERT_NE(box, nullptr);
    ASSERT_NE(box->actionInterface(), nullptr);
    box->actionInterface()->doAction(action);
}

const std::vector<AllChange> kAllChanges = {
    {"a click",
     [](QCheckBox* all) {
         QTest::mouseClick(all, Qt::LeftButton, {}, QPoint(6, all->height() / 2));
     }},
    {"the space key", [](QCheckBox* all) { QTest::keyClick(all, Qt::Key_Space); }},
    // A screen reader checks a box through the toggle action, which emits no click.
    {"the accessible toggle",
     [](QCheckBox* all) {
         // The one action a check box offers to assistive technology.
         EXPECT_TRUE(
             QAccessible::queryAccessibleInterface(all)->actionInterface()->actionNames().contains(
                 QAccessibleActionInterface::toggleAction()));
         AccessibleAction(all, QAccessibleActionInterface::toggleAction());
     }},
    // The press action clicks with a delay, as a button shows its press.
    {"the accessible press",
     [](QCheckBox* all) {
         const bool before = all->isChecked();
         AccessibleAction(all, QAccessibleActionInterface::pressAction());
         EXPECT_TRUE(QTest::qWaitFor([&] { return all->isChecked() != before; }, 2000));
     }},
};

TEST_F(ModeDialogTest, EveryWayOfChangingAllGivesEveryBoxItsState) {
    for (const AllChange& way : kAllChanges) {
        SCOPED_TRACE(way.name);
        // Some boxes checked, some not: the cascade sets each, it does not flip them.
        WriteSettings("ModCodeAll=0\r\nModCodeCheck_3=1\r\nModCodeCheck_20=1\r\n");
        CModeDlg& dialog = Open();
        ASSERT_EQ(CheckedIndices(), (std::vector<int>{3, 20}));
        way.change(Box(CModeDlg::kIdAll));
        EXPECT_TRUE(Box(CModeDlg::kIdAll)->isChecked());
        EXPECT_EQ(CheckedIndices().size(), 28u);
        ClickBox(BoxOf("QPSK_1/2"));  // unchecking one box by hand leaves "ALL" alone
        EXPECT_TRUE(Box(CModeDlg::kIdAll)->isChecked());
        way.change(Box(CModeDlg::kIdAll));
        EXPECT_FALSE(Box(CModeDlg::kIdAll)->isChecked());
        EXPECT_TRUE(CheckedIndices().empty());
        Ok();
        EXPECT_EQ(dialog.m_ModCodeFilter.count, 0u);
        EXPECT_EQ(Value("ModCodeAll"), "0");
    }
}

struct RecordCase {
    const char* name;
    std::vector<int> checked;  // box ids
    std::vector<Entry> entries;
};

TEST_F(ModeDialogTest, CheckedBoxesGiveFourEntriesEachInModeCodeOrder) {
    std::vector<Entry> all;
    for (std::uint32_t m = 1; m <= 28; ++m) {
        for (const auto& [s1, s2] : {std::pair{1u, 0u}, {1u, 1u}, {0u, 0u}, {0u, 1u}})
            all.push_back({m, s1, s2});
    }
    std::vector<int> allIds;
    for (const auto& row : kBoxes) allIds.push_back(row.id);
    const std::vector<RecordCase> cases = {
        {"QPSK_1/2 and 8PSK_2/3",
         {BoxOf("8PSK_2/3"), BoxOf("QPSK_1/2")},
         {{4, 1, 0},
          {4, 1, 1},
          {4, 0, 0},
          {4, 0, 1},
          {13, 1, 0},
          {13, 1, 1},
          {13, 0, 0},
          {13, 0, 1}}},
        {"32APSK_9/10 alone",
         {BoxOf("32APSK_9/10")},
         {{28, 1, 0}, {28, 1, 1}, {28, 0, 0}, {28, 0, 1}}},
        {"every box without ALL", allIds, all},
        {"none", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(Path());
        CModeDlg& dialog = Open();
        for (int id : c.checked) ClickBox(id);
        Ok();
        EXPECT_EQ(dialog.m_ModCodeFilter.count, c.entries.size());
        EXPECT_EQ(Entries(), c.entries);
        EXPECT_EQ(Value("ModCodeAll"), "0");
    }
}

TEST_F(ModeDialogTest, CancelLeavesTheFileAsItWas) {
    const std::string before = "[Config]\r\nModCodeAll=0\r\nModCodeCheck_2=1\r\n";
    WriteWholeFile(Path(), before);
    for (bool byKey : {false, true}) {
        CModeDlg& dialog = Open();
        ClickBox(CModeDlg::kIdAll);
        ClickBox(BoxOf("QPSK_2/5"));
        if (byKey) {
            QTest::keyClick(&dialog, Qt::Key_Escape);
        } else {
            QTest::mouseClick(dialog.Item<QPushButton>(IDCANCEL), Qt::LeftButton);
        }
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(dialog.m_ModCodeFilter.count, 0u);
        EXPECT_EQ(ReadWholeFile(Path()), before);
    }
}

TEST_F(ModeDialogTest, WithoutAFileOkCreatesItWithEveryKey) {
    Open();
    ClickBox(BoxOf("QPSK_1/4"));
    Ok();
    ASSERT_TRUE(std::filesystem::exists(Path()));
    EXPECT_EQ(Value("ModCodeAll"), "0");
    EXPECT_EQ(Value("ModCodeCheck_0"), "1");
    EXPECT_EQ(Value("ModCodeCheck_27"), "0");
}

// A program folder that cannot be written (below a regular file, for root too): the choice is
// read from and kept in the configuration folder.
TEST_F(ModeDialogTest, WhereTheProgramFolderCannotBeWrittenTheChoiceLivesInTheConfigFolder) {
    WriteWholeFile(m_folder.File("usr"), "");
    test_roots::SetProgramFolder(m_folder.File("usr/bin"));
    test_roots::SetConfigFolder(m_folder.File("config"));
    std::filesystem::create_directory(m_folder.File("config"));
    const std::string settings = m_folder.File("config/VLK-IPdata.ini");
    WriteWholeFile(settings, "[Config]\r\nModCodeAll=0\r\nModCodeCheck_3=1\r\n");
    const CMessageBoxRecorder boxes;
    Open();
    EXPECT_EQ(CheckedIndices(), std::vector<int>{3});
    ClickBox(BoxOf("QPSK_1/4"));
    Ok();
    EXPECT_EQ(ReadIniString(settings, "Config", "ModCodeCheck_0"), "1");
    EXPECT_EQ(ReadIniString(settings, "Config", "ModCodeCheck_3"), "1");
    EXPECT_TRUE(boxes.Texts().empty());
}

}  // namespace
