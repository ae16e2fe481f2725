#include "pages/positioner/position_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "graph/driver_control.h"
#include "graph/driver_test_environment.h"
#include "graph/tuner_session.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"
#include "platform/ui/qt/sorted_combo.h"
#include "positioner/program_folder_override.h"
#include "support/generated_names.h"
#include "support/page_host.h"
#include "support/screenshot.h"
#include "support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

// The page with the initialisation a second creation of its window would run, on the same
// page object: the remembered texts live in the object, the lists are filled anew.
class CTestPositionPage : public CPositionDlg {
public:
    using CPositionDlg::CPositionDlg;
    void InitialiseAgain() { OnInitDialog(); }
};

// Countries in file order Germany, Austria; Germany's first line is not its first city in
// sorted order.
constexpr const char* kSites =
    "Germany\tHamburg\t53.55\t9.99\r\n"
    "Germany\tBerlin\t52.52\t13.40\r\n"
    "Germany\tKassel\t50.0\t10.0\r\n"
    "Austria\tWien\t48.21\t16.37\r\n"
    "Austria\tGraz\t47.07\t15.44\r\n";

struct MotorCase {
    int id;
    const char* caption;
    Bytes first;  // the second is the same with framing E0
};

// Each button, the message it sends first and its length.
const std::vector<MotorCase>& MotorCases() {
    static const std::vector<MotorCase> cases{
        {CPositionDlg::kIdStepEast, "Step East", {0xE1, 0x31, 0x68, 0xFF}},
        {CPositionDlg::kIdStepWest, "Step West", {0xE1, 0x31, 0x69, 0xFF}},
        {CPositionDlg::kIdDriveEast, "Drive East", {0xE1, 0x31, 0x68, 0x50}},
        {CPositionDlg::kIdDriveWest, "Drive West", {0xE1, 0x31, 0x69, 0x50}},
        {CPositionDlg::kIdStop, "Stop", {0xE1, 0x31, 0x60}},
        {CPositionDlg::kIdLimitEast, "East", {0xE1, 0x31, 0x66}},
        {CPositionDlg::kIdLimitWest, "West", {0xE1, 0x31, 0x67}},
        {CPositionDlg::kIdLimitsReset, "Reset", {0xE1, 0x31, 0x63}},
        {CPositionDlg::kIdStore, "Store", {0xE1, 0x31, 0x6A, 0x00}},
        {CPositionDlg::kIdGoto, "Goto", {0xE1, 0x31, 0x6B, 0x00}},
    };
    return cases;
}

Bytes SecondOf(Bytes message) {
    message[0] = 0xE0;
    return message;
}

// The PCI-E DiSEqC record of a message: DWORD 1, the message, its length.
Bytes PciERecord(const Bytes& message) {
    Bytes record(DiseqcMessageRecord::kSize, 0);
    record[DiseqcMessageRecord::kCommandOffset] = 1;
    std::copy(message.begin(), message.end(), record.begin() + DiseqcMessageRecord::kMessageOffset);
    record[DiseqcMessageRecord::kLengthOffset] = static_cast<std::uint8_t>(message.size());
    return record;
}

class PositionerPageTest : public ::testing::Test {
protected:
    void TearDown() override {
        // Every box a test caused has been looked at by that test.
        if (m_env) {
            EXPECT_EQ(m_env->Boxes().Texts(), Texts{});
        }
        m_pHost.reset();  // deletes the page
        m_pPage = nullptr;
        m_env.reset();
    }

    void WriteSites(const std::string& content) const {
        WriteWholeFile(m_folder.File("CityList.txt"), content);
    }
    void WriteSatellite(const std::string& file, const std::string& position,
                        const std::string& name) const {
        std::filesystem::create_directories(m_folder.File("Transponders"));
        WriteWholeFile(m_folder.File("Transponders/" + file),
                       "[SATTYPE]\r\n1=" + position + "\r\n2=" + name + "\r\n\r\n[DVB]\r\n0=1\r\n");
    }
    void WriteDefaultFiles() const {
        WriteSites(kSites);
        WriteSatellite("Astra.ini", "0192", "Astra 1KR");
        WriteSatellite("Amazonas.ini", "3000", "Amazonas 60W");
        WriteSatellite("Eutelsat.ini", "0130", "Hot Bird 13");
    }

    // The page inside a window standing in for the main window, shown and initialised as the
    // sheet does when its tab is first selected.
    CTestPositionPage& Open(Carrier carrier = Carrier::PciE) {
        m_env.emplace(DefaultTunerSession(), carrier);
        m_pPage = OpenPageInHost<CTestPositionPage>(m_pHost);
        return *m_pPage;
    }

    template <typename T>
    T* Item(int id) const {
        return PageItem<T>(m_pPage, id);
    }
    QComboBox* Combo(int id) const { return Item<QComboBox>(id); }
    std::string Text(int id) const {
        if (auto* edit = m_pPage->Item<QLineEdit>(id)) return edit->text().toStdString();
        return Combo(id)->currentText().toStdString();
    }
    Texts ListItems(int id) const {
        Texts items;
        QComboBox* combo = Combo(id);
        for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
        return items;
    }
    void Type(int id, const QString& text) const {
        QLineEdit* field = m_pPage->Item<QLineEdit>(id);
        if (field == nullptr) field = Combo(id)->lineEdit();
        ASSERT_NE(field, nullptr) << id;
        field->clear();
        QTest::keyClicks(field, text);
    }
    void Click(int id) const { QTest::mouseClick(Item<QPushButton>(id), Qt::LeftButton); }
    // Moves the selection with the arrow keys, as a user does (the box reports the change).
    void Choose(int id, int index) const {
        QComboBox* combo = Combo(id);
        ASSERT_LT(index, combo->count());
        combo->setFocus();
        while (combo->currentIndex() < index) QTest::keyClick(combo, Qt::Key_Down);
        while (combo->currentIndex() > index) QTest::keyClick(combo, Qt::Key_Up);
        ASSERT_EQ(combo->currentIndex(), index);
    }

