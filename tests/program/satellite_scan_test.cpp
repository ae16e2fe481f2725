// The satellite scan in the whole program on the simulated card, its clock driven by the test:
// each transponder tuned with the Tuner Setting page's LNB and switch port, that page's fields and
// settings file left alone, the table the
// card's answers give on the Arden card and on the x-model card, Cancel and closing mid-scan
// tuning the page's own transponder again, the stored scan shown again, and the CSV export.
#include <fmt/format.h>

#include <QApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/ini_file.h"
#include "graph/lock_search_time.h"
#include "graph/tuner_session.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/transponders/scan_dialog.h"
#include "platform/ks/vendor_property_sets.h"
#include "program/sim_program.h"
#include "scan/scan_csv.h"
#include "services/service_scanner.h"
#include "sink/stream_tap_filter.h"
#include "support/temp_folder.h"

namespace {

using Dialog = CScanDialog;

// In the sky: 11362 H locks; 11464 H is empty; 12590 V carries input streams 1, 2 and 3; 12516 V
// is DVB-S2X, which only the x-model card demodulates.
constexpr const char* kSatelliteFile =
    "[SATTYPE]\n1=0192\n2=Scan Test\n[DVB]\n0=4\n"
    "1=11362,H,22000,2/3,DVB-S2,8PSK\n"
    "2=11464,H,22000,2/3,DVB-S2,8PSK\n"
    "3=12590,V,27500,3/5,DVB-S2,8PSK\n"
    "4=12516,V,30000,AUTO,DVB-S2\n";
constexpr const char* kSilentFile =
    "[SATTYPE]\n1=0192\n2=Silent\n[DVB]\n0=3\n"
    "1=11464,H,22000,2/3,DVB-S2,8PSK\n"
    "2=11480,H,22000,2/3,DVB-S2,8PSK\n"
    "3=11496,H,22000,2/3,DVB-S2,8PSK\n";

class SatelliteScanTest : public ::testing::TestWithParam<std::size_t> {
protected:
    SatelliteScanTest() : m_program(GetParam()) {}

    // Written before the window is shown, after the sky was read: its lines are not in the sky
    // unless the sky has them already.
    SatelliteFile Satellite(const char* name, const char* text) {
        const std::string path = m_program.File(std::string("Transponders/") + name);
        WriteWholeFile(path, text);
        // As the page has it: read with the folder, so it knows its file.
        for (SatelliteFile& satellite : ReadSatelliteFolder(m_program.File("Transponders"))) {
            if (satellite.fileName == name) return satellite;
        }
        ADD_FAILURE() << name << " was not read";
        return {};
    }
    // The scanner the page would hand over, fed by the tap as the page's is.
    std::shared_ptr<CServiceScanner> Scanner() {
        auto scanner = std::make_shared<CServiceScanner>();
        DefaultTunerSession().AddStreamConsumer(scanner);
        return scanner;
    }
    void Detach(const std::shared_ptr<CServiceScanner>& scanner) {
        DefaultTunerSession().RemoveStreamConsumer(scanner);
    }
    // Simulated time in steps of 100 ms until the scan ends; false when it has not after
    // `limitMs` of simulated time. The worker reads the card on the card's clock.
    bool RunUntilDone(Dialog& dialog, int limitMs = 60'000) {
        for (int ms = 0; ms < limitMs && dialog.IsScanning(); ms += 100) m_program.Step(100);
        return !dialog.IsScanning();
    }
    void Pass(int milliseconds) {
        for (int ms = 0; ms < milliseconds; ms += 100) m_program.Step(100);
    }
    void Start(CBDAUtilDlg& window) {
        EnterTransponder(window);
        m_program.DriveTicksByCardClock();
        ASSERT_TRUE(LockTp(window, m_program.Clock()));
    }

