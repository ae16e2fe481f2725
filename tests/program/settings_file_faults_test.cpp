// Broken settings files, in the whole program on the simulated card: VLK-TScap.ini (Tuner
// Setting page) and VLK-IPdata.ini (mode codes) that cannot be read (a folder, a pipe without a
// writer, an endless device), are huge, are binary or end in the middle of a line. The program
// starts without a message, shows the defaults for whatever it could not read, and a later save
// writes a file that the next start reads back; a file it cannot replace is left as it was, and
// the user is told so once.
#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "core/ini_file.h"
#include "core/settings_file.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/settings/mode_dlg.h"
#include "program/sim_program.h"
#include "status/signal_monitor.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

enum class Fault {
    Folder,             // a folder where the file should be
    PipeWithoutWriter,  // a named pipe that nobody writes into
    EndlessDevice,      // a link to /dev/zero: reading never ends
    Huge,               // 10 MB of another section's 1 kB lines, a 2 MB last line without an end
    Binary,             // 1 MB of random bytes, NUL and line ends among them
    CutInHeader,        // ends inside "[Config]"
    CutInValue,         // a sound file that ends inside a value
};

struct FaultCase {
    const char* name;
    Fault fault;
};

void PrintTo(const FaultCase& test, std::ostream* out) {
    *out << test.name;
}

const FaultCase kFaults[] = {
    {"Folder", Fault::Folder},
    {"PipeWithoutWriter", Fault::PipeWithoutWriter},
    {"EndlessDevice", Fault::EndlessDevice},
    {"Huge", Fault::Huge},
    {"Binary", Fault::Binary},
    {"CutInHeader", Fault::CutInHeader},
    {"CutInValue", Fault::CutInValue},
};

const std::string& HugeContent() {
    static const std::string content = [] {
        std::string text = "[Other]\n";
        text.reserve(std::size_t{13} << 20);
        for (int i = 0; text.size() < (std::size_t{10} << 20); ++i) {
            text += "key" + std::to_string(i) + "=" + std::string(1000, 'x') + "\n";
        }
        return text + "tail=" + std::string(std::size_t{2} << 20, 'y');
    }();
    return content;
}

const std::string& BinaryContent() {
    static const std::string content = [] {
        std::mt19937 random(20240229);
        std::string bytes(std::size_t{1} << 20, '\0');
        for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
        return bytes;
    }();
    return content;
}

// A file that a program at the start cannot take apart: it must not make the file "sound" in its
// place (the user's folder, pipe or link stays).
bool IsSpecial(Fault fault) {
    return fault == Fault::Folder || fault == Fault::PipeWithoutWriter ||
           fault == Fault::EndlessDevice;
}

// Puts the fault at `path`; `cutValue` is the sound text that CutInValue cuts.
void MakeFault(Fault fault, const std::string& path, const std::string& cutValue) {
    switch (fault) {
        case Fault::Folder:
            fs::create_directory(path);
            WriteWholeFile(path + "/inside", "kept");
            break;
        case Fault::PipeWithoutWriter:
            ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
            break;
        case Fault::EndlessDevice:
            fs::create_symlink("/dev/zero", path);
            break;
        case Fault::Huge:
            WriteWholeFile(path, HugeContent());
            break;
        case Fault::Binary:
            WriteWholeFile(path, BinaryContent());
            break;
        case Fault::CutInHeader:
            WriteWholeFile(path, "[Con");
            break;
        case Fault::CutInValue:
            WriteWholeFile(path, cutValue);
            break;
    }
}

// The special file is still what the user had.
void ExpectLeftAsItWas(Fault fault, const std::string& path) {
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    switch (fault) {
        case Fault::Folder:
            EXPECT_TRUE(S_ISDIR(info.st_mode));
            EXPECT_EQ(ReadWholeFile(path + "/inside"), "kept");
            break;
        case Fault::PipeWithoutWriter:
            EXPECT_TRUE(S_ISFIFO(info.st_mode));
            break;
        case Fault::EndlessDevice:
            ASSERT_TRUE(S_ISLNK(info.st_mode));
            EXPECT_EQ(fs::read_symlink(path), "/dev/zero");
            break;
        default:
            break;
    }
}

