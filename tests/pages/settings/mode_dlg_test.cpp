#include "pages/settings/mode_dlg.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <set>
#include <string_view>

#include "core/ini_file.h"
#include "support/folder_roots.h"
#include "support/message_box_recorder.h"
#include "support/screenshot.h"
#include "support/temp_folder.h"

namespace {

// The DVB-S2 mode codes 1 to 28 by name (EN 302 307-1, table 12), as the boxes are captioned:
// a box checked sends the code of its caption.
const std::vector<std::string> kModCodeNames = {
    "QPSK_1/4",   "QPSK_1/3",   "QPSK_2/5",   "QPSK_1/2",    "QPSK_3/5",    "QPSK_2/3",
    "QPSK_3/4",   "QPSK_4/5",   "QPSK_5/6",   "QPSK_8/9",    "QPSK_9/10",   "8PSK_3/5",
    "8PSK_2/3",   "8PSK_3/4",   "8PSK_5/6",   "8PSK_8/9",    "8PSK_9/10",   "16APSK_2/3",
    "16APSK_3/4", "16APSK_4/5", "16APSK_5/6", "16APSK_8/9",  "16APSK_9/10", "32APSK_3/4",
    "32APSK_4/5", "32APSK_5/6", "32APSK_8/9", "32APSK_9/10",
};

// The four entries the driver is given for one checked code, in its order of selector pairs.
std::vector<ModCodeFilterRecord::Entry> EntriesOf(std::uint32_t modCode) {
    return {{modCode, 1, 0}, {modCode, 1, 1}, {modCode, 0, 0}, {modCode, 0, 1}};
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
    // The box captioned `caption`, "ALL" among them.
    QCheckBox* Box(std::string_view caption) const {
        for (auto* box : m_pDialog->findChildren<QCheckBox*>()) {
            if (box->text().toStdString() == caption) return box;
        }
        ADD_FAILURE() << "no box " << caption;
        return nullptr;
    }
    // A click on the check mark itself, as a user makes it.
    void ClickBox(std::string_view caption) {
        QCheckBox* box = Box(caption);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }
    void Ok() { QTest::mouseClick(m_pDialog->Item<QPushButton>(IDOK), Qt::LeftButton); }
    std::vector<int> CheckedIndices() const {
        std::vector<int> checked;
        for (std::size_t i = 0; i < kModCodeNames.size(); ++i) {
            if (Box(kModCodeNames[i])->isChecked()) checked.push_back(static_cast<int>(i));
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

TEST_F(ModeDialogTest, TheBoxesStandInColumnsOfTheirModulation) {
    CModeDlg& dialog = Open();
    EXPECT_EQ(dialog.windowTitle(), "Select Mode Code");
    EXPECT_EQ(dialog.size(), DluToPixels(QSize(295, 187), dialog.BaseUnits()));
    EXPECT_EQ(dialog.Item<QCheckBox>(CModeDlg::kIdAll), Box("ALL"));
    EXPECT_EQ(dialog.Item<QPushButton>(IDOK)->text(), "OK");
    EXPECT_EQ(dialog.Item<QPushButton>(IDCANCEL)->text(), "Cancel");
    // One column per modulation: QPSK, 8PSK, 16APSK, 32APSK.
    EXPECT_EQ(Box("QPSK_1/4")->geometry(), DluToPixels(QRect(12, 10, 64, 10), dialog.BaseUnits()));
    EXPECT_EQ(Box("8PSK_3/5")->x(), Box("8PSK_9/10")->x());
    EXPECT_LT(Box("QPSK_9/10")->x(), Box("8PSK_3/5")->x());
    EXPECT_LT(Box("8PSK_9/10")->x(), Box("16APSK_2/3")->x());
    EXPECT_LT(Box("16APSK_9/10")->x(), Box("32APSK_3/4")->x());
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
    ClickBox("QPSK_1/4");
    const CScreenshot checked(dialog);
    const QRect box = Box("QPSK_1/4")->geometry();
    EXPECT_GT(checked.DifferingPixels(shot, box), 0);
    EXPECT_EQ(checked.DifferingPixels(shot, Box("QPSK_1/2")->geometry()), 0)
        << "checked before and after";
    EXPECT_EQ(checked.DifferingPixels(shot, Box("QPSK_1/3")->geometry()), 0)
        << "unchecked before and after";
}

TEST_F(ModeDialogTest, WithoutAFileNothingIsChecked) {
    Open();
    EXPECT_TRUE(CheckedIndices().empty());
    EXPECT_FALSE(Box("ALL")->isChecked());
}

TEST_F(ModeDialogTest, AllInTheFileChecksEveryBoxWhateverTheOtherKeysSay) {
    WriteSettings("ModCodeAll=1\r\nModCodeCheck_0=0\r\nModCodeCheck_3=1\r\nModCodeCheck_27=0\r\n");
    Open();
    EXPECT_TRUE(Box("ALL")->isChecked());
    EXPECT_EQ(CheckedIndices().size(), 28u);
}

TEST_F(ModeDialogTest, AStoredNonZeroValueChecksTheBoxAndOkWritesItAsOne) {
    WriteSettings("ModCodeAll=0\r\nModCodeCheck_5=7\r\nModCodeCheck_6=x\r\nModCodeCheck_7= 2\r\n");
    CModeDlg& dialog = Open();
    EXPECT_EQ(CheckedIndices(), (std::vector<int>{5, 7}));
    EXPECT_FALSE(Box("ALL")->isChecked());
    Ok();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Value("ModCodeCheck_5"), "1");
    EXPECT_EQ(Value("ModCodeCheck_6"), "0");
    EXPECT_EQ(Value("ModCodeCheck_7"), "1");
}

TEST_F(ModeDialogTest, OkWithAllCheckedBuildsTheAllRecordAndKeepsThePerBoxKeys) {
    WriteSettings("ModCodeAll=1\r\nModCodeCheck_0=1\r\nModCodeCheck_9=0\r\n");
    CModeDlg& dialog = Open();
    ClickBox("QPSK_1/4");
    ClickBox("8PSK_8/9");
    EXPECT_TRUE(Box("ALL")->isChecked()) << "unchecking a box leaves ALL alone";
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
    EXPECT_EQ(Value("ModCodeAll"), "1");
    EXPECT_EQ(Value("ModCodeCheck_0"), "1");
    EXPECT_EQ(Value("ModCodeCheck_9"), "0");
    EXPECT_EQ(Value("ModCodeCheck_1"), "<missing>");
}

TEST_F(ModeDialogTest, UncheckingAllUnchecksEveryBoxAndOkSendsAnEmptyRecord) {
    WriteSettings("ModCodeAll=1\r\n");
    CModeDlg& dialog = Open();
    ClickBox("ALL");
    EXPECT_TRUE(CheckedIndices().empty());
    Ok();
    EXPECT_EQ(dialog.m_ModCodeFilter.count, 0u);
    EXPECT_EQ(Value("ModCodeAll"), "0");
    for (int i = 0; i < 28; ++i) EXPECT_EQ(Value("ModCodeCheck_" + std::to_string(i)), "0") << i;
    // Checking ALL again checks them all at once.
    CModeDlg& again = Open();
    ClickBox("ALL");
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
        way.change(Box("ALL"));
        EXPECT_TRUE(Box("ALL")->isChecked());
        EXPECT_EQ(CheckedIndices().size(), 28u);
        ClickBox("QPSK_1/2");  // unchecking one box by hand leaves "ALL" alone
        EXPECT_TRUE(Box("ALL")->isChecked());
        way.change(Box("ALL"));
        EXPECT_FALSE(Box("ALL")->isChecked());
        EXPECT_TRUE(CheckedIndices().empty());
        Ok();
        EXPECT_EQ(dialog.m_ModCodeFilter.count, 0u);
        EXPECT_EQ(Value("ModCodeAll"), "0");
    }
}

struct RecordCase {
    std::string name;
    std::vector<std::string> checked;  // captions
    std::vector<std::uint32_t> codes;  // sent, four entries each, in this order
};

// Without a file, OK gives the driver four entries for each checked box, of the code its caption
// names, in code order, and writes every box's key (numbered from 0 in code order) as checked or
// not. Each box alone is a case of its own.
TEST_F(ModeDialogTest, CheckedBoxesGiveFourEntriesEachInModeCodeOrder) {
    std::vector<std::uint32_t> allCodes;
    for (std::uint32_t m = 1; m <= 28; ++m) allCodes.push_back(m);
    std::vector<RecordCase> cases = {
        {"QPSK_1/2 and 8PSK_2/3", {"8PSK_2/3", "QPSK_1/2"}, {4, 13}},
        {"every box without ALL", kModCodeNames, allCodes},
        {"none", {}, {}},
    };
    for (std::uint32_t code = 1; code <= kModCodeNames.size(); ++code)
        cases.push_back({kModCodeNames[code - 1] + " alone", {kModCodeNames[code - 1]}, {code}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(Path());
        Open();
        for (const std::string& caption : c.checked) ClickBox(caption);
        Ok();
        std::vector<Entry> expected;
        for (const std::uint32_t code : c.codes) {
            const std::vector<Entry> four = EntriesOf(code);
            expected.insert(expected.end(), four.begin(), four.end());
        }
        EXPECT_EQ(Entries(), expected);
        EXPECT_EQ(Value("ModCodeAll"), "0");
        for (std::uint32_t code = 1; code <= kModCodeNames.size(); ++code) {
            const bool checked = std::find(c.codes.begin(), c.codes.end(), code) != c.codes.end();
            EXPECT_EQ(Value("ModCodeCheck_" + std::to_string(code - 1)), checked ? "1" : "0");
        }
    }
}

TEST_F(ModeDialogTest, CancelLeavesTheFileAsItWas) {
    const std::string before = "[Config]\r\nModCodeAll=0\r\nModCodeCheck_2=1\r\n";
    WriteWholeFile(Path(), before);
    for (bool byKey : {false, true}) {
        CModeDlg& dialog = Open();
        ClickBox("ALL");
        ClickBox("QPSK_2/5");
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
    ClickBox("QPSK_1/4");
    Ok();
    EXPECT_EQ(ReadIniString(settings, "Config", "ModCodeCheck_0"), "1");
    EXPECT_EQ(ReadIniString(settings, "Config", "ModCodeCheck_3"), "1");
    EXPECT_TRUE(boxes.Texts().empty());
}

}  // namespace