    CFakeKsPropertySet& Driver() { return m_env->Driver(); }
    // The data of every DiSEqC record the driver was given, in order.
    std::vector<Bytes> DiseqcRecords() {
        std::vector<Bytes> records;
        for (const auto& call : Driver().Sets()) {
            const bool pciE = call.set == KSPROPSETID_BdaExt && call.id == KSPROPERTY_BDA_DISEQC;
            const bool usb = call.set == KSPROPSETID_Ctrl && call.id == KSPROPERTY_CTRL_TUNER;
            EXPECT_TRUE(pciE || usb) << "only DiSEqC messages go to the driver";
            records.push_back(call.data);
        }
        return records;
    }
    // The messages of the PCI-E records, cut by the length each record carries.
    std::vector<Bytes> PciEMessages() {
        std::vector<Bytes> messages;
        for (const Bytes& record : DiseqcRecords()) {
            EXPECT_EQ(record.size(), DiseqcMessageRecord::kSize);
            if (record.size() != DiseqcMessageRecord::kSize) continue;
            const auto message = record.begin() + DiseqcMessageRecord::kMessageOffset;
            messages.emplace_back(message, message + record[DiseqcMessageRecord::kLengthOffset]);
        }
        return messages;
    }
    std::vector<MessageBoxRequest> TakeBoxes() {
        std::vector<MessageBoxRequest> boxes = m_env->Boxes().Boxes();
        m_env->Boxes().Clear();
        return boxes;
    }
    HWND PageHandle() { return m_pPage->GetSafeHwnd(); }

    CTempFolder m_folder;
    CProgramFolderOverride m_programFolder{m_folder.Path()};
    std::optional<CDriverTestEnvironment> m_env;
    std::unique_ptr<QDialog> m_pHost;
    CTestPositionPage* m_pPage = nullptr;
};

// --- Motor commands ---------------------------------------------------------------------------

TEST_F(PositionerPageTest, EachMotorButtonSendsItsMessageAsE1ThenE0WithItsLengthOnPciE) {
    WriteDefaultFiles();
    Open(Carrier::PciE);
    for (const MotorCase& c : MotorCases()) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(Item<QPushButton>(c.id)->text().toStdString(), c.caption);
        Driver().ClearCalls();
        Click(c.id);
        // Whole records: nothing but the marker, the message and its length.
        EXPECT_EQ(DiseqcRecords(),
                  (std::vector{PciERecord(c.first), PciERecord(SecondOf(c.first))}));
    }
}

TEST_F(PositionerPageTest, EachMotorButtonSendsItsMessageAsE1ThenE0OnUsb) {
    WriteDefaultFiles();
    Open(Carrier::Usb);
    for (const MotorCase& c : MotorCases()) {
        SCOPED_TRACE(c.caption);
        Driver().ClearCalls();
        Click(c.id);
        const std::vector<Bytes> records = DiseqcRecords();
        ASSERT_EQ(records.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            ASSERT_EQ(records[i].size(), TunerControlRecord::kSize);
            const Bytes expected = i == 0 ? c.first : SecondOf(c.first);
            const auto message = records[i].begin() + TunerControlRecord::kMessageOffset;
            EXPECT_EQ(Bytes(message, message + std::ssize(expected)), expected) << "message " << i;
        }
    }
}

TEST_F(PositionerPageTest, OnUsbAThreeByteCommandWritesOnlyThreeBytesOverTheLastMessage) {
    // The USB record has no length: what a command leaves of the previous message shows its
    // length.
    WriteDefaultFiles();
    Open(Carrier::Usb);
    Click(CPositionDlg::kIdStepWest);
    Driver().ClearCalls();
    Click(CPositionDlg::kIdStop);
    const std::vector<Bytes> records = DiseqcRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(Bytes(records[0].begin() + 21, records[0].begin() + 26),
              (Bytes{0xE1, 0x31, 0x60, 0xFF, 0x00}));
    EXPECT_EQ(Bytes(records[1].begin() + 21, records[1].begin() + 26),
              (Bytes{0xE0, 0x31, 0x60, 0xFF, 0x00}));
}

TEST_F(PositionerPageTest, TheSecondMessageIsSentWhenTheFirstFails) {
    WriteDefaultFiles();
    Open(Carrier::PciE);
    // The driver refuses the first message of each pair and takes the second.
    Driver().OnSet([this](const CFakeKsPropertySet::Call&) {
        Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, S_OK);
    });
    for (const MotorCase& c : MotorCases()) {
        SCOPED_TRACE(c.caption);
        Driver().ClearCalls();
        Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, E_FAIL);
        Click(c.id);
        EXPECT_EQ(PciEMessages(), (std::vector{c.first, SecondOf(c.first)}));
        // The driver operation reports the refusal; the page adds nothing of its own.
        EXPECT_EQ(
            TakeBoxes(),
            (std::vector<MessageBoxRequest>{
                {nullptr, "SendDiseqCommandArden QueryInterface Failed", AfxGetAppName(), MB_OK}}));
    }
    // A driver that refuses both: both are still sent, each refusal reported.
    Driver().OnSet(nullptr);
    Driver().ClearCalls();
    Driver().SetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, E_FAIL);
    Click(CPositionDlg::kIdStop);
    EXPECT_EQ(PciEMessages(), (std::vector<Bytes>{{0xE1, 0x31, 0x60}, {0xE0, 0x31, 0x60}}));
    EXPECT_EQ(TakeBoxes().size(), 2u);
}

