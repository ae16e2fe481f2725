// The transponder page in the whole program on the simulated card: a transponder from the list
// is tuned exactly as "Lock TP" tunes it; the user's story of tuning from the list, reading the
// signal in decibels and the services, and watching one while a recording runs.
#include "pages/transponders/transponder_page.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/ini_file.h"
#include "data/listed_transponder.h"
#include "data/satellite_file.h"
#include "drivers/sim/sim_test_rig.h"
#include "graph/tuner_session.h"
#include "pages/record/uti_virtual_damon_dlg.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/transponders/dish_window.h"
#include "pages/transponders/scan_dialog.h"
#include "platform/ui/qt/property_sheet.h"
#include "platform/win/known_folders.h"
#include "program/sim_program.h"
#include "services/service_scanner.h"
#include "support/process_state.h"
#include "support/screenshot.h"
#include "support/temp_folder.h"

namespace {

using Page = CTransponderPage;

class TransponderPageTest : public SimProgramTest {
protected:
    // Tunes the list's transponder with Enter, with the Tuner Setting page's LNB and port, and
    // waits for LOCKED.
    bool LockFromTheList(CBDAUtilDlg& window) {
        EnterTransponder(window);
        Page& page = TransponderPage(window);
        page.TransponderTable()->setCurrentCell(0, 0);
        QTest::keyClick(page.TransponderTable(), Qt::Key_Return);
        m_program.Clock().AdvanceMs(400);
        return QTest::qWaitFor(
            [&] { return window.Item<QLineEdit>(CBDAUtilDlg::kIdLockText)->text() == "LOCKED"; });
    }
    void Stream(int milliseconds) {
        for (int ms = 0; ms < milliseconds; ms += 50) m_program.Clock().AdvanceMs(50);
    }
    // Puts the five files at 19.2 E of the program's own folder into the test's; returns the
    // frequency and polarisation of every transponder they list.
    std::set<std::pair<std::string, std::string>> UseTheFilesAt192E() {
        std::set<std::pair<std::string, std::string>> listed;
        for (const char* name : {"Astra-19.2E.ini", "Astra-1KR-19.2E.ini", "Astra-1L-19.2E.ini",
                                 "Astra-1M-19.2E.ini", "Astra-1N-19.2E.ini"}) {
            const std::string target = m_program.File("Transponders/") + name;
            if (!std::filesystem::exists(target))
                std::filesystem::copy_file(BuildTranspondersFolder() + "/" + name, target);
            const std::optional<SatelliteFile> file = ReadSatelliteFile(target);
            EXPECT_TRUE(file) << target;
            if (!file) continue;
            for (const SatelliteTransponder& transponder : file->transponders) {
                listed.emplace(TransponderRowTexts(transponder)[0],
                               std::string(1, transponder.polarisation));
            }
        }
        return listed;
    }
};

// Enter and a double-click both tune: the card hears one tune with the Tuner Setting page's LNB
// and port, and that page's fields and settings file stay as the user left them.
TEST_F(TransponderPageTest, AListedTransponderIsTunedAsLockTpTunesIt) {
    for (const bool byEnter : {true, false}) {
        SCOPED_TRACE(byEnter ? "Enter" : "double-click");
        CSimProgramWindow window;
        RunModal(window, [&] {
            EnterTransponder(window);
            CBdacontrolDlg& tuner = TunerPage(window);
            tuner.Item<QLineEdit>(CBdacontrolDlg::kIdFrequency)->setText("12000");
            tuner.Item<QLineEdit>(CBdacontrolDlg::kIdSymbolRate)->setText("27500");
            Choose(tuner.Item<QComboBox>(CBdacontrolDlg::kIdPolarity), 1);

            Page& page = TransponderPage(window);
            auto* satellites = page.Item<QComboBox>(Page::kIdSatellite);
            ASSERT_EQ(satellites->count(), 1);
            EXPECT_EQ(satellites->currentText(), "19.2E  Astra");
            QTableWidget* table = page.TransponderTable();
            ASSERT_EQ(table->rowCount(), 1);
            const char* row[] = {"11362", "H", "22000", "DVB-S2", "8PSK", "2/3"};
            for (int column = 0; column < 6; ++column)
                EXPECT_EQ(table->item(0, column)->text(), row[column]) << "column " << column;

            const std::string settings = m_program.File("VLK-TScap.ini");
            const std::string settingsBefore = ReadWholeFile(settings);
            const std::size_t tracedBefore = m_program.TraceText().size();
            DefaultTunerSession().m_bSignalLocked = 0;
            table->setFocus();
            if (byEnter) {
                QTest::keyClick(table, Qt::Key_Return);
            } else {
                const QRect cell = table->visualItemRect(table->item(0, 1));
                // A double-click is a click and then the double-click event.
                QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
                QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
            }
            m_program.Clock().AdvanceMs(400);
            EXPECT_TRUE(
                QTest::qWaitFor([] { return DefaultTunerSession().IsSignalLocked(); }, 5000));

            EXPECT_EQ(tuner.FieldText(TunerField::Frequency), "12000");
            EXPECT_EQ(tuner.FieldText(TunerField::SymbolRate), "27500");
            EXPECT_EQ(tuner.PolarityIndex(), 1);
            EXPECT_EQ(tuner.DiseqcPortIndex(), 2);
            const std::string traced = m_program.TraceText().substr(tracedBefore);
            EXPECT_NE(traced.find("tune 11362000 kHz, LNB 9750000/10600000 kHz, switch 11700000 "
                                  "kHz, horizontal, 22000 kSps"),
                      std::string::npos)
                << traced;
            EXPECT_EQ(ReadWholeFile(settings), settingsBefore);
            window.EndDialog(IDOK);
        });
    }
}

// The five files of 19.2E are one entry: every transponder once, in frequency order, each row
// with its file; after a lock elsewhere the list stands on the tuned row.
TEST_F(TransponderPageTest, TheFilesOfOnePositionAreOneSatelliteThatFollowsTheTuner) {
    const std::set<std::pair<std::string, std::string>> expected = UseTheFilesAt192E();
    CSimProgramWindow window;
    RunModal(window, [&] {
        Page& page = TransponderPage(window);
        auto* satellites = page.Item<QComboBox>(Page::kIdSatellite);
        ASSERT_EQ(satellites->count(), 1);
        EXPECT_EQ(satellites->currentText(), "19.2E  Astra 1KR, 1L, 1M, 1N");
        QTableWidget* table = page.TransponderTable();
        ASSERT_EQ(table->rowCount(), static_cast<int>(expected.size()));
        std::set<std::pair<std::string, std::string>> listed;
        double previous = 0;
        for (int row = 0; row < table->rowCount(); ++row) {
            const std::string frequency = table->item(row, 0)->text().toStdString();
            listed.emplace(frequency, table->item(row, 1)->text().toStdString());
            EXPECT_GE(std::stod(frequency), previous) << "row " << row;
            previous = std::stod(frequency);
            if (frequency == "11362" && table->item(row, 1)->text() == "H") {
                EXPECT_EQ(table->item(row, 6)->text(), "Astra-19.2E.ini") << "its first file";
            }
        }
        EXPECT_EQ(listed, expected);

        // A lock on the Tuner Setting page: the page, shown again, stands on that row, in bold.
        EnterTransponder(window);
        ASSERT_TRUE(LockTp(window, m_program.Clock()));
        window.Sheet()->setCurrentIndex(3);
        const int row = table->currentRow();
        ASSERT_GE(row, 0);
        EXPECT_EQ(table->item(row, 0)->text(), "11362");
        EXPECT_GT(row, 0) << "not the first row, where the list starts";
        EXPECT_EQ(table->item(row, 1)->text(), "H");
        EXPECT_TRUE(table->item(row, 0)->font().bold());
        EXPECT_FALSE(table->item(row == 0 ? 1 : 0, 0)->font().bold());
        window.EndDialog(IDOK);
    });
}

// A scan of an orbital position tunes the transponders of every file at it, each once: two files
// beside the program's own at 19.2 E, one of them listing 11362 H again and 11464 H,
// the other 12590 V. The Tuner Setting page's transponder is tuned again at the end.
TEST_F(TransponderPageTest, AScanOfAPositionTunesEveryFilesTransponderOnce) {
    WriteWholeFile(m_program.File("Transponders/Extra-A-19.2E.ini"),
                   "[SATTYPE]\n1=0192\n2=Extra A\n[DVB]\n0=2\n"
                   "1=11362,H,22000,2/3,DVB-S2,8PSK\n2=11464,H,22000,2/3,DVB-S2,8PSK\n");
    WriteWholeFile(m_program.File("Transponders/Extra-B-19.2E.ini"),
                   "[SATTYPE]\n1=0192\n2=Extra B\n[DVB]\n0=1\n"
                   "1=12590,V,27500,3/5,DVB-S2,8PSK\n");
    m_program.DriveTicksByCardClock();
    CSimProgramWindow window;
    RunModal(window, [&] {
        EnterTransponder(window);
        Page& page = TransponderPage(window);
        ASSERT_EQ(page.TransponderTable()->rowCount(), 3);
        const std::size_t traced = m_program.TraceText().size();
        EXPECT_TRUE(WithModalWindow([&] { page.Item<QPushButton>(Page::kIdScan)->click(); },
                                    [&](QWidget& modal) {
                                        auto& scan = dynamic_cast<CScanDialog&>(modal);
                                        scan.Item<QPushButton>(CScanDialog::kIdStart)->click();
                                        for (int ms = 0; ms < 20'000 && scan.IsScanning();
                                             ms += 100)
                                            m_program.Step(100);
                                        EXPECT_FALSE(scan.IsScanning());
                                        scan.EndDialog(IDCANCEL);
                                    }));
        const std::vector<std::string> tunes = m_program.TraceLinesSince(traced);
        const char* expected[] = {"tune 11362000 kHz", "tune 11464000 kHz", "tune 12590000 kHz",
                                  "tune 11362000 kHz"};
        ASSERT_EQ(tunes.size(), std::size(expected));
        for (std::size_t i = 0; i < tunes.size(); ++i)
            EXPECT_NE(tunes[i].find(expected[i]), std::string::npos) << tunes[i];
        window.EndDialog(IDOK);
    });
}

// Room to read: the page in a window of its own shows 15 transponder rows and 8 service rows with
// every column at first, grows with that window and goes back into its tab when it closes; it
// opens again at the size it was left at, as the scan and dish windows do. Pictures of the three
// are kept.
TEST_F(TransponderPageTest, ThePageScanAndDishWindowsGiveRoomToReadAndKeepTheirSize) {
    const auto visibleRows = [](const QTableWidget* table) {
        return table->viewport()->height() / table->verticalHeader()->defaultSectionSize();
    };
    const auto keep = [](QWidget& shown, const std::string& name) {
        const CScreenshot shot(shown);
        EXPECT_TRUE(shot.BlankControls().empty()) << name;
        EXPECT_TRUE(shot.Keep(name));
    };
    const QSize more(100, 100);
    QSize pageLeft;
    QSize dishLeft;
    QSize scanLeft;
    UseTheFilesAt192E();
    CSimProgramWindow window;
    RunModal(window, [&] {
        Page& page = TransponderPage(window);
        ASSERT_GT(page.TransponderTable()->rowCount(), 100);
        const QSize inTab = page.TransponderTable()->size();
        auto* ownWindow = page.Item<QPushButton>(Page::kIdOwnWindow);
        QTest::mouseClick(ownWindow, Qt::LeftButton);
        QWidget* pageWindow = window.Sheet()->PageWindow(&page);
        ASSERT_NE(pageWindow, nullptr);
        EXPECT_TRUE(pageWindow->isVisible());
        // The tables lay out their scroll bars a moment after they are resized.
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return visibleRows(page.TransponderTable()) >= 15; }, 1000))
            << visibleRows(page.TransponderTable()) << " rows";
        EXPECT_GE(visibleRows(page.ServiceTable()), 8);
        EXPECT_FALSE(page.TransponderTable()->horizontalScrollBar()->isVisible())
            << "every column's heading in full";
        keep(*pageWindow, "transponders_window.png");
        const QSize roomy = page.TransponderTable()->size();
        // Taller only: the roomy width is about the test screen's.
        pageWindow->resize(pageWindow->size() + QSize(0, 100));
        EXPECT_EQ(page.TransponderTable()->size(), roomy + QSize(0, 60));
        pageLeft = pageWindow->size();
        pageWindow->close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return window.Sheet()->widget(3) == &page; }));
        EXPECT_EQ(window.Sheet()->PageWindow(&page), nullptr);
        EXPECT_EQ(page.TransponderTable()->size(), inTab) << "the tab's layout as before";
        QTest::mouseClick(ownWindow, Qt::LeftButton);
        ASSERT_NE(window.Sheet()->PageWindow(&page), nullptr);
        EXPECT_EQ(window.Sheet()->PageWindow(&page)->size(), pageLeft);
        QTest::mouseClick(ownWindow, Qt::LeftButton);
        EXPECT_EQ(window.Sheet()->widget(3), &page) << "\"To Tab\" brings it back";

        QTest::mouseClick(page.Item<QPushButton>(Page::kIdDish), Qt::LeftButton);
        CDishWindow* dish = page.DishWindow();
        ASSERT_NE(dish, nullptr);
        QWidget* plot = ChildNamed(*dish, "Signal history");
        ASSERT_NE(plot, nullptr);
        const QSize plotAtFirst = plot->size();
        dish->resize(dish->size() + more);
        EXPECT_EQ(plot->size(), plotAtFirst + more);
        keep(*dish, "dish_window.png");
        dishLeft = dish->size();
        dish->Item<QPushButton>(IDCANCEL)->click();

        EXPECT_TRUE(WithModalWindow([&] { page.Item<QPushButton>(Page::kIdScan)->click(); },
                                    [&](QWidget& scan) {
                                        auto* table = scan.findChild<QTableWidget*>();
                                        const QSize tableAtFirst = table->size();
                                        scan.resize(scan.size() + more);
                                        EXPECT_EQ(table->size(), tableAtFirst + more);
                                        keep(scan, "scan_window.png");
                                        scanLeft = scan.size();
                                        dynamic_cast<CScanDialog&>(scan).EndDialog(IDCANCEL);
                                    }));
        window.EndDialog(IDOK);
    });
    // The next run opens each window at the size it was left at.
    const std::string settings = platform::JoinPath(platform::ConfigFolder(), "Transponders.ini");
    for (const auto& [section, size] :
         {std::pair{"PageWindow", pageLeft}, std::pair{"DishWindow", dishLeft},
          std::pair{"ScanWindow", scanLeft}}) {
        EXPECT_EQ(ReadIniString(settings, section, "Width"), std::to_string(size.width()))
            << section;
        EXPECT_EQ(ReadIniString(settings, section, "Height"), std::to_string(size.height()))
            << section;
    }
    CSimProgramWindow again;
    RunModal(again, [&] {
        Page& page = TransponderPage(again);
        QTest::mouseClick(page.Item<QPushButton>(Page::kIdDish), Qt::LeftButton);
        ASSERT_NE(page.DishWindow(), nullptr);
        EXPECT_EQ(page.DishWindow()->size(), dishLeft);
        again.EndDialog(IDOK);
    });
}

