#include "pages/settings/bdacontrol_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>

#include "core/settings_file.h"
#include "graph/driver_control.h"
#include "graph/tuner_session.h"
#include "pages/settings/mode_dlg.h"
#include "pages/settings/tuner_card_environment.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ui/qt/data_exchange.h"
#include "platform/win/known_folders.h"
#include "sink/record_file.h"
#include "support/debug_output_capture.h"
#include "support/folder_roots.h"
#include "support/page_host.h"
#include "support/screenshot.h"

namespace {

// The page's control ids read as Dlg::kIdFrequency and so on.
using Dlg = CBdacontrolDlg;

constexpr const char* kArden = "VLK Arden DVBS/S2 Tuner";
constexpr const char* kIntegerPrompt = "请输入一个整数。";

// The [Config] lines of an INI file, without line ends.
std::vector<std::string> ConfigLines(const std::string& path) {
    std::istringstream in(ReadWholeFile(path));
    std::vector<std::string> lines;
    bool inConfig = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line.front() == '[') {
            inConfig = line == "[Config]";
            continue;
        }
        if (inConfig) lines.push_back(line);
    }
    return lines;
}

std::map<std::string, std::string> ConfigValues(const std::string& path) {
    std::map<std::string, std::string> values;
    for (const auto& line : ConfigLines(path)) {
        const auto eq = line.find('=');
        values[line.substr(0, eq)] = eq == std::string::npos ? "" : line.substr(eq + 1);
    }
    return values;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
    return driver_bytes::GetLe32(&bytes.at(offset));
}

// The page with the program's end observed instead of carried out.
class CTestTunerPage : public CBdacontrolDlg {
public:
    using CBdacontrolDlg::CBdacontrolDlg;
    int m_nQuitRequests = 0;

protected:
    void PostQuit() override { ++m_nQuitRequests; }
};

class TunerSettingPageTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (m_pPage != nullptr) m_pPage->Destroy();
        m_pHost.reset();  // deletes the page
        m_pPage = nullptr;
    }

    void WriteSettings(const std::string& text) {
        WriteWholeFile(SettingsPath(), "[Config]\r\n" + text);
    }
    std::string SettingsPath() const { return m_env.File("VLK-TScap.ini"); }

    // The page inside a dialog that stands in for the main window, shown and initialised as
    // the sheet does with its first page.
    CTestTunerPage& Open(const std::string& card = kArden,
                         CardCarrier carrier = CardCarrier::PciE) {
        if (!m_bPublished) m_env.PublishCard(card, carrier);
        m_bPublished = true;
        return OpenWithoutPublishing();
    }
    CTestTunerPage& OpenWithoutPublishing() {
        m_pPage = OpenPageInHost<CTestTunerPage>(m_pHost);
        return *m_pPage;
    }

    template <typename T>
    T* Item(int id) const {
        return PageItem<T>(m_pPage, id);
    }
    void Type(int id, const QString& text) {
        auto* field = Item<QLineEdit>(id);
        field->clear();
        QTest::keyClicks(field, text);
    }
    // Moves the selection with the keyboard, as a user does (the list reports the change).
    void Choose(int id, int index) {
        auto* list = Item<QComboBox>(id);
        list->setFocus();
        if (list->currentIndex() < 0) QTest::keyClick(list, Qt::Key_Home);
        while (list->currentIndex() < index) QTest::keyClick(list, Qt::Key_Down);
        while (list->currentIndex() > index) QTest::keyClick(list, Qt::Key_Up);
        ASSERT_EQ(list->currentIndex(), index);
    }
    void Click(int id) { QTest::mouseClick(Item<QPushButton>(id), Qt::LeftButton); }
    int Commits() const {
        const auto& calls = m_env.Script().calls;
        return static_cast<int>(std::count(calls.begin(), calls.end(), "CommitChanges"));
    }
    bool Tuned(const std::string& call) const {
        const auto& calls = m_env.Script().calls;
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }

    CTunerCardEnvironment m_env;
    std::unique_ptr<QDialog> m_pHost;
    CTestTunerPage* m_pPage = nullptr;
    bool m_bPublished = false;
};

// --- Settings file -----------------------------------------------------------------------