TEST_F(PositionerPageTest, StoreAndGotoSendTheLowEightBitsOfThePositionBoxAsAtoiReadsIt) {
    struct Case {
        const char* text;
        std::uint8_t number;
    };
    const Case cases[] = {
        {"5", 0x05},   {"300", 0x2C}, {"", 0x00},    {"255", 0xFF},  {"256", 0x00},
        {" 7x", 0x07}, {"-1", 0xFF},  {"abc", 0x00}, {"12.9", 0x0C},
    };
    WriteDefaultFiles();
    Open(Carrier::PciE);
    for (const auto& [id, command] : {std::pair{CPositionDlg::kIdGoto, std::uint8_t{0x6B}},
                                      std::pair{CPositionDlg::kIdStore, std::uint8_t{0x6A}}}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(id == CPositionDlg::kIdGoto ? "Goto " : "Store ") + "'" +
                         c.text + "'");
            Type(CPositionDlg::kIdPosition, QString::fromLatin1(c.text));
            Driver().ClearCalls();
            Click(id);
            EXPECT_EQ(PciEMessages(), (std::vector<Bytes>{{0xE1, 0x31, command, c.number},
                                                          {0xE0, 0x31, command, c.number}}));
            EXPECT_EQ(Text(CPositionDlg::kIdPosition), c.text) << "the box is read, not changed";
        }
    }
}

TEST_F(PositionerPageTest, ThePositionBoxIsReadOnceBeforeTheFirstMessage) {
    // Guards against reading the box for each message: an edit between the two does not reach
    // the second.
    WriteDefaultFiles();
    Open(Carrier::PciE);
    Type(CPositionDlg::kIdPosition, "5");
    auto* box = Item<QLineEdit>(CPositionDlg::kIdPosition);
    Driver().OnSet([box](const CFakeKsPropertySet::Call&) { box->setText(QStringLiteral("9")); });
    Click(CPositionDlg::kIdGoto);
    EXPECT_EQ(PciEMessages(),
              (std::vector<Bytes>{{0xE1, 0x31, 0x6B, 0x05}, {0xE0, 0x31, 0x6B, 0x05}}));
}

TEST_F(PositionerPageTest, TheSpinArrowsCountThePositionBoxWithinZeroTo255AndSendNothing) {
    WriteDefaultFiles();
    Open();
    QWidget* spin = m_pPage->GetDlgItem(CPositionDlg::kIdPositionSpin);
    ASSERT_NE(spin, nullptr);
    auto* up = spin->findChild<QToolButton*>(QStringLiteral("up"));
    auto* down = spin->findChild<QToolButton*>(QStringLiteral("down"));
    ASSERT_NE(up, nullptr);
    ASSERT_NE(down, nullptr);
    struct Case {
        const char* before;
        QToolButton* arrow;
        const char* after;
    };
    const Case cases[] = {
        {"", up, "1"},        {"", down, "0"},    {"5", up, "6"},
        {"5", down, "4"},     {"255", up, "255"}, {"0", down, "0"},
        {"300", down, "255"}, {"-3", up, "0"},    {"12abc", up, "13"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("'") + c.before + "' " + (c.arrow == up ? "up" : "down"));
        Type(CPositionDlg::kIdPosition, QString::fromLatin1(c.before));
        QTest::mouseClick(c.arrow, Qt::LeftButton);
        EXPECT_EQ(Text(CPositionDlg::kIdPosition), c.after);
    }
    EXPECT_TRUE(Driver().Calls().empty());
}

// --- Lists and initialisation -----------------------------------------------------------------

TEST_F(PositionerPageTest, FirstCreationSelectsACountryAndACityAndShowsThatCitysCoordinates) {
    WriteDefaultFiles();
    Open();
    // Sorted without regard to case; file order was Germany, Austria.
    EXPECT_EQ(ListItems(CPositionDlg::kIdCountry), (Texts{"Austria", "Germany"}));
    EXPECT_EQ(Text(CPositionDlg::kIdCountry), "Austria");
    EXPECT_EQ(ListItems(CPositionDlg::kIdCity), (Texts{"Graz", "Wien"}));
    EXPECT_EQ(Text(CPositionDlg::kIdCity), "Graz");
    // Graz's, not those of Austria's first line (Wien); before, both boxes were left empty, and
    // one Enter drove the dish for 0 N 0 E.
    EXPECT_EQ(Text(CPositionDlg::kIdLatitude), "47.07");
    EXPECT_EQ(Text(CPositionDlg::kIdLongitude), "15.44");
    EXPECT_EQ(ListItems(CPositionDlg::kIdSatellite),
              (Texts{"0130  Hot Bird 13", "0192  Astra 1KR", "3000  Amazonas 60W"}));
    EXPECT_EQ(Text(CPositionDlg::kIdSatellite), "0130  Hot Bird 13");
    EXPECT_EQ(Text(CPositionDlg::kIdPosition), "");
    EXPECT_TRUE(Driver().Calls().empty()) << "initialisation does not talk to the driver";
}