// A row the LNB cannot bring into the tuner's 950-2150 MHz (here a Ku row behind a C-band LNB,
// IF 6212 MHz) is not tuned, which would lose the card's lock; a box says why, as the scan does.
TEST_F(TransponderPageTest, ARowOutsideWhatTheLnbPassesIsNotTunedAndABoxSaysWhy) {
    CSimProgramWindow window;
    RunModal(window, [&] {
        EnterTransponder(window);
        CBdacontrolDlg& tuner = TunerPage(window);
        tuner.Item<QLineEdit>(CBdacontrolDlg::kIdFrequency)->setText("12000");
        tuner.Item<QLineEdit>(CBdacontrolDlg::kIdLnbLow)->setText("5150");
        tuner.Item<QLineEdit>(CBdacontrolDlg::kIdLnbHigh)->setText("5750");
        QTableWidget* table = TransponderPage(window).TransponderTable();
        table->setCurrentCell(0, 0);
        table->setFocus();
        const std::size_t tracedBefore = m_program.TraceText().size();
        QTest::keyClick(table, Qt::Key_Return);
        m_program.Step(400);

        EXPECT_EQ(m_program.Boxes().Texts(),
                  std::vector<std::string>{
                      "11362 MHz H was not tuned: through the LNB of the Tuner Setting page "
                      "(oscillators 5150 and 5750 MHz, switch at 11700 MHz) it would reach the "
                      "tuner outside what the tuner takes (950 to 2150 MHz). Set the LNB that "
                      "receives this band on the Tuner Setting page."});
        EXPECT_EQ(tuner.FieldText(TunerField::Frequency), "12000") << "the fields stay";
        EXPECT_EQ(m_program.TraceText().find(" tune ", tracedBefore), std::string::npos)
            << "the card heard a tune";
        window.EndDialog(IDOK);
    });
}