    CHangWatchdog m_watchdog{"SatelliteScanTest", std::chrono::seconds(60)};
    CSimProgram m_program;
};

std::vector<std::string> RowTexts(QTableWidget* table, int row) {
    std::vector<std::string> texts;
    texts.reserve(static_cast<std::size_t>(table->columnCount()));
    for (int column = 0; column < table->columnCount(); ++column)
        texts.push_back(table->item(row, column)->text().toStdString());
    return texts;
}

double Number(const std::string& text) {
    return std::stod(text);
}

// The simulated milliseconds of a trace line: "yyyy-mm-dd hh:mm:ss.mmm <simulated s> ...".
long SimMs(const std::string& line) {
    return std::lround(std::stod(line.substr(24)) * 1000);
}

// The table of the four transponders, on the Arden card (no DVB-S2X) and the x-model card; then
// the page's own transponder again, with its LNB and port as before; the scan stored; the Tuner
// Setting page's fields and settings file as they were.
TEST_P(SatelliteScanTest, EachTransponderIsTunedAndDescribed) {
    const bool xModel = GetParam() == CSimProgram::kHeath;
    const SatelliteFile satellite = Satellite("Scan-Test-19.2E.ini", kSatelliteFile);
    CSimProgramWindow window;
    RunModal(window, [&] {
        Start(window);
        CBdacontrolDlg& tuner = TunerPage(window);
        const auto scanner = Scanner();
        CScanDialog dialog(tuner, satellite, scanner, &window);
        dialog.Create();
        EXPECT_EQ(dialog.windowTitle(), "Scan of 19.2E  Scan Test");
        EXPECT_EQ(dialog.Item<QLineEdit>(Dialog::kIdStatus)->text(),
                  "No scan of this satellite yet. Start Scan tunes its 4 transponders in turn.");
        const std::string settings = m_program.File("VLK-TScap.ini");
        const std::string settingsBefore = ReadWholeFile(settings);
        const std::size_t traced = m_program.TraceText().size();
        dialog.Item<QPushButton>(Dialog::kIdStart)->click();
        EXPECT_TRUE(dialog.IsScanning());
        ASSERT_TRUE(RunUntilDone(dialog));

        QTableWidget* table = dialog.ResultTable();
        ASSERT_EQ(table->rowCount(), 4);
        const auto first = RowTexts(table, 0);
        EXPECT_EQ(std::vector<std::string>(first.begin(), first.begin() + 4),
                  (std::vector<std::string>{"11362", "H", "22000", "yes"}));
        EXPECT_GE(Number(first[4]), 0.3) << "the card locks 300 ms after the tune";
        EXPECT_LE(Number(first[4]), 0.45);
        EXPECT_NEAR(Number(first[6]), Number(first[5]) - 6.62, 0.11) << "8PSK 2/3 needs 6.62 dB";
        EXPECT_GT(Number(first[6]), 0.0);
        EXPECT_EQ(std::vector<std::string>(first.begin() + 7, first.end() - 1),
                  (std::vector<std::string>{"DVB-S2", "DVB-S2 8PSK 2/3", ""}));
        EXPECT_GT(Number(first[10]), 0.0) << "services";

        EXPECT_EQ(RowTexts(table, 1), (std::vector<std::string>{"11464", "H", "22000", "no", "", "",
                                                                "", "", "", "", ""}));
        const auto multi = RowTexts(table, 2);
        EXPECT_EQ(multi[3], "yes");
        EXPECT_EQ(multi[7], "DVB-S2");
        EXPECT_EQ(multi[8], "DVB-S2 8PSK 3/5");
        EXPECT_EQ(multi[9], "1 2 3") << "every input stream";
        EXPECT_GT(Number(multi[10]), 0.0);
        const auto s2x = RowTexts(table, 3);
        EXPECT_EQ(s2x[3], xModel ? "yes" : "no");
        EXPECT_EQ(s2x[7], xModel ? "DVB-S2X" : "");
        EXPECT_EQ(s2x[8], xModel ? "DVB-S2X QPSK 13/45" : "");
        EXPECT_FALSE(s2x[5].empty()) << "the card measures the carrier it cannot demodulate";
        EXPECT_EQ(s2x[6], "") << "no published figure for the extended codes";

        EXPECT_EQ(dialog.Item<QProgressBar>(Dialog::kIdProgress)->text(), "4 of 4");
        const std::string status = dialog.Item<QLineEdit>(Dialog::kIdStatus)->text().toStdString();
        EXPECT_EQ(status.rfind("Scan finished in ", 0), 0u) << status;
        EXPECT_NE(status.find(xModel ? ": 3 of 4 transponders locked."
                                     : ": 2 of 4 transponders "
                                       "locked."),
                  std::string::npos)
            << status;

        // Each tune went out with the page's LNB and port B, and the last was the page's own.
        const auto tunes = m_program.TraceLinesSince(traced);
        ASSERT_EQ(tunes.size(), 5u);
        const char* expected[] = {"tune 11362000 kHz", "tune 11464000 kHz", "tune 12590000 kHz",
                                  "tune 12516000 kHz", "tune 11362000 kHz"};
        for (std::size_t i = 0; i < tunes.size(); ++i) {
            EXPECT_NE(tunes[i].find(expected[i]), std::string::npos) << tunes[i];
            EXPECT_NE(tunes[i].find("LNB 9750000/10600000 kHz"), std::string::npos) << tunes[i];
            EXPECT_NE(tunes[i].find("port B"), std::string::npos) << tunes[i];
        }
        // 11464 H never locks: asked before its tune how long the card's search may take, the
        // scan tuned the next transponder once that had passed on the card's clock.
        const auto asked = m_program.TraceLinesSince(traced, "get KSPROPERTY_LOCK_SEARCH_TIME");
        ASSERT_EQ(asked.size(), 5u);
        const long searchMs = CSimCard::kLockSearchTicks / CSimClock::kTicksPerMs;
        EXPECT_GE(SimMs(tunes[2]) - SimMs(asked[1]), searchMs);
        EXPECT_LT(SimMs(tunes[2]) - SimMs(asked[1]), searchMs + 1000);
        const Transponder silent = tuner.ListedTransponder(11464, 22000, 0);
        EXPECT_EQ(LockSearchTime(DefaultTunerSession(), silent).count(), searchMs);
        m_program.Card().Faults().MakeUnsupported(KSPROPSETID_LockSearch,
                                                  KSPROPERTY_LOCK_SEARCH_TIME);
        EXPECT_EQ(LockSearchTime(DefaultTunerSession(), silent).count(), 3000)
            << "a card that does not say: 3 s at 22 MS/s";
        m_program.Card().Faults().Clear();
        EXPECT_EQ(tuner.FieldText(TunerField::Frequency), "11362");
        EXPECT_EQ(tuner.FieldText(TunerField::SymbolRate), "22000");
        EXPECT_EQ(tuner.PolarityIndex(), 0);
        EXPECT_FALSE(settingsBefore.empty());
        EXPECT_EQ(ReadWholeFile(settings), settingsBefore) << "byte for byte";

        // Stored, and exported byte for byte as stored.
        EXPECT_EQ(dialog.StorePath(), m_program.File("") + "config/Scans/Scan-Test-19.2E.csv")
            << "under the configuration folder";
        EXPECT_EQ(ReadWholeFile(dialog.StorePath()), scan_csv::Format(dialog.Rows()));
        EXPECT_TRUE(WithModalWindow(
            [&] { dialog.Item<QPushButton>(Dialog::kIdExport)->click(); },
            [&](QWidget& saveAs) { AnswerFileDialog(saveAs, m_program.File("export.csv")); }));
        EXPECT_EQ(ReadWholeFile(m_program.File("export.csv")), scan_csv::Format(dialog.Rows()));
        dialog.DestroyWindow();
        Detach(scanner);
        window.close();
    });
}

INSTANTIATE_TEST_SUITE_P(Cards, SatelliteScanTest,
                         ::testing::Values(CSimProgram::kArden, CSimProgram::kHeath),
                         [](const ::testing::TestParamInfo<std::size_t>& card) {
                             return card.param == CSimProgram::kArden ? "Arden" : "Heath";
                         });

class SatelliteScanArdenTest : public SatelliteScanTest {};

// Cancel Scan, Escape and closing the dialog mid-scan each stop within the transponder under way
// and tune the page's own transponder again; nothing is stored.
TEST_P(SatelliteScanArdenTest, StoppingMidScanTunesThePageTransponderAgain) {
    const SatelliteFile satellite = Satellite("Silent-19.2E.ini", kSilentFile);
    CSimProgramWindow window;
    RunModal(window, [&] {
        Start(window);
        CBdacontrolDlg& tuner = TunerPage(window);
        for (const char* how : {"Cancel Scan", "Escape", "Close"}) {
            SCOPED_TRACE(how);
            CScanDialog dialog(tuner, satellite, nullptr, &window);
            dialog.Create();
            dialog.activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
            const std::size_t traced = m_program.TraceText().size();
            dialog.Item<QPushButton>(Dialog::kIdStart)->click();
            Pass(1000);  // the first of three waits the card's 1.3 s for a lock
            ASSERT_TRUE(dialog.IsScanning());
            if (std::string(how) == "Cancel Scan") {
                dialog.Item<QPushButton>(Dialog::kIdCancelScan)->click();
            } else if (std::string(how) == "Escape") {
                QTest::keyClick(dialog.ResultTable(), Qt::Key_Escape);
            } else {
                dialog.Item<QPushButton>(Dialog::kIdClose)->click();
            }
            EXPECT_FALSE(dialog.Item<QPushButton>(Dialog::kIdCancelScan)->isEnabled());
            // The page's transponder is tuned again off the window's thread; the scan ends then.
            EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.IsScanning(); }, 5000));
            EXPECT_EQ(dialog.isVisible(), std::string(how) != "Close") << "only Close closes";
            EXPECT_TRUE(tuner.Item<QPushButton>(CBdacontrolDlg::kIdLockTp)->isEnabled());
            const auto tunes = m_program.TraceLinesSince(traced);
            ASSERT_EQ(tunes.size(), 2u);
            EXPECT_NE(tunes[0].find("tune 11464000 kHz"), std::string::npos) << tunes[0];
            EXPECT_NE(tunes[1].find("tune 11362000 kHz"), std::string::npos) << tunes[1];
            EXPECT_EQ(tuner.FieldText(TunerField::Frequency), "11362");
            EXPECT_EQ(dialog.ResultTable()->rowCount(), 0);
            if (std::string(how) != "Close") {
                EXPECT_EQ(dialog.Item<QLineEdit>(Dialog::kIdStatus)->text(),
                          "Scan cancelled after 0 of 3 transponders (0 locked); the Tuner Setting "
                          "page's transponder is tuned again.");
            }
            Pass(3000);
            EXPECT_EQ(m_program.TraceLinesSince(traced).size(), 2u)
                << "nothing tuned after the stop";
            EXPECT_FALSE(std::filesystem::exists(dialog.StorePath()));
            dialog.DestroyWindow();
        }
        // Enter on the table neither closes the dialog nor stops the scan.
        CScanDialog dialog(tuner, satellite, nullptr, &window);
        dialog.Create();
        dialog.Item<QPushButton>(Dialog::kIdStart)->click();
        dialog.ResultTable()->setFocus();
        QTest::keyClick(dialog.ResultTable(), Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.IsScanning());
        ASSERT_TRUE(RunUntilDone(dialog));
        EXPECT_EQ(dialog.ResultTable()->rowCount(), 3);
        dialog.DestroyWindow();
        window.close();
    });
}