TEST_F(TunerSettingPageTest,
       AFirstStartShowsEmptyFieldsAndTheFirstChoicesAndLockWritesTheNineKeys) {
    Open();
    for (int id : {Dlg::kIdLnbLow, Dlg::kIdLnbSwitch, Dlg::kIdLnbHigh, Dlg::kIdFrequency,
                   Dlg::kIdSymbolRate})
        EXPECT_EQ(Item<QLineEdit>(id)->text(), "") << id;
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdDiseqc)->currentText(), "Diseqc NULL");
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdPolarity)->currentText(), "Horizontal");
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdCodeType)->currentText(), "Root Code");
    EXPECT_EQ(Item<QLineEdit>(Dlg::kIdCode)->text(), "0");
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()))
        << "nothing is written before the first lock";

    Click(Dlg::kIdLockTp);
    EXPECT_EQ(ConfigLines(SettingsPath()),
              (std::vector<std::string>{"polarity=0", "diseqc=0", "goldcode=0", "goldtype=0",
                                        "freq=", "symbol=", "lnblow=", "lnbhigh=", "lnbswitch="}));
    EXPECT_TRUE(Tuned("put_Frequency 0")) << "an empty frequency tunes to 0 kHz";
    EXPECT_TRUE(m_env.Boxes().Texts().empty()) << m_env.Boxes().Texts().front();
}

TEST_F(TunerSettingPageTest, StoredValuesFillTheFieldsTheSelectorsAndTheTunerControlRecord) {
    WriteSettings(
        "polarity=1\r\ndiseqc=3\r\ngoldcode=262143\r\ngoldtype=0\r\nfreq=11778\r\nsymbol=27500\r\n"
        "lnblow=9750\r\nlnbhigh=10600\r\nlnbswitch=11700\r\n");
    CTestTunerPage& page = Open();
    EXPECT_EQ(Item<QLineEdit>(Dlg::kIdFrequency)->text(), "11778");
    EXPECT_EQ(Item<QLineEdit>(Dlg::kIdSymbolRate)->text(), "27500");
    EXPECT_EQ(Item<QLineEdit>(Dlg::kIdLnbLow)->text(), "9750");
    EXPECT_EQ(Item<QLineEdit>(Dlg::kIdLnbHigh)->text(), "10600");
    EXPECT_EQ(Item<QLineEdit>(Dlg::kIdLnbSwitch)->text(), "11700");
    EXPECT_EQ(Item<QLineEdit>(Dlg::kIdCode)->text(), "262143");
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdPolarity)->currentText(), "Vertical");
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdDiseqc)->currentText(), "Diseqc C");
    EXPECT_EQ(page.PolarityIndex(), 1);
    EXPECT_EQ(page.DiseqcPortIndex(), 3);
    EXPECT_EQ(page.CodeValue(), 262143);

    const auto& record = DefaultTunerSession().m_TunerControlRecord.bytes;
    EXPECT_EQ(driver_bytes::GetLe32(&record[TunerControlRecord::kFrequencyOffset]), 11778u);
    EXPECT_EQ(driver_bytes::GetLe32(&record[TunerControlRecord::kLnbLowOffset]), 9750u);
    EXPECT_EQ(driver_bytes::GetLe32(&record[TunerControlRecord::kLnbHighOffset]), 10600u);
    EXPECT_EQ(driver_bytes::GetLe32(&record[TunerControlRecord::kSymbolRateOffset]), 27500u);
    EXPECT_EQ(record[TunerControlRecord::kPolarityOffset], 1);
    const auto constants = record.begin() + TunerControlRecord::kConstantsOffset;
    EXPECT_EQ(std::vector<int>(constants, constants + 3), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(record[TunerControlRecord::kDiseqcPortOffset], 3);
}

struct StoredPortCase {
    const char* stored;
    std::int32_t index;
    const char* shown;
    std::vector<std::uint8_t> message;  // empty: no DiSEqC message at "Lock TP"
    const char* written;
};