TEST_F(PositionerPageTest, ChoosingACityShowsItsCoordinates) {
    WriteDefaultFiles();
    Open();
    Choose(CPositionDlg::kIdCity, 1);
    EXPECT_EQ(Text(CPositionDlg::kIdCity), "Wien");
    EXPECT_EQ(Text(CPositionDlg::kIdLatitude), "48.21");
    EXPECT_EQ(Text(CPositionDlg::kIdLongitude), "16.37");
    Choose(CPositionDlg::kIdCity, 0);
    EXPECT_EQ(Text(CPositionDlg::kIdLatitude), "47.07");
    EXPECT_EQ(Text(CPositionDlg::kIdLongitude), "15.44");
}

// Regression: the coordinates were those of the country's first line in the file (Hamburg's,
// Wien's) while the first city in sorted order was shown, and "Go" pointed for the other city.
TEST_F(PositionerPageTest, TheCoordinatesAreThoseOfTheCityShownAndGoPointsThere) {
    struct Step {
        int country;  // the country box's item to choose; -1: as the first creation leaves it
        const char* city;
        const char* latitude;
        const char* longitude;
        Bytes go;  // to "0192  Astra 1KR"
    };
    const Step steps[] = {
        {-1, "Graz", "47.07", "15.44", {0xE1, 0x31, 0x6E, 0xE0, 0x42}},   // Wien's: E0 32
        {1, "Berlin", "52.52", "13.40", {0xE1, 0x31, 0x6E, 0xE0, 0x65}},  // Hamburg's: E0 A0
        {0, "Graz", "47.07", "15.44", {0xE1, 0x31, 0x6E, 0xE0, 0x42}},
    };
    WriteDefaultFiles();
    Open();
    Choose(CPositionDlg::kIdSatellite, 1);
    ASSERT_EQ(Text(CPositionDlg::kIdSatellite), "0192  Astra 1KR");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.city);
        if (step.country >= 0) Choose(CPositionDlg::kIdCountry, step.country);
        EXPECT_EQ(Text(CPositionDlg::kIdCity), step.city);
        EXPECT_EQ(Text(CPositionDlg::kIdLatitude), step.latitude);
        EXPECT_EQ(Text(CPositionDlg::kIdLongitude), step.longitude);
        Driver().ClearCalls();
        Click(CPositionDlg::kIdGo);
        EXPECT_EQ(PciEMessages(), std::vector<Bytes>{step.go});
    }
}

TEST_F(PositionerPageTest, ACityOnSeveralLinesShowsWhatChoosingItGives) {
    // Arequipa is shown first; choosing it takes its block's last line naming it.
    WriteSites(
        "Peru\tLima\t-12.05\t-77.04\r\n"
        "Peru\tArequipa\t-16.40\t-71.54\r\n"
        "Peru\tArequipa\t-16.41\t-71.55\r\n");
    Open();
    ASSERT_EQ(ListItems(CPositionDlg::kIdCity), (Texts{"Arequipa", "Arequipa", "Lima"}));
    EXPECT_EQ(Text(CPositionDlg::kIdLatitude), "-16.41");
    EXPECT_EQ(Text(CPositionDlg::kIdLongitude), "-71.55");
    Choose(CPositionDlg::kIdCity, 2);
    Choose(CPositionDlg::kIdCity, 0);
    EXPECT_EQ(Text(CPositionDlg::kIdLatitude), "-16.41");
    EXPECT_EQ(Text(CPositionDlg::kIdLongitude), "-71.55");
}

TEST_F(PositionerPageTest, GoRemembersTheFiveTextsEvenWhenTheInputIsRejected) {
    WriteDefaultFiles();
    Open();
    Choose(CPositionDlg::kIdCountry, 1);
    Choose(CPositionDlg::kIdCity, 1);
    Choose(CPositionDlg::kIdSatellite, 2);
    Type(CPositionDlg::kIdLatitude, "95");
    Type(CPositionDlg::kIdLongitude, "9.99");
    Click(CPositionDlg::kIdGo);
    EXPECT_EQ(TakeBoxes(),
              (std::vector<MessageBoxRequest>{
                  {PageHandle(), "Longitude or Latitude error!", "Error", MB_ICONSTOP}}));
    EXPECT_TRUE(Driver().Calls().empty());

    // Meanwhile the user moves on; a new initialisation selects the remembered texts again.
    Choose(CPositionDlg::kIdCountry, 0);
    Choose(CPositionDlg::kIdSatellite, 0);
    m_pPage->InitialiseAgain();
    EXPECT_EQ(ListItems(CPositionDlg::kIdCountry), (Texts{"Austria", "Germany"}))
        << "filled anew, once";
    EXPECT_EQ(Text(CPositionDlg::kIdCountry), "Germany");
    EXPECT_EQ(ListItems(CPositionDlg::kIdCity), (Texts{"Berlin", "Hamburg", "Kassel"}));
    EXPECT_EQ(Text(CPositionDlg::kIdCity), "Hamburg");
    EXPECT_EQ(ListItems(CPositionDlg::kIdSatellite).size(), 3u);
    EXPECT_EQ(Text(CPositionDlg::kIdSatellite), "3000  Amazonas 60W");
    EXPECT_EQ(Text(CPositionDlg::kIdLatitude), "95");
    EXPECT_EQ(Text(CPositionDlg::kIdLongitude), "9.99");
}