// Bytes the save must not take from the user: what stood before its own section.
std::string KeptBytes(Fault fault) {
    if (fault == Fault::Huge) return HugeContent();
    if (fault == Fault::Binary) return BinaryContent();
    return {};
}

class SettingsFileFaultsTest : public SimProgramTest,
                               public ::testing::WithParamInterface<FaultCase> {
protected:
    Fault TheFault() const { return GetParam().fault; }
    // The one box of the run for a file that cannot be replaced; none for the others.
    std::vector<std::string> SaveFailureBoxes(const std::string& path) const {
        if (!IsSpecial(TheFault())) return {};
        return {settings_file::FailureText(path, TheFault() == Fault::Folder ? EISDIR : EINVAL)};
    }
};

// --- VLK-TScap.ini --------------------------------------------------------------------------

using TunerSettingsFileTest = SettingsFileFaultsTest;

// What the Tuner Setting page shows: the five fields, the three selectors and the code.
struct TunerPageView {
    std::map<int, QString> fields;
    int polarity = 0;
    int diseqc = 0;
    int codeType = 0;
    QString code;

    static TunerPageView Of(CBDAUtilDlg& window) {
        CBdacontrolDlg& page = TunerPage(window);
        TunerPageView view;
        for (int id : {CBdacontrolDlg::kIdFrequency, CBdacontrolDlg::kIdSymbolRate,
                       CBdacontrolDlg::kIdLnbLow, CBdacontrolDlg::kIdLnbHigh,
                       CBdacontrolDlg::kIdLnbSwitch}) {
            view.fields[id] = page.Item<QLineEdit>(id)->text();
        }
        view.polarity = page.Item<QComboBox>(CBdacontrolDlg::kIdPolarity)->currentIndex();
        view.diseqc = page.Item<QComboBox>(CBdacontrolDlg::kIdDiseqc)->currentIndex();
        view.codeType = page.Item<QComboBox>(CBdacontrolDlg::kIdCodeType)->currentIndex();
        view.code = page.Item<QLineEdit>(CBdacontrolDlg::kIdCode)->text();
        return view;
    }
    bool operator==(const TunerPageView&) const = default;
};

void PrintTo(const TunerPageView& view, std::ostream* out) {
    for (const auto& [id, text] : view.fields) *out << id << "=\"" << text.toStdString() << "\" ";
    *out << "polarity " << view.polarity << ", diseqc " << view.diseqc << ", code type "
         << view.codeType << ", code \"" << view.code.toStdString() << "\"";
}

// A first start without a file: empty fields, "Horizontal", "Diseqc NULL", "Root Code", code 0.
TunerPageView Defaults() {
    TunerPageView view;
    for (int id :
         {CBdacontrolDlg::kIdFrequency, CBdacontrolDlg::kIdSymbolRate, CBdacontrolDlg::kIdLnbLow,
          CBdacontrolDlg::kIdLnbHigh, CBdacontrolDlg::kIdLnbSwitch}) {
        view.fields[id] = "";
    }
    view.code = "0";
    return view;
}

// What EnterTransponder types and selects.
TunerPageView Entered() {
    TunerPageView view = Defaults();
    view.fields = {{CBdacontrolDlg::kIdFrequency, "11362"},
                   {CBdacontrolDlg::kIdSymbolRate, "22000"},
                   {CBdacontrolDlg::kIdLnbLow, "9750"},
                   {CBdacontrolDlg::kIdLnbHigh, "10600"},
                   {CBdacontrolDlg::kIdLnbSwitch, "11700"}};
    view.diseqc = 2;
    return view;
}

constexpr const char* kCutTunerSettings =
    "[Config]\r\npolarity=1\r\ndiseqc=3\r\ngoldcode=4242\r\ngoldtype=1\r\nfreq=1174";