double Decibels(const QString& text) {
    EXPECT_TRUE(text.endsWith(" dB")) << text.toStdString();
    return text.chopped(3).toDouble();
}

TEST_F(TransponderPageTest, TuneFromTheListReadTheSignalAndServicesAndWatchOneWhileRecording) {
    CSimProgramWindow window;
    const std::string recording = m_program.File("recorded.ts");
    const std::string watched = m_program.File("watched.ts");
    std::uint64_t recordedSamples = 0;
    std::uint16_t watchedService = 0;
    std::vector<std::pair<std::uint16_t, std::string>>
        listed;  // number and name, as the page shows
    RunModal(window, [&] {
        ASSERT_TRUE(LockFromTheList(window));
        Page& page = TransponderPage(window);
        Stream(1000);  // every table of the multiplex has passed by then

        // The signal: the card's C/N, what DVB-S2 8PSK 2/3 needs (EN 302 307-1: 6.62 dB), and
        // the difference.
        const auto field = [&page](int id) { return page.Item<QLineEdit>(id)->text(); };
        ASSERT_TRUE(QTest::qWaitFor([&] { return field(Page::kIdModCod) == "DVB-S2 8PSK 2/3"; }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return field(Page::kIdCarrierToNoise).endsWith("dB"); }));
        EXPECT_EQ(field(Page::kIdRequired), "6.6 dB");
        const double margin = Decibels(field(Page::kIdMargin));
        EXPECT_NEAR(margin, Decibels(field(Page::kIdCarrierToNoise)) - 6.62, 0.11);
        EXPECT_GT(margin, 0.0) << "the card locked";
        for (const int id : {Page::kIdLevel, Page::kIdBitErrorRate, Page::kIdUncorrected})
            EXPECT_FALSE(field(id).isEmpty()) << id;

        // The services, as the multiplex's tables give them.
        QTableWidget* services = page.ServiceTable();
        ASSERT_TRUE(QTest::qWaitFor([&] { return services->rowCount() > 0; }));
        for (int row = 0; row < services->rowCount(); ++row) {
            SCOPED_TRACE(row);
            EXPECT_NE(services->item(row, 1)->text(), "-") << "a name";
            EXPECT_TRUE(services->item(row, 4)->text().endsWith("MPEG-2 video"));
            EXPECT_TRUE(services->item(row, 5)->text().endsWith("MPEG audio"));
            EXPECT_EQ(services->item(row, 6)->text(), "free");
        }

        // A recording, and beside it the first service in a player that keeps what it reads.
        CUtiVirtualDamonDlg& capture = CapturePage(window);
        StartRecord(capture, recording);
        ASSERT_TRUE(capture.IsRecording());
        const std::uint64_t before = m_program.SamplesDelivered();
        TransponderPage(window);
        for (int row = 0; row < services->rowCount(); ++row) {
            listed.emplace_back(static_cast<std::uint16_t>(services->item(row, 0)->text().toUInt()),
                                services->item(row, 1)->text().toStdString());
        }
        services->setCurrentCell(0, 0);
        watchedService = listed.front().first;
        page.Item<QLineEdit>(Page::kIdPlayer)
            ->setText(QString::fromStdString("cat > '" + watched + "'"));
        page.Item<QPushButton>(Page::kIdWatch)->click();
        ASSERT_TRUE(page.Item<QPushButton>(Page::kIdStopWatching)->isEnabled()) << "watching";
        Stream(11'000);  // 10 s to decode, and the picture the stop cuts after them
        ASSERT_TRUE(QTest::qWaitFor([&] {
            return field(Page::kIdPlayerStatus).contains(" MB sent") &&
                   !field(Page::kIdPlayerStatus)
                        .startsWith("cat > '" + QString::fromStdString(watched) + "': 0.0 MB sent");
        }));
        page.Item<QPushButton>(Page::kIdStopWatching)->click();
        CapturePage(window).Item<QPushButton>(CUtiVirtualDamonDlg::kIdCancelRecord)->click();
        recordedSamples = m_program.SamplesDelivered() - before;
        window.close();
    });
    ExpectRecordedSamples(recording, recordedSamples, true);
    // The recording plays: every picture and sound decodes without a complaint.
    if (std::system("command -v ffmpeg > /dev/null 2>&1") == 0) {
        const std::string complaints = m_program.File("ffmpeg.txt");
        const std::string decode = "ffmpeg -nostdin -v error -i '" + recording +
                                   "' -t 10 -f null - 2> '" + complaints + "'";
        EXPECT_EQ(std::system(decode.c_str()), 0);
        EXPECT_EQ(ReadWholeFile(complaints), "");
    }

    // The recording lists the services the page showed.
    const std::string recorded = ReadWholeFile(recording);
    CServiceScanner recordedScanner;
    recordedScanner.Consume(
        {reinterpret_cast<const std::uint8_t*>(recorded.data()), recorded.size()});
    EXPECT_TRUE(recordedScanner.IsComplete());
    std::vector<std::pair<std::uint16_t, std::string>> inRecording;
    for (const ServiceInfo& service : recordedScanner.Snapshot())
        inRecording.emplace_back(service.serviceNumber, service.name);
    EXPECT_EQ(inRecording, listed);

    // The player got the one service: a PAT that names only it, its PMT and its streams.
    const std::string bytes = ReadWholeFile(watched);
    ASSERT_GT(bytes.size(), 0u);
    EXPECT_EQ(bytes.size() % 188, 0u);
    CServiceScanner scanner;
    scanner.Consume({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    const std::vector<ServiceInfo> seen = scanner.Snapshot();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].serviceNumber, watchedService);
    EXPECT_EQ(seen[0].streams.size(), 2u);
}