TEST_F(PositionerPageTest, RememberedTextsAreSearchedFromItemOneOnwardAndWrap) {
    // Niger is item 0 and Nigeria item 1: the search for "Niger" starts at item 1 and finds
    // Nigeria. Lusaka, item 0 of its list, is found only after the wrap.
    WriteSites(
        "Niger\tNiamey\t13.51\t2.11\r\n"
        "Nigeria\tLagos\t6.45\t3.39\r\n"
        "Nigeria\tAbuja\t9.06\t7.49\r\n"
        "Zambia\tNdola\t-12.96\t28.64\r\n"
        "Zambia\tLusaka\t-15.41\t28.29\r\n");
    WriteSatellite("Astra.ini", "0192", "Astra 1KR");
    WriteSatellite("Astra2.ini", "0192", "Astra 1KR spare");
    Open();
    ASSERT_EQ(ListItems(CPositionDlg::kIdCountry), (Texts{"Niger", "Nigeria", "Zambia"}));
    ASSERT_EQ(Text(CPositionDlg::kIdCountry), "Niger");
    ASSERT_EQ(Text(CPositionDlg::kIdCity), "Niamey");
    Choose(CPositionDlg::kIdSatellite, 0);
    Type(CPositionDlg::kIdLatitude, "13.51");
    Type(CPositionDlg::kIdLongitude, "2.11");
    Click(CPositionDlg::kIdGo);  // 0192 from Niamey is in reach: one message
    EXPECT_EQ(DiseqcRecords().size(), 1u);

    m_pPage->InitialiseAgain();
    EXPECT_EQ(Text(CPositionDlg::kIdCountry), "Nigeria");
    // Nigeria's cities; the remembered Niamey is not among them, so the first stays selected.
    EXPECT_EQ(ListItems(CPositionDlg::kIdCity), (Texts{"Abuja", "Lagos"}));
    EXPECT_EQ(Text(CPositionDlg::kIdCity), "Abuja");
    EXPECT_EQ(Text(CPositionDlg::kIdLatitude), "13.51");
    EXPECT_EQ(Text(CPositionDlg::kIdLongitude), "2.11");
    // "0192  Astra 1KR" was item 0: from item 1 the spare, which begins with it, comes first.
    EXPECT_EQ(Text(CPositionDlg::kIdSatellite), "0192  Astra 1KR spare");

    Choose(CPositionDlg::kIdCountry, 2);
    ASSERT_EQ(ListItems(CPositionDlg::kIdCity), (Texts{"Lusaka", "Ndola"}));
    ASSERT_EQ(Text(CPositionDlg::kIdCity), "Lusaka");
    Type(CPositionDlg::kIdLongitude, "200");
    Click(CPositionDlg::kIdGo);
    EXPECT_EQ(TakeBoxes().size(), 1u);
    m_pPage->InitialiseAgain();
    EXPECT_EQ(Text(CPositionDlg::kIdCountry), "Zambia");
    EXPECT_EQ(Text(CPositionDlg::kIdCity), "Lusaka");
    EXPECT_EQ(Text(CPositionDlg::kIdLatitude), "-15.41") << "Lusaka's, as Go saw it";
    EXPECT_EQ(Text(CPositionDlg::kIdLongitude), "200");
}

TEST_F(PositionerPageTest, ATypedSatelliteTextIsDrivenToAndRemembered) {
    WriteDefaultFiles();
    Open();
    Choose(CPositionDlg::kIdCountry, 1);
    Choose(CPositionDlg::kIdCity, 2);  // Kassel, 50.0 / 10.0
    Type(CPositionDlg::kIdSatellite, "0192 typed by hand");
    Click(CPositionDlg::kIdGo);
    EXPECT_EQ(PciEMessages(), (std::vector<Bytes>{{0xE1, 0x31, 0x6E, 0xE0, 0xA2}}));
    // A remembered text that no item begins with leaves item 0 selected.
    m_pPage->InitialiseAgain();
    EXPECT_EQ(Text(CPositionDlg::kIdSatellite), "0130  Hot Bird 13");
}

// Regression: the city box was filled one sorted insertion at a time, which took seconds for a
// country of 20,000 cities. Both fills, the initialisation's and a country change's, must give
// the whole list in the sorted boxes' order, equal names in file order.
TEST_F(PositionerPageTest, ACountryOfTwentyThousandCitiesFillsTheCityBoxInSortedOrder) {
    const std::vector<std::string> cities = generated_names::Generate(20000);
    std::string sites;
    for (const std::string& city : cities) sites += "Vastland\t" + city + "\t50.0\t10.0\r\n";
    sites += "Zembla\tKarmakov\t70.0\t55.0\r\n";
    WriteSites(sites);
    WriteSatellite("Astra.ini", "0192", "Astra 1KR");

    std::vector<QString> sorted;
    for (const std::string& city : cities) sorted.push_back(QString::fromStdString(city));
    std::stable_sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return SortedCombo::Compare(a, b) < 0;
    });
    Texts expected;
    for (const QString& city : sorted) expected.push_back(city.toStdString());

    Open();
    ASSERT_EQ(ListItems(CPositionDlg::kIdCountry), (Texts{"Vastland", "Zembla"}));
    EXPECT_EQ(ListItems(CPositionDlg::kIdCity), expected) << "filled by the initialisation";
    EXPECT_EQ(Text(CPositionDlg::kIdCity), expected.front());

    Choose(CPositionDlg::kIdCountry, 1);
    EXPECT_EQ(ListItems(CPositionDlg::kIdCity), Texts{"Karmakov"}) << "the big list emptied";
    Choose(CPositionDlg::kIdCountry, 0);
    EXPECT_EQ(ListItems(CPositionDlg::kIdCity), expected) << "filled on a country change";
    EXPECT_EQ(Combo(CPositionDlg::kIdCity)->currentIndex(), 0);
    EXPECT_EQ(Text(CPositionDlg::kIdCity), expected.front());
}