TEST_F(TunerSettingPageTest, AStoredPortOutsideTheListReadsAsMinusOneSendsNothingAndIsWrittenBack) {
    const std::vector<StoredPortCase> cases = {
        {"7", -1, "", {}, "-1"},
        {"-2", -1, "", {}, "-1"},
        {"2", 2, "Diseqc B", {0xE0, 0x10, 0x38, 0xF5}, "2"},  // vertical, high band, port B
        {"abc", 0, "Diseqc NULL", {}, "0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        TearDown();
        m_env.Boxes().Clear();
        WriteSettings(std::string("polarity=1\r\ndiseqc=") + c.stored +
                      "\r\nfreq=11778\r\nlnbswitch=11700\r\nlnblow=9750\r\nlnbhigh=10600\r\nsymbol="
                      "27500\r\n");
        CTestTunerPage& page = Open();
        m_env.Driver().ClearCalls();
        EXPECT_EQ(page.DiseqcPortIndex(), c.index);
        EXPECT_EQ(Item<QComboBox>(Dlg::kIdDiseqc)->currentText(), c.shown);
        EXPECT_EQ(DefaultTunerSession().m_TunerControlRecord.bytes[20],
                  static_cast<std::uint8_t>(c.index));

        Click(Dlg::kIdLockTp);
        const auto sent = m_env.SetsOf(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC);
        if (c.message.empty()) {
            EXPECT_TRUE(sent.empty());
        } else {
            ASSERT_EQ(sent.size(), 1u);
            EXPECT_EQ(
                std::vector<std::uint8_t>(sent[0].data.begin() + 16, sent[0].data.begin() + 20),
                c.message);
        }
        EXPECT_EQ(ConfigValues(SettingsPath())["diseqc"], c.written);
        EXPECT_TRUE(m_env.Boxes().Texts().empty()) << m_env.Boxes().Texts().front();
    }
}

TEST_F(TunerSettingPageTest, AStoredGoldTypeOfOneLeavesTheSelectorAtRootCodeAndIsWrittenBack) {
    WriteSettings("goldcode=9\r\ngoldtype=1\r\n");
    CTestTunerPage& page = Open();
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdCodeType)->currentText(), "Root Code");
    EXPECT_EQ(page.CodeTypeIndex(), 1);

    Click(Dlg::kIdLockTp);
    EXPECT_EQ(ConfigValues(SettingsPath())["goldtype"], "1");

    // "Set" sends what the selector shows, and that is what is saved from then on.
    Click(Dlg::kIdSetCode);
    const auto sent = m_env.SetsOf(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Le32(sent[0].data, CodeRecord::kValueOffset), 9u);
    EXPECT_EQ(Le32(sent[0].data, CodeRecord::kTypeOffset), 0u) << "root code";
    Click(Dlg::kIdLockTp);
    EXPECT_EQ(ConfigValues(SettingsPath())["goldtype"], "0");
}

TEST_F(TunerSettingPageTest, SendSavesAndPreparesTheRecordWithoutTuning) {
    CTestTunerPage& page = Open();
    Choose(Dlg::kIdDiseqc, 4);
    EXPECT_EQ(page.DiseqcPortIndex(), 4);
    Type(Dlg::kIdFrequency, "12188");
    Item<QPushButton>(Dlg::kIdSend)->click();  // hidden: only a program can press it
    EXPECT_EQ(ConfigValues(SettingsPath())["freq"], "12188");
    EXPECT_EQ(ConfigValues(SettingsPath())["diseqc"], "4");
    EXPECT_EQ(DefaultTunerSession().m_TunerControlRecord.bytes[20], 4);
    EXPECT_EQ(Commits(), 0);
}

// --- Fields and keys ---------------------------------------------------------------------

TEST_F(TunerSettingPageTest, DigitFieldsTakeOnlyDigitsAndTheSwitchFieldTakesAnyText) {
    Open();
    const std::vector<std::tuple<int, QString, QString>> cases = {
        {Dlg::kIdLnbLow, "9a7-5 0", "9750"},
        {Dlg::kIdLnbHigh, "10600", "10600"},
        {Dlg::kIdFrequency, "+11778", "11778"},
        {Dlg::kIdSymbolRate, "27.500", "27500"},
        {Dlg::kIdCode, "-12", "12"},
        {Dlg::kIdLnbSwitch, "-1 MHz", "-1 MHz"}};
    for (const auto& [id, typed, shown] : cases) {
        Type(id, typed);
        EXPECT_EQ(Item<QLineEdit>(id)->text(), shown) << id;
    }
    Click(Dlg::kIdLockTp);
    EXPECT_EQ(ConfigValues(SettingsPath())["lnbswitch"], "-1 MHz") << "stored as typed";
    EXPECT_TRUE(Tuned("put_HighLowSwitchFrequency 4294966296")) << "parsed as -1 only when tuning";
}

TEST_F(TunerSettingPageTest, EnterInAnyFieldLocksTheTransponder) {
    Open();
    Type(Dlg::kIdLnbLow, "9750");
    Type(Dlg::kIdLnbHigh, "10600");
    Type(Dlg::kIdLnbSwitch, "11700");
    Type(Dlg::kIdFrequency, "11778");
    Type(Dlg::kIdSymbolRate, "27500");
    Choose(Dlg::kIdPolarity, 1);
    int expectedCommits = 0;
    for (int id : {Dlg::kIdFrequency, Dlg::kIdSymbolRate, Dlg::kIdLnbSwitch, Dlg::kIdLnbLow,
                   Dlg::kIdDiseqc, Dlg::kIdCode}) {
        SCOPED_TRACE(id);
        QWidget* field = m_pPage->GetDlgItem(id);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(Commits(), ++expectedCommits);
        EXPECT_TRUE(m_pHost->isVisible()) << "Enter stays in the page";
    }
    EXPECT_TRUE(Tuned("put_Frequency 11778000"));
    EXPECT_TRUE(Tuned("put_SymbolRate 27500"));
    EXPECT_TRUE(Tuned("put_LocalOscillatorFrequencyLowBand 9750000"));
    EXPECT_TRUE(Tuned("put_Polarity 2"));
    EXPECT_EQ(ConfigValues(SettingsPath())["freq"], "11778");
    EXPECT_TRUE(Item<QPushButton>(Dlg::kIdLockTp)->isEnabled());
    EXPECT_TRUE(m_env.Boxes().Texts().empty()) << m_env.Boxes().Texts().front();
}