// What a hostile user can set up does not hang the window nor leave a player behind: a FIFO at
// the player's log (nobody reads it), a player whose shell starts a child, and the window closed
// without "Stop Player".
TEST_F(TransponderPageTest, WatchWithAFifoAtThePlayersLogAndTheWindowsCloseEndsThePlayer) {
    const std::string log = m_program.File("player.log");
    ASSERT_EQ(::mkfifo(log.c_str(), 0644), 0);
    const std::string pids = m_program.File("pids");
    const std::string watched = m_program.File("watched.ts");
    const std::string command = "echo to the log >&2; sleep 300 & echo $$ $! > '" + pids +
                                ".new'; mv '" + pids + ".new' '" + pids + "'; cat > '" + watched +
                                "'";
    CSimProgramWindow window;
    std::vector<pid_t> players;
    RunModal(window, [&] {
        ASSERT_TRUE(LockFromTheList(window));
        Page& page = TransponderPage(window);
        page.Item<QLineEdit>(Page::kIdPlayer)->setText(QString::fromStdString(command));
        page.Item<QPushButton>(Page::kIdWatch)->click();
        players = WaitForPidsIn(pids);
        EXPECT_TRUE(page.Item<QPushButton>(Page::kIdStopWatching)->isEnabled()) << "watching";
        Stream(500);
        window.close();
    });
    ASSERT_EQ(players.size(), 2u);
    for (const pid_t pid : players) EXPECT_FALSE(IsProcessRunning(pid)) << pid;
    EXPECT_GT(ReadWholeFile(watched).size(), 0u) << "the player got the stream all the same";
    struct stat info {};
    EXPECT_EQ(::stat(log.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    const int reader = ::open(log.c_str(), O_RDONLY | O_NONBLOCK);
    char byte = 0;
    EXPECT_EQ(::read(reader, &byte, 1), 0) << "nothing was written into the FIFO";
    ::close(reader);
}

// Players that decode what Watch feeds them, with no complaint: ffmpeg writing a checksum per
// picture, and ffplay playing on SDL's dummy video and audio drivers, fed in real time, until it
// has played over 2 s and ends by itself.
struct DecodingPlayer {
    const char* program;
    const char* command;  // %E: the file for its errors, %F: for its pictures
    bool realTime;
};

class WatchDecodeTest : public TransponderPageTest,
                        public ::testing::WithParamInterface<DecodingPlayer> {};

TEST_P(WatchDecodeTest, APlayerDecodesTheWatchedServiceWithoutAnError) {
    const DecodingPlayer& player = GetParam();
    const std::string probe = std::string("command -v ") + player.program + " > /dev/null 2>&1";
    if (std::system(probe.c_str()) != 0) GTEST_SKIP() << player.program << " is not installed";
    const std::string errors = m_program.File("player-errors.txt");
    const std::string pictures = m_program.File("pictures.txt");
    QString command = QString(player.command)
                          .replace("%E", QString::fromStdString(errors))
                          .replace("%F", QString::fromStdString(pictures));
    CSimProgramWindow window;
    qint64 playedMs = 0;
    RunModal(window, [&] {
        ASSERT_TRUE(LockFromTheList(window));
        Page& page = TransponderPage(window);
        Stream(1000);
        ASSERT_TRUE(QTest::qWaitFor([&] { return page.ServiceTable()->rowCount() > 0; }));
        page.ServiceTable()->setCurrentCell(0, 0);
        page.Item<QLineEdit>(Page::kIdPlayer)->setText(command);
        QElapsedTimer played;
        played.start();
        page.Item<QPushButton>(Page::kIdWatch)->click();
        auto* stop = page.Item<QPushButton>(Page::kIdStopWatching);
        if (player.realTime) {
            // The player ends itself once it has played what it took.
            for (int ms = 0; ms < 20'000 && stop->isEnabled(); ms += 50) {
                m_program.Clock().AdvanceMs(50);
                QTest::qWait(50);
            }
            EXPECT_FALSE(stop->isEnabled()) << "the player did not end";
            EXPECT_EQ(page.Item<QLineEdit>(Page::kIdPlayerStatus)->text(),
                      "The player ended with exit status 0.");
        } else {
            // Paced about as a card delivers: a burst of seconds at once would only fill the pipe,
            // and what does not fit is dropped (the status would say so).
            for (int ms = 0; ms < 4000; ms += 50) {
                m_program.Clock().AdvanceMs(50);
                QTest::qWait(40);
            }
            QTest::qWait(200);
            EXPECT_TRUE(
                page.Item<QLineEdit>(Page::kIdPlayerStatus)->text().endsWith(" 0.0 MB dropped"));
            stop->click();
        }
        playedMs = played.elapsed();
        window.close();
    });
    EXPECT_EQ(ReadWholeFile(errors), "") << player.program << " complained";
    if (player.realTime) {
        EXPECT_GE(playedMs, 2000) << "played for 2 s";
    } else {
        // One line per picture of stream 0 after the header lines: 4 s at 25 pictures a second,
        // less what was still on its way when the feed stopped.
        std::istringstream lines(ReadWholeFile(pictures));
        int count = 0;
        for (std::string line; std::getline(lines, line);) count += line.rfind("0,", 0) == 0;
        EXPECT_GE(count, 75) << "3 s of pictures";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Players, WatchDecodeTest,
    ::testing::Values(
        // The first 3.5 s of the 4 s fed: the picture that the stop cuts short is not decoded.
        DecodingPlayer{"ffmpeg",
                       "ffmpeg -nostdin -v error -i - -map 0:v -t 3.5 -f framemd5 '%F' 2> '%E'",
                       false},
        // 1,500,052 bytes (whole packets) are over 2.5 s of the service; ffplay plays them in
        // real time and ends.
        DecodingPlayer{"ffplay",
                       "head -c 1500052 | SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ffplay -v "
                       "error -nostats -autoexit -i - 2> '%E'",
                       true}),
    [](const ::testing::TestParamInfo<DecodingPlayer>& player) {
        return std::string(player.param.program);
    });

}  // namespace