// --- Go ---------------------------------------------------------------------------------------

TEST_F(PositionerPageTest, GoSendsOneGotoAngleMessageOnEachCarrier) {
    for (Carrier carrier : {Carrier::PciE, Carrier::Usb}) {
        SCOPED_TRACE(carrier == Carrier::PciE ? "PCI-E" : "USB");
        WriteDefaultFiles();
        Open(carrier);
        Choose(CPositionDlg::kIdCountry, 1);
        Choose(CPositionDlg::kIdCity, 2);
        ASSERT_EQ(Text(CPositionDlg::kIdLatitude), "50.0");
        ASSERT_EQ(Text(CPositionDlg::kIdLongitude), "10.0");
        Choose(CPositionDlg::kIdSatellite, 1);
        ASSERT_EQ(Text(CPositionDlg::kIdSatellite), "0192  Astra 1KR");
        Click(CPositionDlg::kIdGo);
        const std::vector<Bytes> records = DiseqcRecords();
        ASSERT_EQ(records.size(), 1u) << "no second transmission";
        const Bytes expected{0xE1, 0x31, 0x6E, 0xE0, 0xA2};
        if (carrier == Carrier::PciE) {
            EXPECT_EQ(records[0], PciERecord(expected));
        } else {
            ASSERT_EQ(records[0].size(), TunerControlRecord::kSize);
            const auto message = records[0].begin() + TunerControlRecord::kMessageOffset;
            EXPECT_EQ(Bytes(message, message + 5), expected);
        }
        TearDown();
    }
}

TEST_F(PositionerPageTest, EnterOnThePageIsGo) {
    WriteDefaultFiles();
    Open();
    EXPECT_TRUE(Item<QPushButton>(CPositionDlg::kIdGo)->property(kDefaultButtonProperty).toBool());
    Choose(CPositionDlg::kIdCountry, 1);
    Choose(CPositionDlg::kIdCity, 2);
    Choose(CPositionDlg::kIdSatellite, 1);
    QTest::keyClick(Item<QLineEdit>(CPositionDlg::kIdLatitude), Qt::Key_Return);
    EXPECT_EQ(PciEMessages(), (std::vector<Bytes>{{0xE1, 0x31, 0x6E, 0xE0, 0xA2}}));
}

// Regression: an empty or non-numeric text was read as 0, and "Go" (or Enter) turned the dish
// for a site at 0 N 0 E or to satellite 0.0 E.
TEST_F(PositionerPageTest, GoWithATextThatIsNotANumberReportsItAndSendsNothing) {
    struct Case {
        int id;
        const char* text;
    };
    const Case cases[] = {
        {CPositionDlg::kIdLatitude, ""},          {CPositionDlg::kIdLatitude, " "},
        {CPositionDlg::kIdLatitude, "abc"},       {CPositionDlg::kIdLatitude, "51.5abc"},
        {CPositionDlg::kIdLatitude, "50.0N"},     {CPositionDlg::kIdLongitude, ""},
        {CPositionDlg::kIdLongitude, "abc"},      {CPositionDlg::kIdLongitude, "51.5abc"},
        {CPositionDlg::kIdLongitude, "3.7 W"},    {CPositionDlg::kIdSatellite, ""},
        {CPositionDlg::kIdSatellite, "abc"},      {CPositionDlg::kIdSatellite, "5abc"},
        {CPositionDlg::kIdSatellite, "    0192"},
    };
    WriteDefaultFiles();
    Open();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " '" + c.text + "'");
        Type(CPositionDlg::kIdSatellite, "0192  Astra 1KR");
        Type(CPositionDlg::kIdLatitude, "50.0");
        Type(CPositionDlg::kIdLongitude, "10.0");
        Type(c.id, QString::fromLatin1(c.text));
        Driver().ClearCalls();
        Click(CPositionDlg::kIdGo);
        EXPECT_EQ(TakeBoxes(),
                  (std::vector<MessageBoxRequest>{
                      {PageHandle(), "Longitude or Latitude error!", "Error", MB_ICONSTOP}}));
        EXPECT_TRUE(Driver().Calls().empty());
    }
    // The satellite's position is its first four characters; what follows is its name, so
    // "51.5abc" is 5.15 degrees east. The same coordinates as above, as numbers, are sent.
    Type(CPositionDlg::kIdSatellite, "51.5abc");
    Type(CPositionDlg::kIdLatitude, " 50.0 ");
    Type(CPositionDlg::kIdLongitude, "10");
    Click(CPositionDlg::kIdGo);
    EXPECT_EQ(PciEMessages(), (std::vector<Bytes>{{0xE1, 0x31, 0x6E, 0xD0, 0x55}}));
}