TEST_F(TunerSettingPageTest, EscapeDoesNothing) {
    Open();
    Type(Dlg::kIdFrequency, "11778");
    for (int id : {Dlg::kIdFrequency, Dlg::kIdDiseqc, Dlg::kIdCode}) {
        QWidget* field = m_pPage->GetDlgItem(id);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Escape);
        EXPECT_TRUE(m_pHost->isVisible()) << "Escape does not reach the window: " << id;
    }
    EXPECT_EQ(Commits(), 0);
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()));
    EXPECT_TRUE(m_env.Boxes().Texts().empty());
}

// --- Output stream -----------------------------------------------------------------------

struct StreamStartCase {
    const char* name;
    CardCarrier carrier;
    std::vector<std::uint8_t> driverReports;
    const char* shown;  // "" nothing selected
    StreamTypeRecord pageRecord;
};

TEST_F(TunerSettingPageTest, TheOutputStreamStartsFromTheCarrier) {
    const std::vector<StreamStartCase> cases = {
        {"PCI-E reporting GS", CardCarrier::PciE, {0, 1}, "GS", kGenericStreamType},
        {"PCI-E reporting TS", CardCarrier::PciE, {1, 0}, "TS", kTransportStreamType},
        {"PCI-E reporting neither", CardCarrier::PciE, {0, 0}, "", StreamTypeRecord{{0, 0}}},
        {"USB", CardCarrier::Usb, {0, 1}, "TS", kTransportStreamType},
        {"no Input0 pin", CardCarrier::NoInput0, {0, 1}, "TS", kTransportStreamType},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        CTunerCardEnvironment environment;  // a fresh card each time
        environment.PublishCard(kArden, c.carrier);
        environment.Driver().Reply(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS,
                                   c.driverReports);
        CTestTunerPage& page = OpenWithoutPublishing();
        EXPECT_EQ(Item<QComboBox>(Dlg::kIdOutputStream)->currentText(), c.shown);
        EXPECT_EQ(page.StreamType(), c.pageRecord);
        EXPECT_TRUE(environment.Boxes().Texts().empty()) << environment.Boxes().Texts().front();
        EXPECT_TRUE(DefaultTunerSession().m_Record.m_bRecordFileOpen)
            << "the default record file is opened";
        EXPECT_TRUE(std::filesystem::exists(environment.File("Vantor-capture.ts")));
        if (c.carrier != CardCarrier::PciE) {
            for (const auto& call : environment.Driver().Calls()) {
                EXPECT_NE(call.kind, CFakeKsPropertySet::Kind::Get)
                    << "nothing is read on this carrier";
            }
        }
        TearDown();
    }
}

TEST_F(TunerSettingPageTest, ATunerThatRefusesThePropertySetStopsAfterTheMessage) {
    CTestTunerPage& page = Open(kArden, CardCarrier::Refusing);
    EXPECT_EQ(m_env.Boxes().Texts(),
              std::vector<std::string>{"m_pTunerDevice USB QueryInterface Failed"});
    EXPECT_FALSE(DefaultTunerSession().HasDriverControl());
    EXPECT_FALSE(std::filesystem::exists(m_env.File("Vantor-capture.ts")))
        << "no record file without a handle";
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdOutputStream)->currentIndex(), -1);
    EXPECT_EQ(page.m_nQuitRequests, 0);
    // Still usable: "Lock TP" saves and tunes.
    Type(Dlg::kIdFrequency, "11778");
    Click(Dlg::kIdLockTp);
    EXPECT_EQ(ConfigValues(SettingsPath())["freq"], "11778");
    EXPECT_TRUE(Tuned("put_Frequency 11778000"));
}