// A finished scan is there again when the dialog opens anew, sorted by any column with the
// unknown values last; every control is named and reached by Tab.
TEST_P(SatelliteScanArdenTest, TheLastScanIsShownAgainSortableAndReachable) {
    const SatelliteFile satellite = Satellite("Scan-Test-19.2E.ini", kSatelliteFile);
    CSimProgramWindow window;
    RunModal(window, [&] {
        Start(window);
        CBdacontrolDlg& tuner = TunerPage(window);
        const auto scanner = Scanner();
        std::vector<ScanRow> scanned;
        {
            CScanDialog dialog(tuner, satellite, scanner, &window);
            dialog.Create();
            dialog.Item<QPushButton>(Dialog::kIdStart)->click();
            ASSERT_TRUE(RunUntilDone(dialog));
            scanned = dialog.Rows();
            dialog.DestroyWindow();
        }
        CScanDialog dialog(tuner, satellite, scanner, &window);
        dialog.Create();
        EXPECT_EQ(dialog.Rows(), scanned);
        QTableWidget* table = dialog.ResultTable();
        ASSERT_EQ(table->rowCount(), 4);
        const QString status = dialog.Item<QLineEdit>(Dialog::kIdStatus)->text();
        EXPECT_TRUE(status.startsWith("Last scan of ")) << status.toStdString();
        EXPECT_TRUE(status.endsWith(": 2 of 4 transponders locked.")) << status.toStdString();

        // C/N: 11464 has none; ascending and descending keep it last.
        for (const Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            table->sortByColumn(5, order);
            std::vector<double> values;
            values.reserve(3);
            for (int row = 0; row < 3; ++row)
                values.push_back(table->item(row, 5)->text().toDouble());
            EXPECT_TRUE(order == Qt::AscendingOrder
                            ? std::is_sorted(values.begin(), values.end())
                            : std::is_sorted(values.rbegin(), values.rend()));
            EXPECT_EQ(table->item(3, 0)->text(), "11464") << "unknown last";
        }
        // Frequencies as numbers: 11362 < 11464 < 12516 < 12590.
        table->sortByColumn(0, Qt::AscendingOrder);
        EXPECT_EQ(table->item(2, 0)->text(), "12516");

        // Names, unique; Tab from Start reaches every control that takes input.
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        std::set<QString> names;
        for (const QWidget* w :
             dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
            EXPECT_TRUE(names.insert(w->accessibleName()).second)
                << w->accessibleName().toStdString();
        }
        std::set<QString> reached;
        dialog.Item<QPushButton>(Dialog::kIdStart)->setFocus();
        for (int i = 0; i < 10; ++i) {
            reached.insert(QApplication::focusWidget()->objectName());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        for (const int id : {Dialog::kIdStart, Dialog::kIdStatus, Dialog::kIdResults,
                             Dialog::kIdExport, Dialog::kIdClose})
            EXPECT_TRUE(reached.count(QString::number(id))) << id;
        dialog.DestroyWindow();
        Detach(scanner);
        window.close();
    });
}

// A big satellite file of 5,000 transponders: the first thousand in the C band, which the scan
// passes over at once behind the Ku LNB (rows at once), the rest across the Ku band at a symbol
// rate no carrier of the sky has, so none locks and each waits out the card's search time.
constexpr int kBigFileSize = 5000;
constexpr int kPassedOver = 1000;
double BigFileFrequency(int index) {
    return index < kPassedOver ? 3400.0 + index * 0.2 : 10700.0 + (index - kPassedOver) * 0.5;
}
std::string BigSatelliteFile() {
    std::string text = fmt::format("[SATTYPE]\n1=0192\n2=Big\n[DVB]\n0={}\n", kBigFileSize);
    for (int i = 0; i < kBigFileSize; ++i) {
        text += fmt::format("{}={:.2f},{},12345,3/4,DVB-S2,QPSK\n", i + 1, BigFileFrequency(i),
                            i % 2 == 0 ? 'H' : 'V');
    }
    return text;
}

// Measures how long the window's event loop goes without serving a timer of 5 ms: the longest
// time a user's click or repaint would have waited.
class CWindowAnswerProbe {
public:
    CWindowAnswerProbe() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = std::chrono::steady_clock::now();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_last = std::chrono::steady_clock::now();
        m_timer.start();
    }
    // The longest wait so far, up to now.
    std::chrono::milliseconds Longest() const {
        const auto sinceLast = std::chrono::steady_clock::now() - m_last;
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::max(m_longest, sinceLast));
    }