TEST_F(PositionerPageTest, EnterOnAFirstOpenedPageWithoutSiteListSendsNothing) {
    // No city fills the boxes: one Enter is "Go" with both coordinates empty.
    WriteSatellite("Astra.ini", "0192", "Astra 1KR");
    Open();
    ASSERT_EQ(Text(CPositionDlg::kIdLatitude), "");
    ASSERT_EQ(Text(CPositionDlg::kIdLongitude), "");
    QTest::keyClick(Item<QLineEdit>(CPositionDlg::kIdLatitude), Qt::Key_Return);
    EXPECT_EQ(TakeBoxes(),
              (std::vector<MessageBoxRequest>{
                  {PageHandle(), "Longitude or Latitude error!", "Error", MB_ICONSTOP}}));
    EXPECT_TRUE(Driver().Calls().empty());
}

TEST_F(PositionerPageTest, AnUnreachableSatelliteIsReportedAndNothingIsSent) {
    WriteDefaultFiles();
    Open();
    Choose(CPositionDlg::kIdCountry, 1);
    Choose(CPositionDlg::kIdCity, 2);
    Choose(CPositionDlg::kIdSatellite, 2);
    ASSERT_EQ(Text(CPositionDlg::kIdSatellite), "3000  Amazonas 60W");  // 70 degrees away
    Click(CPositionDlg::kIdGo);
    EXPECT_EQ(TakeBoxes(), (std::vector<MessageBoxRequest>{
                               {PageHandle(), "Can not reach this satellite from your location!",
                                "Error", MB_ICONSTOP}}));
    EXPECT_TRUE(Driver().Calls().empty());
}

// --- Missing files ----------------------------------------------------------------------------

TEST_F(PositionerPageTest, WithoutTheSiteListTheListsStayEmptyAndChoosingACityReportsIt) {
    WriteSatellite("Astra.ini", "0192", "Astra 1KR");
    Open();
    EXPECT_EQ(ListItems(CPositionDlg::kIdCountry), Texts{});
    EXPECT_EQ(ListItems(CPositionDlg::kIdCity), Texts{});
    EXPECT_EQ(Text(CPositionDlg::kIdCountry), "");
    EXPECT_EQ(Text(CPositionDlg::kIdCity), "");
    EXPECT_EQ(ListItems(CPositionDlg::kIdSatellite), Texts{"0192  Astra 1KR"});
    EXPECT_EQ(TakeBoxes(), std::vector<MessageBoxRequest>{}) << "the lists are filled silently";

    // The city box's selection-change notification, which an empty box cannot give by the
    // keyboard.
    m_pPage->OnCityChanged();
    EXPECT_EQ(TakeBoxes(), (std::vector<MessageBoxRequest>{
                               {PageHandle(), "open file error!", AfxGetAppName(), MB_OK}}));
}

TEST_F(PositionerPageTest, ASiteListRemovedAfterCreationIsReportedWhenACityIsChosen) {
    WriteDefaultFiles();
    Open();
    Choose(CPositionDlg::kIdCity, 1);
    std::filesystem::remove(m_folder.File("CityList.txt"));
    Choose(CPositionDlg::kIdCity, 0);
    EXPECT_EQ(TakeBoxes(), (std::vector<MessageBoxRequest>{
                               {PageHandle(), "open file error!", AfxGetAppName(), MB_OK}}));
    EXPECT_EQ(Text(CPositionDlg::kIdLatitude), "48.21") << "the coordinates stay";
    EXPECT_EQ(Text(CPositionDlg::kIdLongitude), "16.37");
    // A country chosen now finds no cities, silently.
    Choose(CPositionDlg::kIdCountry, 1);
    EXPECT_EQ(ListItems(CPositionDlg::kIdCity), Texts{});
}

TEST_F(PositionerPageTest, WithoutSatelliteFilesTheSatelliteListIsEmpty) {
    WriteSites(kSites);
    Open();
    EXPECT_EQ(ListItems(CPositionDlg::kIdSatellite), Texts{});
    EXPECT_EQ(Text(CPositionDlg::kIdSatellite), "");
    EXPECT_EQ(ListItems(CPositionDlg::kIdCountry).size(), 2u);
}

// --- Controls ---------------------------------------------------------------------------------

TEST_F(PositionerPageTest, ControlsHaveTheirIdsKindsAndCaptions) {
    WriteDefaultFiles();
    Open();
    EXPECT_EQ(m_pPage->Title(), "Motor/Positioner");
    EXPECT_EQ(m_pPage->minimumSize(), DluToPixels(QSize(302, 158), m_pPage->BaseUnits()));
    for (int id : {CPositionDlg::kIdCountry, CPositionDlg::kIdCity, CPositionDlg::kIdSatellite}) {
        EXPECT_TRUE(Combo(id)->isEditable()) << id;
    }
    for (int id :
         {CPositionDlg::kIdLatitude, CPositionDlg::kIdLongitude, CPositionDlg::kIdPosition}) {
        EXPECT_NE(m_pPage->Item<QLineEdit>(id), nullptr) << id;
    }
    EXPECT_EQ(Item<QPushButton>(CPositionDlg::kIdGo)->text(), "Go");
    EXPECT_EQ(Item<QPushButton>(CPositionDlg::kIdStore)->text(), "Store");
    EXPECT_EQ(Item<QPushButton>(CPositionDlg::kIdGoto)->text(), "Goto");
    std::map<QString, QString> labels;
    for (QLabel* label : m_pPage->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (label->buddy() != nullptr) labels[label->buddy()->objectName()] = label->text();
    }
    EXPECT_EQ(labels, (std::map<QString, QString>{{"1092", "Country:"},
                                                  {"1086", "City:"},
                                                  {"1068", "Latitude:"},
                                                  {"1021", "Longitude:"},
                                                  {"1093", "Satellite:"},
                                                  {"1098", "Position:"}}));
}