TEST_F(TunerSettingPageTest, ChoosingGsIsSentOnlyAtTheNextLock) {
    CTestTunerPage& page = Open();
    m_env.Driver().ClearCalls();
    Choose(Dlg::kIdOutputStream, 1);
    EXPECT_EQ(page.StreamType(), kGenericStreamType);
    EXPECT_TRUE(m_env.Driver().Calls().empty());

    Click(Dlg::kIdLockTp);
    const auto sent = m_env.SetsOf(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].data, (std::vector<std::uint8_t>{0, 1}));
}

// --- Scrambling code ---------------------------------------------------------------------

TEST_F(TunerSettingPageTest, SetSendsTheCodeWithTheSelectorsType) {
    CTestTunerPage& page = Open(kArden, CardCarrier::Usb);
    Type(Dlg::kIdCode, "12");
    Choose(Dlg::kIdCodeType, 1);
    Click(Dlg::kIdSetCode);
    const auto sent = m_env.SetsOf(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_GOLDCODE);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Le32(sent[0].data, CodeRecord::kValueOffset), 12u);
    EXPECT_EQ(Le32(sent[0].data, CodeRecord::kTypeOffset), 1u) << "gold code";
    EXPECT_EQ(page.CodeValue(), 12);
    EXPECT_EQ(page.CodeTypeIndex(), 1);
    EXPECT_EQ(m_env.Boxes().Texts(), std::vector<std::string>{"Successfully set the PLSCode."});
    EXPECT_FALSE(std::filesystem::exists(SettingsPath()))
        << "Set stores in the page, not in the file";
}

TEST_F(TunerSettingPageTest, ACodeThatIsNoIntegerIsRefusedAtEverySaveAndSetAndKeepsItsValue) {
    WriteSettings("goldcode=5\r\n");
    CTestTunerPage& page = Open();
    Item<QLineEdit>(Dlg::kIdCode)->clear();

    Item<QPushButton>(Dlg::kIdSend)->click();  // "Send": one save
    EXPECT_EQ(m_env.Boxes().Texts(), std::vector<std::string>{kIntegerPrompt});
    EXPECT_EQ(ConfigValues(SettingsPath())["goldcode"], "5");
    EXPECT_EQ(m_pPage->focusWidget(), Item<QLineEdit>(Dlg::kIdCode))
        << "the refused field gets the focus";

    m_env.Boxes().Clear();
    Click(Dlg::kIdLockTp);  // "Lock TP" saves twice
    EXPECT_EQ(m_env.Boxes().Texts(), (std::vector<std::string>{kIntegerPrompt, kIntegerPrompt}));
    EXPECT_EQ(Commits(), 1) << "the lock goes on";

    m_env.Boxes().Clear();
    Item<QLineEdit>(Dlg::kIdCode)->setText("x7");  // pasted text bypasses the digit filter
    Click(Dlg::kIdSetCode);
    EXPECT_EQ(m_env.Boxes().Texts(),
              (std::vector<std::string>{kIntegerPrompt, "Successfully set the PLSCode."}));
    const auto sent = m_env.SetsOf(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Le32(sent[0].data, CodeRecord::kValueOffset), 5u) << "the previous value";
    EXPECT_EQ(page.CodeValue(), 5);
}

// --- Unsupported card, destruction ---------------------------------------------------------

TEST_F(TunerSettingPageTest, AnUnsupportedCardIsToldAndTheProgramAskedToEnd) {
    CTestTunerPage& page = Open("Generic DVB-S2 Tuner", CardCarrier::PciE);
    ASSERT_EQ(m_env.Boxes().Boxes().size(), 1u);
    EXPECT_EQ(m_env.Boxes().Boxes()[0].text, "This card is not support Recorder!");
    EXPECT_EQ(m_env.Boxes().Boxes()[0].caption, AfxGetAppName());
    EXPECT_EQ(page.m_nQuitRequests, 1);
    EXPECT_EQ(page.TunerDevice(), DefaultTunerSession().TunerFilter().Get())
        << "the page holds the tuner before it stops";
    EXPECT_NE(page.TunerDevice(), nullptr);
    EXPECT_FALSE(DefaultTunerSession().HasDriverControl()) << "no driver handle is taken";
    EXPECT_TRUE(m_env.Driver().Calls().empty());
    EXPECT_FALSE(std::filesystem::exists(m_env.File("Vantor-capture.ts")));
}