TEST_P(TunerSettingsFileTest, TheProgramStartsWithTheDefaultsAndALaterSaveWritesASoundFile) {
    const std::string path = m_program.File("VLK-TScap.ini");
    MakeFault(TheFault(), path, kCutTunerSettings);

    TunerPageView expected = Defaults();
    if (TheFault() == Fault::CutInValue) {
        expected.fields[CBdacontrolDlg::kIdFrequency] = "1174";
        expected.polarity = 1;
        expected.diseqc = 3;
        expected.code = "4242";  // the stored type is kept, the selector stays at "Root Code"
    }
    CSimProgramWindow window;
    const int result = RunModal(window, [&] {
        EXPECT_EQ(TunerPageView::Of(window), expected);
        EnterTransponder(window);
        EXPECT_TRUE(LockTp(window, m_program.Clock())) << "the card did not lock";
        window.close();
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(m_program.Boxes().Texts(), SaveFailureBoxes(path));

    if (IsSpecial(TheFault())) {
        ExpectLeftAsItWas(TheFault(), path);
        return;
    }
    // The stored code and its type, read before the cut, are kept.
    const bool cut = TheFault() == Fault::CutInValue;
    const std::map<std::string, std::string> saved = {
        {"polarity", "0"},
        {"diseqc", "2"},
        {"goldcode", cut ? "4242" : "0"},
        {"goldtype", cut ? "1" : "0"},
        {"freq", "11362"},
        {"symbol", "22000"},
        {"lnblow", "9750"},
        {"lnbhigh", "10600"},
        {"lnbswitch", "11700"},
    };
    for (const auto& [key, value] : saved)
        EXPECT_EQ(ReadIniString(path, "Config", key), value) << key;
    const std::string kept = KeptBytes(TheFault());
    EXPECT_TRUE(ReadWholeFile(path).starts_with(kept)) << "the save dropped bytes of the file";

    // The next start reads back what was saved.
    CSimProgramWindow next;
    TunerPageView entered = Entered();
    if (cut) entered.code = "4242";
    RunModal(next, [&] {
        EXPECT_EQ(TunerPageView::Of(next), entered);
        next.close();
    });
}

INSTANTIATE_TEST_SUITE_P(Faults, TunerSettingsFileTest, ::testing::ValuesIn(kFaults),
                         [](const auto& test) { return std::string(test.param.name); });

// --- VLK-IPdata.ini -------------------------------------------------------------------------

using ModeCodeFileTest = SettingsFileFaultsTest;

std::set<int> CheckedBoxes(CModeDlg& dialog) {
    std::set<int> checked;
    for (std::size_t i = 0; i < CModeDlg::kBoxIds.size(); ++i) {
        if (dialog.Item<QCheckBox>(CModeDlg::kBoxIds[i])->isChecked())
            checked.insert(static_cast<int>(i));
    }
    return checked;
}

constexpr const char* kCutModeCodes =
    "[Config]\r\nModCodeAll=0\r\nModCodeCheck_0=1\r\nModCodeCheck_2=1\r\nModCodeCheck_5=";

TEST_P(ModeCodeFileTest, TheDialogOpensWithTheDefaultsAndALaterOkWritesASoundFile) {
    const std::string path = m_program.File("VLK-IPdata.ini");
    MakeFault(TheFault(), path, kCutModeCodes);

    const std::set<int> expected =
        TheFault() == Fault::CutInValue ? std::set<int>{0, 2} : std::set<int>{};
    const std::set<int> chosen{3, 12};  // QPSK 1/2 and 8PSK 2/3: mode codes 4 and 13
    CSimProgramWindow window;
    const int result = RunModal(window, [&] {
        WithModeDialog(window, [&](CModeDlg& dialog) {
            EXPECT_FALSE(dialog.Item<QCheckBox>(CModeDlg::kIdAll)->isChecked());
            EXPECT_EQ(CheckedBoxes(dialog), expected);
            for (std::size_t i = 0; i < CModeDlg::kBoxIds.size(); ++i) {
                const bool want = chosen.contains(static_cast<int>(i));
                if (dialog.Item<QCheckBox>(CModeDlg::kBoxIds[i])->isChecked() != want) {
                    ClickCheckBox(dialog, CModeDlg::kBoxIds[i]);
                }
            }
            QTest::mouseClick(dialog.Item<QPushButton>(IDOK), Qt::LeftButton);
        });
        window.close();
    });
    EXPECT_EQ(result, IDCANCEL);
    // A file that cannot be written does not stop the choice from reaching the driver.
    std::vector<std::string> boxes = SaveFailureBoxes(path);
    boxes.emplace_back("Successfully set the Mode Codes..");
    EXPECT_EQ(m_program.Boxes().Texts(), boxes);
    EXPECT_NE(m_program.TraceText().find("MODCOD filter, 8 entries, passes MODCOD 4 13"),
              std::string::npos);

    if (IsSpecial(TheFault())) {
        ExpectLeftAsItWas(TheFault(), path);
        return;
    }
    EXPECT_EQ(ReadIniString(path, "Config", "ModCodeAll"), "0");
    for (std::size_t i = 0; i < CModeDlg::kBoxIds.size(); ++i) {
        EXPECT_EQ(ReadIniString(path, "Config", "ModCodeCheck_" + std::to_string(i)),
                  chosen.contains(static_cast<int>(i)) ? "1" : "0")
            << i;
    }
    EXPECT_TRUE(ReadWholeFile(path).starts_with(KeptBytes(TheFault())))
        << "the save dropped bytes of the file";

    // The next time the dialog opens it shows what was saved.
    CSimProgramWindow next;
    RunModal(next, [&] {
        WithModeDialog(next, [&](CModeDlg& dialog) { EXPECT_EQ(CheckedBoxes(dialog), chosen); });
        next.close();
    });
}

INSTANTIATE_TEST_SUITE_P(Faults, ModeCodeFileTest, ::testing::ValuesIn(kFaults),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace

// --- Bytes of the values ------------------------------------------------------------------------

// A value as the user's file holds it, in every text field of the Tuner Setting page.
struct ValueBytesCase {
    const char* name;
    const char* bytes;
    int units;  // UTF-16 units the field holds: a byte that is not UTF-8 stands for one
};

void PrintTo(const ValueBytesCase& test, std::ostream* out) {
    *out << test.name;
}

const ValueBytesCase kValueBytes[] = {
    {"NotUtf8", "\xff\xfe", 2},
    {"LoneLeadByte", "\xc3", 1},
    {"DigitsThenCutSequence", "11700\xe2\x82", 7},
    {"EncodedSurrogate", "\xed\xb2\x80", 3},
    {"ValidUtf8", "Z\xc3\xbcrich \xe2\x82\xac \xf0\x9f\x9b\xb0", 11},  // the satellite takes two
};

class SettingsValueBytesTest : public SimProgramTest,
                               public ::testing::WithParamInterface<ValueBytesCase> {};

// Values that are not UTF-8 used to come back as U+FFFD (EF BF BD) for every bad byte once the
// page had shown and saved them. The file is written as the page writes it, so a faithful load
// and save leaves every byte where it was.
TEST_P(SettingsValueBytesTest, ALoadAndSaveOfThePageKeepsEveryByteOfTheValues) {
    const std::string path = m_program.File("VLK-TScap.ini");
    const std::string value = GetParam().bytes;
    std::string content = "[Config]\r\npolarity=1\r\ndiseqc=2\r\ngoldcode=7\r\ngoldtype=0\r\n";
    for (const char* key : {"freq", "symbol", "lnblow", "lnbhigh", "lnbswitch"})
        content += std::string(key) + "=" + value + "\r\n";
    WriteWholeFile(path, content);

    CSimProgramWindow window;
    QString shown;
    RunModal(window, [&] {
        shown = TunerPage(window).Item<QLineEdit>(CBdacontrolDlg::kIdLnbSwitch)->text();
        window.close();
    });
    EXPECT_EQ(ReadWholeFile(path), content);
    EXPECT_EQ(shown.size(), GetParam().units);
    // Valid text is shown as it reads.
    if (GetParam().name == std::string_view("ValidUtf8")) {
        EXPECT_EQ(shown, QString::fromUtf8(value));
    }
    EXPECT_TRUE(m_program.Boxes().Texts().empty())
        << ::testing::PrintToString(m_program.Boxes().Texts());
}

INSTANTIATE_TEST_SUITE_P(Faults, SettingsValueBytesTest, ::testing::ValuesIn(kValueBytes),
                         [](const auto& test) { return std::string(test.param.name); });