private:
    QTimer m_timer;
    std::chrono::steady_clock::time_point m_last;
    std::chrono::steady_clock::duration m_longest{};
};

// A regression: with a big satellite file Cancel Scan froze the window for seconds, and every new
// row rebuilt and re-sorted the whole table (with the columns measured again at every cell: more
// than a minute here). Now rows come one by one into a table of a thousand, and the window answers
// within 100 ms of the Cancel and during the re-tune of the page's transponder after it.
TEST_P(SatelliteScanArdenTest, CancelOnABigSatelliteLeavesTheWindowAnswering) {
    constexpr int kTunedBeforeCancel = 8;
    const SatelliteFile satellite = Satellite("Big-19.2E.ini", BigSatelliteFile().c_str());
    ASSERT_EQ(satellite.transponders.size(), static_cast<std::size_t>(kBigFileSize));
    CSimProgramWindow window;
    RunModal(window, [&] {
        Start(window);
        CBdacontrolDlg& tuner = TunerPage(window);
        CScanDialog dialog(tuner, satellite, nullptr, &window);
        dialog.Create();
        dialog.ResultTable()->sortByColumn(0, Qt::DescendingOrder);
        const std::size_t traced = m_program.TraceText().size();
        dialog.Item<QPushButton>(Dialog::kIdStart)->click();
        QTableWidget* table = dialog.ResultTable();
        // The thousand passed over come in one batch, sorted once.
        ASSERT_EQ(table->rowCount(), kPassedOver);
        // Simulated time runs on while the window serves its events, so each time-out starts
        // whenever the tune before it has ended.
        const auto rowsShown = [&](int rows) {
            if (table->rowCount() >= rows) return true;
            m_program.Clock().AdvanceMs(250);
            return false;
        };
        const int rowsBeforeCancel = kPassedOver + kTunedBeforeCancel;
        ASSERT_TRUE(QTest::qWaitFor([&] { return rowsShown(rowsBeforeCancel); }, 10'000));
        // From here on simulated time stands still: every wait is the window's own.
        CWindowAnswerProbe probe;
        QTest::qWait(20);
        dialog.Item<QPushButton>(Dialog::kIdCancelScan)->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.IsScanning(); }, 5000));
        QTest::qWait(50);
        EXPECT_LT(probe.Longest().count(), 100) << "ms the window did not answer";

        // The rows scanned, in the order the user chose: the tuned ones first, the highest first.
        ASSERT_EQ(table->rowCount(), rowsBeforeCancel);
        for (int row = 0; row < kTunedBeforeCancel; ++row) {
            EXPECT_EQ(table->item(row, 0)->text().toStdString(),
                      fmt::format("{:g}", BigFileFrequency(rowsBeforeCancel - 1 - row)));
        }
        EXPECT_EQ(table->item(rowsBeforeCancel - 1, 0)->text().toStdString(), "3400");
        EXPECT_EQ(dialog.Item<QProgressBar>(Dialog::kIdProgress)->text().toStdString(),
                  fmt::format("{} of 5000", rowsBeforeCancel));
        EXPECT_EQ(dialog.Item<QLineEdit>(Dialog::kIdStatus)->text().toStdString(),
                  fmt::format("Scan cancelled after {} of 5000 transponders (0 locked); the Tuner "
                              "Setting page's transponder is tuned again.",
                              rowsBeforeCancel));
        const auto tunes = m_program.TraceLinesSince(traced);
        ASSERT_EQ(tunes.size(), kTunedBeforeCancel + 2u) << "one more began before the Cancel";
        EXPECT_NE(tunes.back().find("tune 11362000 kHz"), std::string::npos) << tunes.back();
        dialog.DestroyWindow();
        window.close();
    });
}

INSTANTIATE_TEST_SUITE_P(Arden, SatelliteScanArdenTest, ::testing::Values(CSimProgram::kArden));

}  // namespace