TEST_F(TunerSettingPageTest, DestructionSavesThenResetsTheCodeThenReleasesTheGraph) {
    Open();
    Type(Dlg::kIdFrequency, "12188");
    struct Seen {
        std::string savedFrequency;
        bool graphAlive;
        bool handleAlive;
    };
    std::vector<Seen> seen;
    m_env.Driver().OnSet([&](const CFakeKsPropertySet::Call& call) {
        if (call.id != KSPROPERTY_BDA_GOLDCODE) return;
        seen.push_back({ConfigValues(SettingsPath())["freq"], DefaultTunerSession().HasGraph(),
                        DefaultTunerSession().HasDriverControl()});
    });
    m_pPage->Destroy();
    m_env.Driver().OnSet(nullptr);

    const auto sent = m_env.SetsOf(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GOLDCODE);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ((std::pair{Le32(sent[0].data, CodeRecord::kValueOffset),
                         Le32(sent[0].data, CodeRecord::kTypeOffset)}),
              (std::pair{1u, 0u}))
        << "root code 1";
    EXPECT_EQ((std::pair{Le32(sent[1].data, CodeRecord::kValueOffset),
                         Le32(sent[1].data, CodeRecord::kTypeOffset)}),
              (std::pair{0u, 1u}))
        << "gold code 0";
    ASSERT_EQ(seen.size(), 2u);
    for (const auto& s : seen) {
        EXPECT_EQ(s.savedFrequency, "12188") << "saved before the reset";
        EXPECT_TRUE(s.graphAlive) << "released after the reset";
        EXPECT_TRUE(s.handleAlive);
    }
    EXPECT_FALSE(DefaultTunerSession().HasGraph());
    EXPECT_FALSE(DefaultTunerSession().HasDriverControl());
    EXPECT_FALSE(DefaultTunerSession().TunerFilter());
    EXPECT_EQ(m_pPage->TunerDevice(), nullptr);
}

// --- Mode codes through the page -----------------------------------------------------------

// Works the mode-code dialog once it is up.
void WhenModeDialogOpens(std::function<void(CModeDlg&)> work) {
    QTimer::singleShot(0, [work = std::move(work)] {
        auto* dialog = dynamic_cast<CModeDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        work(*dialog);
    });
}

// The mode-code dialog's box of a mode code (1 to 28).
constexpr int ModCodeBox(int modCode) {
    return CModeDlg::kBoxIds[static_cast<std::size_t>(modCode - 1)];
}

void ClickBox(CModeDlg& dialog, int id) {
    auto* box = dialog.Item<QCheckBox>(id);
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

TEST_F(TunerSettingPageTest, SetModCodesSendsTheAllRecordEvenWithBoxesUncheckedByHand) {
    WriteWholeFile(m_env.File("VLK-IPdata.ini"), "[Config]\r\nModCodeAll=1\r\n");
    Open();
    WhenModeDialogOpens([](CModeDlg& dialog) {
        ClickBox(dialog, ModCodeBox(1));   // QPSK 1/4
        ClickBox(dialog, ModCodeBox(28));  // 32APSK 9/10
        QTest::mouseClick(dialog.Item<QPushButton>(IDOK), Qt::LeftButton);
    });
    Click(Dlg::kIdSetModCodes);
    const auto sent = m_env.SetsOf(KSPROPSETID_BdaExt, KSPROPERTY_BDA_MODCODES);
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].data.size(), ModCodeFilterRecord::kSize);
    EXPECT_EQ(Le32(sent[0].data, ModCodeFilterRecord::kCountOffset), 112u);
    const std::vector<std::array<std::uint32_t, 3>> expected = {{12, 0, 0}, {12, 1, 0}, {12, 0, 1},
                                                                {12, 1, 1}, {18, 0, 0}, {18, 1, 0},
                                                                {18, 0, 1}, {18, 1, 1}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::size_t at =
            ModCodeFilterRecord::kEntriesOffset + ModCodeFilterRecord::kEntrySize * i;
        EXPECT_EQ((std::array{Le32(sent[0].data, at), Le32(sent[0].data, at + 4),
                              Le32(sent[0].data, at + 8)}),
                  expected[i])
            << i;
    }
    EXPECT_EQ(m_env.Boxes().Texts(), std::vector<std::string>{"Successfully set the Mode Codes.."});
}

TEST_F(TunerSettingPageTest, CancelInTheModeDialogSendsAndWritesNothing) {
    const std::string before = "[Config]\r\nModCodeAll=0\r\nModCodeCheck_4=1\r\n";
    WriteWholeFile(m_env.File("VLK-IPdata.ini"), before);
    Open();
    WhenModeDialogOpens([](CModeDlg& dialog) {
        ClickBox(dialog, CModeDlg::kIdAll);
        ClickBox(dialog, ModCodeBox(5));  // QPSK 3/5
        QTest::mouseClick(dialog.Item<QPushButton>(IDCANCEL), Qt::LeftButton);
    });
    Click(Dlg::kIdSetModCodes);
    EXPECT_TRUE(m_env.SetsOf(KSPROPSETID_BdaExt, KSPROPERTY_BDA_MODCODES).empty());
    EXPECT_EQ(ReadWholeFile(m_env.File("VLK-IPdata.ini")), before);
    EXPECT_TRUE(m_env.Boxes().Texts().empty());
}

