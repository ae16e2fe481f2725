// The real-time figure: each of Astra 19.2 E's satellite files (Astra-1KR, -1L, -1M, -1N) scanned
// on the simulated Arden card with its clock in real time, as a user's scan runs, through the
// whole main window. Each scan must take at most 2 minutes, and must find every transponder that
// the card receives: each one the scan did not find locked is tuned again by "Lock TP" and given
// 2 s, and must not lock then either. A load test (ctest label "load"): minutes of real time.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "core/process_globals.h"
#include "data/listed_transponder.h"
#include "drivers/sim/sim_device_provider.h"
#include "drivers/sim/sim_test_rig.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/shell/bda_util_dlg.h"
#include "pages/transponders/scan_dialog.h"
#include "platform/win/c_number.h"
#include "services/service_scanner.h"
#include "status/signal_monitor.h"
#include "support/message_box_recorder.h"

namespace {

constexpr auto kLimit = std::chrono::minutes(2);
const char* const kFiles[] = {"Astra-1KR-19.2E.ini", "Astra-1L-19.2E.ini", "Astra-1M-19.2E.ini",
                              "Astra-1N-19.2E.ini"};

void Type(CBdacontrolDlg& page, int id, const char* text) {
    auto* field = page.Item<QLineEdit>(id);
    field->clear();
    QTest::keyClicks(field, text);
}

TEST(ScanRealTimeTest, EveryAstraFileIsScannedWithinTwoMinutesAndMissesNothing) {
    CSimTestEnvironment environment(false);
    CMessageBoxRecorder boxes;
    const std::string folder = environment.Folder().File("Transponders");
    std::filesystem::create_directories(folder);
    for (const char* name : kFiles)
        std::filesystem::copy_file(BuildTranspondersFolder() + "/" + name, folder + "/" + name);
    SimOptions options;
    options.noise = 0;
    CSimDeviceProvider provider(options, CSimClock::Mode::RealTime, CSimSky::Load(folder));
    const std::wstring_view name = provider.Card(0).Profile().friendlyName;
    // The main window's pages work on the process's default session.
    CTunerSession& session = DefaultTunerSession();
    session.SelectDevice(0, std::string(name.begin(), name.end()));
    g_strWorkDir = environment.Folder().Path();

    CBDAUtilDlg window;
    QTimer::singleShot(0, &window, [&] {
        CBdacontrolDlg& tuner = *window.TunerPage();
        Type(tuner, CBdacontrolDlg::kIdLnbLow, "9750");
        Type(tuner, CBdacontrolDlg::kIdLnbHigh, "10600");
        Type(tuner, CBdacontrolDlg::kIdLnbSwitch, "11700");
        Type(tuner, CBdacontrolDlg::kIdFrequency, "11362");
        Type(tuner, CBdacontrolDlg::kIdSymbolRate, "22000");
        tuner.Item<QComboBox>(CBdacontrolDlg::kIdDiseqc)->setCurrentIndex(2);  // B: 19.2 E
        tuner.Item<QComboBox>(CBdacontrolDlg::kIdDiseqc)->activated(2);
        auto scanner = std::make_shared<CServiceScanner>();
        if (!session.AddStreamConsumer(scanner)) {
            ADD_FAILURE() << "the graph has no stream tap";
            window.close();
            return;
        }
        const std::vector<SatelliteFile> satellites = ReadSatelliteFolder(folder);
        for (const char* file : kFiles) {
            SCOPED_TRACE(file);
            const auto satellite =
                std::find_if(satellites.begin(), satellites.end(),
                             [file](const SatelliteFile& read) { return read.fileName == file; });
            ASSERT_NE(satellite, satellites.end());
            CScanDialog dialog(tuner, *satellite, scanner, &window);
            dialog.Create();
            const auto start = std::chrono::steady_clock::now();
            dialog.Item<QPushButton>(CScanDialog::kIdStart)->click();
            const bool done =
                QTest::qWaitFor([&] { return !dialog.IsScanning(); },
                                static_cast<int>(std::chrono::milliseconds(kLimit).count()));
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_TRUE(done) << "not finished within 2 minutes";
            if (!done) dialog.Item<QPushButton>(CScanDialog::kIdCancelScan)->click();
            int locked = 0;
            for (const ScanRow& row : dialog.Rows()) locked += row.locked ? 1 : 0;
            std::printf("%s: %zu transponders, %d locked, %.1f s\n", file, dialog.Rows().size(),
                        locked, seconds);
            EXPECT_EQ(dialog.Rows().size(), satellite->transponders.size());
            // What the scan missed, tuned again at leisure: the card must not lock it either.
            std::printf(
                "  %s\n",
                dialog.Item<QLineEdit>(CScanDialog::kIdStatus)->text().toUtf8().constData());
            for (std::size_t i = 0; i < dialog.Rows().size(); ++i) {
                if (dialog.Rows()[i].locked) continue;
                const TunerEntry entry = TunerEntryOf(satellite->transponders[i]);
                tuner.ListedTransponderTuned(
                    Tune(session, tuner.ListedTransponder(platform::Atoi(entry.frequencyMHz),
                                                          platform::Atoi(entry.symbolRateKsps),
                                                          entry.polarityIndex)));
                QTest::qWait(2000);
                EXPECT_FALSE(provider.Card(0).IsLocked())
                    << entry.frequencyMHz << " locks, but the scan did not find it";
            }
            dialog.DestroyWindow();
        }
        session.RemoveStreamConsumer(scanner);
        window.close();
    });
    window.DoModal();
    session.ReleaseGraph();
}

}  // namespace