TEST_F(PositionerPageTest, EveryControlHasAUniqueAccessibleName) {
    WriteDefaultFiles();
    Open();
    QList<QWidget*> controls =
        m_pPage->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QToolButton* arrow :
         m_pPage->GetDlgItem(CPositionDlg::kIdPositionSpin)->findChildren<QToolButton*>())
        controls.push_back(arrow);
    std::map<QString, int> count;
    for (QWidget* w : controls) {
        EXPECT_FALSE(w->accessibleName().isEmpty())
            << w->metaObject()->className() << " " << w->objectName().toStdString();
        ++count[w->accessibleName()];
    }
    for (const auto& [name, n] : count) EXPECT_EQ(n, 1) << name.toStdString();
    const std::vector<std::pair<int, QString>> names{
        {1092, "Country:"},   {1086, "City:"},
        {1068, "Latitude:"},  {1021, "Longitude:"},
        {1093, "Satellite:"}, {1115, "Go"},
        {1098, "Position:"},  {1097, "Position number up-down"},
        {1002, "Goto"},       {1100, "Step East"},
        {1004, "Step West"},  {1003, "Stop"},
        {1101, "Drive East"}, {1102, "Drive West"},
        {1099, "Store"},      {1005, "East limit"},
        {1006, "West limit"}, {1007, "Reset limits"},
    };
    for (const auto& [id, name] : names)
        EXPECT_EQ(m_pPage->GetDlgItem(id)->accessibleName(), name) << id;
    for (const char* group : {"Site", "Satellite", "Motor", "Limits"})
        EXPECT_EQ(count[group], 1) << group;
    EXPECT_EQ(count["Next position number"], 1);
    EXPECT_EQ(count["Previous position number"], 1);
}

TEST_F(PositionerPageTest, ControlsDoNotOverlapAndSitInsideTheirGroups) {
    WriteDefaultFiles();
    Open();
    std::vector<QWidget*> controls;
    std::map<QString, QRect> frames;
    for (QWidget* w : m_pPage->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (auto* box = qobject_cast<QGroupBox*>(w)) {
            frames[box->title()] = box->geometry();
        } else {
            controls.push_back(w);
        }
    }
    const QRect page(QPoint(0, 0), m_pPage->minimumSize());
    for (std::size_t i = 0; i < controls.size(); ++i) {
        EXPECT_TRUE(page.contains(controls[i]->geometry()))
            << controls[i]->accessibleName().toStdString();
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            EXPECT_FALSE(controls[i]->geometry().intersects(controls[j]->geometry()))
                << controls[i]->accessibleName().toStdString() << " / "
                << controls[j]->accessibleName().toStdString();
        }
    }
    for (const auto& [group, ids] : std::vector<std::pair<QString, std::vector<int>>>{
             {"Site", {1092, 1086, 1068, 1021}},
             {"Satellite", {1093, 1115}},
             {"Motor", {1100, 1004, 1101, 1102, 1003, 1098, 1097, 1099, 1002}},
             {"Limits", {1005, 1006, 1007}}}) {
        for (int id : ids)
            EXPECT_TRUE(frames[group].contains(m_pPage->GetDlgItem(id)->geometry())) << id;
    }
    for (const auto& [name, frame] : frames)
        EXPECT_TRUE(page.contains(frame)) << name.toStdString();
}

TEST_F(PositionerPageTest, TheScreenshotShowsEveryControlAndTheChosenSite) {
    WriteSites(
        "Germany\tHamburg\t53.5507\t9.993\r\n"
        "Germany\tBerlin\t52.5244\t13.4105\r\n"
        "Congo, The Democratic Republic of the\tKinshasa\t-4.3276\t15.3136\r\n");
    WriteSatellite("Astra.ini", "0192", "Astra 1KR");
    WriteSatellite("AzerSpace.ini", "0460", "AzerSpace-1Africasat-1a");
    Open();
    Choose(CPositionDlg::kIdCountry, 1);
    Choose(CPositionDlg::kIdCity, 1);
    Type(CPositionDlg::kIdPosition, "12");
    const CScreenshot shot(*m_pPage);
    EXPECT_EQ(shot.Image().size(), shot.ExpectedSize());
    EXPECT_GT(shot.Colours(), CScreenshot::kPlainColours)
        << "captions and frames, not a plain page";
    EXPECT_EQ(shot.BlankControls(), std::vector<std::string>{});
    EXPECT_TRUE(shot.Keep("motor_positioner_page.png"));
    // The typed position is drawn: without it its field looks different, the city's does not.
    QLineEdit* position = m_pPage->Item<QLineEdit>(CPositionDlg::kIdPosition);
    ASSERT_NE(position, nullptr);
    position->clear();
    const CScreenshot cleared(*m_pPage);
    EXPECT_GT(cleared.DifferingPixels(shot, position->geometry()), 0);
    EXPECT_EQ(cleared.DifferingPixels(shot, m_pPage->GetDlgItem(CPositionDlg::kIdCity)->geometry()),
              0);
}

}  // namespace