// --- Where the settings live ----------------------------------------------------------------

// An installed program cannot write beside itself. Its folder lies below a regular file here,
// which no one can write into, root included (CI runs as root).
void MakeProgramFolderUnwritable(const CTunerCardEnvironment& env) {
    WriteWholeFile(env.File("usr"), "");
    test_roots::SetProgramFolder(env.File("usr/bin"));
}

TEST_F(TunerSettingPageTest, WhereTheProgramFolderCannotBeWrittenTheSettingsLiveInTheConfigFolder) {
    MakeProgramFolderUnwritable(m_env);
    test_roots::SetConfigFolder(m_env.File("config"));
    std::filesystem::create_directory(m_env.File("config"));
    const std::string settings = m_env.File("config/VLK-TScap.ini");
    WriteWholeFile(settings, "[Config]\r\nfreq=11778\r\ndiseqc=2\r\n");
    Open();
    EXPECT_EQ(Item<QLineEdit>(Dlg::kIdFrequency)->text(), "11778");
    Type(Dlg::kIdFrequency, "12188");
    Item<QPushButton>(Dlg::kIdSend)->click();
    EXPECT_EQ(ConfigValues(settings)["freq"], "12188");
    EXPECT_EQ(ConfigValues(settings)["diseqc"], "2");
    EXPECT_TRUE(m_env.Boxes().Texts().empty());
}

// Nine keys at every save and 29 at the mode dialog's OK: one box for the run, whichever file
// failed first, and a debugger line for each failure.
TEST_F(TunerSettingPageTest, SavesThatFailAreToldOnceInTheRunAndThenOnlyLogged) {
    MakeProgramFolderUnwritable(m_env);
    test_roots::SetConfigFolder(m_env.File("usr/config"));  // "~/.config" a file, too
    CDebugOutputCapture debug;
    Open();
    Item<QPushButton>(Dlg::kIdSend)->click();
    Click(Dlg::kIdLockTp);
    WhenModeDialogOpens([](CModeDlg& dialog) {
        QTest::mouseClick(dialog.Item<QPushButton>(IDOK), Qt::LeftButton);
    });
    Click(Dlg::kIdSetModCodes);
    m_pPage->Destroy();  // saves once more
    m_pPage = nullptr;

    EXPECT_EQ(m_env.Boxes().Texts(),
              (std::vector<std::string>{"Cannot save the settings to " +
                                            m_env.File("usr/config/VLK-TScap.ini") +
                                            ": Not a directory. Changes made now are lost when "
                                            "the program ends; move what is in the way at that "
                                            "path.",
                                        "Successfully set the Mode Codes.."}));
    const auto lines = debug.Lines();
    const auto failures = [&lines](const std::string& file) {
        return std::count(lines.begin(), lines.end(), settings_file::FailureText(file, ENOTDIR));
    };
    // Send saves once, "Lock TP" twice, the destruction once.
    EXPECT_EQ(failures(m_env.File("usr/config/VLK-TScap.ini")), 4 * 9);
    EXPECT_EQ(failures(m_env.File("usr/config/VLK-IPdata.ini")), 29);
}

// --- Layout --------------------------------------------------------------------------------

TEST_F(TunerSettingPageTest, EveryControlHasAUniqueAccessibleName) {
    Open();
    std::map<QString, std::vector<QWidget*>> byName;
    for (QWidget* w : m_pPage->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        EXPECT_FALSE(w->accessibleName().isEmpty())
            << w->metaObject()->className() << " " << w->objectName().toStdString();
        byName[w->accessibleName()].push_back(w);
    }
    for (const auto& [name, widgets] : byName) EXPECT_EQ(widgets.size(), 1u) << name.toStdString();
    // A label that names its field is told apart from it.
    for (QLabel* label : m_pPage->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (label->text() == "Frequency:") {
            EXPECT_EQ(label->accessibleName(), "Frequency: label");
        }
    }
    for (const auto& [id, name] :
         std::vector<std::pair<int, QString>>{{Dlg::kIdLnbLow, "LNBLow:"},
                                              {Dlg::kIdLnbSwitch, "LNBSwitch:"},
                                              {Dlg::kIdLnbHigh, "LNBHigh:"},
                                              {Dlg::kIdDiseqc, "Diseqc:"},
                                              {Dlg::kIdFrequency, "Frequency:"},
                                              {Dlg::kIdSymbolRate, "SymbolRate:"},
                                              {Dlg::kIdPolarity, "Polarity:"},
                                              {Dlg::kIdOutputStream, "OutPutStream:"},
                                              {Dlg::kIdCode, "Code:"},
                                              {Dlg::kIdCodeType, "Code Type:"},
                                              {Dlg::kIdLockTp, "Lock TP"}}) {
        EXPECT_EQ(m_pPage->GetDlgItem(id)->accessibleName(), name) << id;
    }
}

TEST_F(TunerSettingPageTest, ControlsSitAtTheirDialogUnitRectangles) {
    Open();
    const DialogBaseUnits& units = m_pPage->BaseUnits();
    EXPECT_EQ(m_pPage->minimumSize(), DluToPixels(QSize(296, 151), units));
    for (const auto& [id, dlu] :
         std::vector<std::pair<int, QRect>>{{Dlg::kIdLnbLow, {56, 7, 41, 14}},
                                            {Dlg::kIdSymbolRate, {208, 29, 41, 14}},
                                            {Dlg::kIdCode, {56, 106, 41, 14}},
                                            {Dlg::kIdSetCode, {212, 105, 61, 14}},
                                            {Dlg::kIdSetModCodes, {80, 131, 69, 14}},
                                            {Dlg::kIdSend, {15, 130, 26, 14}},
                                            {Dlg::kIdLockTp, {170, 128, 122, 17}}}) {
        EXPECT_EQ(m_pPage->GetDlgItem(id)->geometry(), DluToPixels(dlu, units)) << id;
    }
    // Drop-down lists: the template height includes the open list; the closed box is one line.
    for (const auto& [id, dlu] :
         std::vector<std::pair<int, QRect>>{{Dlg::kIdDiseqc, {56, 68, 61, 83}},
                                            {Dlg::kIdPolarity, {209, 49, 61, 40}},
                                            {Dlg::kIdOutputStream, {209, 68, 61, 44}},
                                            {Dlg::kIdCodeType, {155, 106, 49, 44}}}) {
        const QRect pixels = DluToPixels(dlu, units);
        const QRect actual = m_pPage->GetDlgItem(id)->geometry();
        EXPECT_EQ(actual.topLeft(), pixels.topLeft()) << id;
        EXPECT_EQ(actual.width(), pixels.width()) << id;
    }
    EXPECT_FALSE(Item<QPushButton>(Dlg::kIdSend)->isVisible()) << "Send is hidden";
    EXPECT_TRUE(Item<QPushButton>(Dlg::kIdLockTp)->property(kDefaultButtonProperty).toBool());
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdDiseqc)->count(), 5);
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdDiseqc)->itemText(4), "Diseqc D");
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdOutputStream)->itemText(1), "GS");
    EXPECT_EQ(Item<QComboBox>(Dlg::kIdCodeType)->itemText(1), "Gold Code");
    EXPECT_EQ(Item<QPushButton>(Dlg::kIdSetModCodes)->text(), "Set MODCODES");
    EXPECT_EQ(m_pPage->Title(), "Tuner Setting");
}

TEST_F(TunerSettingPageTest, TheScreenshotShowsEveryControlAndTheStoredValues) {
    WriteSettings(
        "polarity=0\r\ndiseqc=1\r\ngoldcode=0\r\ngoldtype=0\r\nfreq=11778\r\nsymbol=27500\r\n"
        "lnblow=9750\r\nlnbhigh=10600\r\nlnbswitch=11700\r\n");
    Open();
    const CScreenshot shot(*m_pPage);
    EXPECT_EQ(m_pPage->size(), DluToPixels(QSize(296, 151), m_pPage->BaseUnits()));
    EXPECT_EQ(shot.Image().size(), shot.ExpectedSize());
    EXPECT_GT(shot.Colours(), CScreenshot::kPlainColours)
        << "captions and frames, not a plain page";
    EXPECT_EQ(shot.BlankControls(), std::vector<std::string>{});
    EXPECT_TRUE(shot.Keep("tuner_setting_page.png"));
    // The stored frequency is drawn: without it the field looks different, the others do not.
    Item<QLineEdit>(Dlg::kIdFrequency)->clear();
    const CScreenshot cleared(*m_pPage);
    EXPECT_GT(cleared.DifferingPixels(shot, Item<QLineEdit>(Dlg::kIdFrequency)->geometry()), 0);
    EXPECT_EQ(cleared.DifferingPixels(shot, Item<QLineEdit>(Dlg::kIdSymbolRate)->geometry()), 0);
}

}  // namespace
