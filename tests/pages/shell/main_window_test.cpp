#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <thread>

#include "core/process_globals.h"
#include "graph/bda_graph.h"
#include "graph/tuning.h"
#include "pages/settings/bdacontrol_dlg.h"
#include "pages/settings/tuner_card_environment.h"
#include "pages/shell/about_dlg.h"
#include "pages/shell/bda_util_dlg.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"
#include "platform/ui/qt/property_sheet.h"
#include "platform/ui/qt/qt_message_box_service.h"
#include "status/signal_monitor.h"
#include "support/fake_signal_statistics.h"
#include "support/posted_events.h"
#include "support/test_clocks.h"

namespace {

constexpr const char* kCardName = "VLK Arden DVBS/S2 Tuner (test)";

// The main window with its monitor polling a hundred times faster, for tests that need polls.
class CFastPollingWindow : public CBDAUtilDlg {
public:
    void WaitOrStop(std::uint32_t milliseconds) override {
        CBDAUtilDlg::WaitOrStop(milliseconds / 100);
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_env.SetSignalStatistics(static_cast<IBDA_Topology*>(m_pSignal.Get()));
        m_env.PublishCard(kCardName, CardCarrier::PciE);
    }

    template <typename T>
    T* Control(CBDAUtilDlg& window, int id) {
        return window.Item<T>(id);
    }

    CTunerCardEnvironment m_env;
    ComPtr<CFakeSignalStatistics> m_pSignal{new CFakeSignalStatistics};
    CScopedClock<CSleepRecorder> m_clock;
};

TEST_F(MainWindowTest, StartsWithTheUnlockedDisplayAndTheDeviceAndVersionInItsTitle) {
    CBDAUtilDlg window;
    window.Create();
    EXPECT_EQ(Control<QLineEdit>(window, CBDAUtilDlg::kIdLockText)->text(), "unlock")
        << "set by the initialisation";
    EXPECT_EQ(Control<QLineEdit>(window, CBDAUtilDlg::kIdStrengthText)->text(), "0");
    EXPECT_EQ(Control<QLineEdit>(window, CBDAUtilDlg::kIdQualityText)->text(), "0");
    EXPECT_EQ(window.windowTitle(), QString(kCardName) + " Skarveld - Version:  3.0.1.6 ");
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return Control<QLineEdit>(window, CBDAUtilDlg::kIdLockText)->text() == "UNLOCKED";
    }));
    EXPECT_EQ(Control<QLabel>(window, CBDAUtilDlg::kIdLockIcon)->property("lockIcon").toInt(), 134);
    EXPECT_EQ(Control<QProgressBar>(window, CBDAUtilDlg::kIdQualityBar)->value(), 0);
    EXPECT_EQ(Control<QProgressBar>(window, CBDAUtilDlg::kIdStrengthBar)->value(), 0);
    EXPECT_EQ(window.Sheet()->count(), 5);
    EXPECT_EQ(window.Sheet()->tabText(0), "Tuner Setting");
    EXPECT_EQ(window.Sheet()->tabText(1), "Capture Control");
    EXPECT_EQ(window.Sheet()->tabText(2), "Motor/Positioner");
    EXPECT_EQ(window.Sheet()->tabText(3), "Transponders");
    EXPECT_EQ(window.Sheet()->tabText(4), "Stream Health");
    window.DestroyWindow();
}

TEST_F(MainWindowTest, IsANormalTopLevelWindowWithAMinimiseBox) {
    CBDAUtilDlg window;
    window.Create();
    // A dialog type would make it transient for a hidden leader and keep it out of the taskbar.
    EXPECT_EQ(window.windowType(), Qt::Window);
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint)) << "a dialog of fixed size";
    EXPECT_FALSE(window.windowIcon().isNull()) << "what the taskbar shows while it is minimised";
    window.showMinimized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isMinimized(); }));
    window.showNormal();
    window.DestroyWindow();
}

TEST_F(MainWindowTest, TheSheetFillsTheSpaceBetweenBannerAndSeparator) {
    CBDAUtilDlg window;
    window.Create();
    const QRect banner = window.GetDlgItem(CBDAUtilDlg::kIdBanner)->geometry();
    const QRect separator = window.GetDlgItem(CBDAUtilDlg::kIdSeparator)->geometry();
    const QRect sheet = window.Sheet()->geometry();
    EXPECT_EQ(sheet.left(), 0);
    EXPECT_EQ(sheet.top(), banner.top() + banner.height() + 2);
    EXPECT_EQ(sheet.height(), separator.top() - (banner.top() + banner.height()));
    EXPECT_EQ(sheet.top() + sheet.height(), separator.top() + 2);
    EXPECT_EQ(sheet.width(), separator.width());
    const DialogBaseUnits& units = window.BaseUnits();
    EXPECT_EQ(window.width(), 315 * units.averageWidth / 4);
    EXPECT_EQ(window.height(), 415 * units.height / 8);
    window.DestroyWindow();
}

TEST_F(MainWindowTest, ALockedTunerIsShownWithItsNumbersAndIcon) {
    m_pSignal->Set(80, 11, true);
    CFastPollingWindow window;
    window.Create();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Control<QLineEdit>(window, CBDAUtilDlg::kIdLockText)->text() == "LOCKED"; }));
    EXPECT_EQ(Control<QLineEdit>(window, CBDAUtilDlg::kIdQualityText)->text(), "80");
    EXPECT_EQ(Control<QLineEdit>(window, CBDAUtilDlg::kIdStrengthText)->text(), "11");
    EXPECT_EQ(Control<QProgressBar>(window, CBDAUtilDlg::kIdQualityBar)->value(), 80);
    EXPECT_EQ(Control<QProgressBar>(window, CBDAUtilDlg::kIdStrengthBar)->value(), 11);
    EXPECT_EQ(Control<QLabel>(window, CBDAUtilDlg::kIdLockIcon)->property("lockIcon").toInt(), 133);
    EXPECT_TRUE(DefaultTunerSession().IsSignalLocked());
    m_pSignal->Set(300, 10, true);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return Control<QLineEdit>(window, CBDAUtilDlg::kIdQualityText)->text() == "44"; }));
    EXPECT_EQ(Control<QProgressBar>(window, CBDAUtilDlg::kIdQualityBar)->value(), 44);
    window.DestroyWindow();
    EXPECT_FALSE(window.MonitorRunning());
}

TEST_F(MainWindowTest, TheInputStreamListTakesEachStreamOnceInTextOrder) {
    CBDAUtilDlg window;
    window.Create();
    auto* list = Control<QComboBox>(window, CBDAUtilDlg::kIdInputStreamList);
    auto items = [&] {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
        return texts;
    };
    const std::uint64_t tune = TuneCount(DefaultTunerSession());
    // "12" listed must not keep out 1 (it once did: no item could begin with "1" then).
    for (const char* isi : {"12", "1", "12", "2", "10", "1"}) window.AddInputStreamId(isi, tune);
    ASSERT_TRUE(WaitForEventsPostedBefore(&window)) << "every addition has arrived";
    EXPECT_EQ(items(), (QStringList{"1", "10", "12", "2"})) << "each once, in text order";
    EXPECT_EQ(list->currentIndex(), -1) << "adding never selects";
    window.DestroyWindow();
}

TEST_F(MainWindowTest, LockTpStartsTheInputStreamListAnewAndApplyKeepsIt) {
    CBDAUtilDlg window;
    window.Create();
    auto* list = Control<QComboBox>(window, CBDAUtilDlg::kIdInputStreamList);
    window.AddInputStreamId("5", TuneCount(DefaultTunerSession()));
    window.AddInputStreamId("7", TuneCount(DefaultTunerSession()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() == 2; }));
    list->setCurrentIndex(1);

    // Apply tunes again with the chosen stream: the same carrier, so list and choice stay.
    Control<QPushButton>(window, CBDAUtilDlg::kIdApply)->click();
    QCoreApplication::processEvents();
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentText(), "7");

    // A poll that read the report before "Lock TP" posts the old carrier's stream after it.
    const std::uint64_t before = TuneCount(DefaultTunerSession());
    window.TunerPage()->Item<QPushButton>(CBdacontrolDlg::kIdLockTp)->click();
    ASSERT_GT(TuneCount(DefaultTunerSession()), before) << "Lock TP tuned";
    EXPECT_EQ(list->count(), 0) << "the streams of the carrier before";
    window.AddInputStreamId("5", before);
    window.AddInputStreamId("9", TuneCount(DefaultTunerSession()));
    ASSERT_TRUE(WaitForEventsPostedBefore(&window)) << "both additions have arrived";
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(list->itemText(0), "9") << "only what the tuned carrier carries";
    window.DestroyWindow();
}

TEST_F(MainWindowTest, ApplyNeedsASelectionAndRetunesAfterHalfASecond) {
    CBDAUtilDlg window;
    window.Create();
    auto* apply = Control<QPushButton>(window, CBDAUtilDlg::kIdApply);
    apply->click();
    EXPECT_EQ(m_env.Boxes().Texts(), std::vector<std::string>{"NULL"});
    EXPECT_TRUE(m_env.SetsOf(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID).empty());

    window.AddInputStreamId("7", TuneCount(DefaultTunerSession()));
    auto* list = Control<QComboBox>(window, CBDAUtilDlg::kIdInputStreamList);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }));
    list->setCurrentIndex(0);
    const auto commitsBefore =
        std::count(m_env.Script().calls.begin(), m_env.Script().calls.end(), "CommitChanges");
    apply->click();
    const auto sets = m_env.SetsOf(KSPROPSETID_BdaExt, KSPROPERTY_BDA_INPUTMULTISTREAMID);
    ASSERT_EQ(sets.size(), 1u) << ::testing::PrintToString(m_env.Boxes().Texts());
    EXPECT_EQ(sets[0].data[48], 7);
    EXPECT_EQ(m_clock->Sleeps(), std::vector<DWORD>{500});
    EXPECT_EQ(std::count(m_env.Script().calls.begin(), m_env.Script().calls.end(), "CommitChanges"),
              commitsBefore + 1)
        << "a successful Apply tunes again " << ::testing::PrintToString(m_env.Boxes().Texts())
        << ::testing::PrintToString(m_env.Script().calls);
    window.DestroyWindow();
}

TEST_F(MainWindowTest, ApplyOnAUsbCardIsRefusedByItsDriver) {
    CTunerCardEnvironment usb;
    usb.PublishCard("VLK Glen USB DVB-S2 Tuner (test)", CardCarrier::Usb);
    DefaultTunerSession().SelectDevice(1, "VLK Glen USB DVB-S2 Tuner (test)");
    CBDAUtilDlg window;
    window.Create();
    window.AddInputStreamId("3", TuneCount(DefaultTunerSession()));
    auto* list = Control<QComboBox>(window, CBDAUtilDlg::kIdInputStreamList);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }));
    list->setCurrentIndex(0);
    usb.Boxes().Clear();
    Control<QPushButton>(window, CBDAUtilDlg::kIdApply)->click();
    EXPECT_EQ(usb.Boxes().Texts(), std::vector<std::string>{"777don't support this interface"});
    EXPECT_TRUE(m_clock->Sleeps().empty()) << "no re-tune";
    window.DestroyWindow();
}

TEST_F(MainWindowTest, ADeviceRemovalClosesTheWindowAndOtherDeviceEventsDoNot) {
    CBDAUtilDlg window;
    window.Create();
    for (DWORD other : {DBT_DEVICEARRIVAL, DBT_DEVICEQUERYREMOVE}) {
        std::thread([other] { CDeviceEventHub::Instance().Broadcast(other); }).join();
    }
    ASSERT_TRUE(WaitForEventsPostedBefore(&window)) << "both events have arrived";
    EXPECT_TRUE(window.isVisible());
    std::thread([] { CDeviceEventHub::Instance().Broadcast(DBT_DEVICEREMOVECOMPLETE); }).join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }));
    EXPECT_EQ(window.result(), QDialog::Accepted);
    window.DestroyWindow();

    CBDAUtilDlg second;
    second.Create();
    EXPECT_TRUE(second.DefWindowProc(WM_DEVICECHANGE, DBT_DEVICEREMOVEPENDING));
    EXPECT_FALSE(second.isVisible());
    second.DestroyWindow();
}

TEST_F(MainWindowTest, TheAboutItemOfTheContextMenuShowsTheVersion) {
    CBDAUtilDlg window;
    window.Create();
    QString version;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions()[0]->text(), "&About VLK Skarveld Tool.");
        QTimer::singleShot(0, [&] {
            auto* about = dynamic_cast<CAboutDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(about, nullptr);
            version = about->Item<QLabel>(CAboutDlg::kIdVersion)->text();
            about->accept();
        });
        menu->actions()[0]->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 300),
                            window.mapToGlobal(QPoint(5, 300)));
    QApplication::sendEvent(&window, &event);
    EXPECT_EQ(version, " 3.0.1.6 ");
    window.DestroyWindow();
}

TEST_F(MainWindowTest, ClosingWhileAMonitorMessageBoxIsOpenNeitherHangsNorWritesAGoneControl) {
    CQtMessageBoxService boxes;
    IMessageBoxService* previous = SetMessageBoxService(&boxes);
    m_pSignal->Set(80, 60, true);
    m_env.Driver().GetResult(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO, E_FAIL);
    auto window = std::make_unique<CFastPollingWindow>();
    window->Create();
    bool sawBox = false;
    // When the monitor's box is up (inside its modal loop), close the window from there.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            sawBox = box->text() == "Get KSPROPERTY_BDA_GET_MEDIAINFO error";
            poll.stop();
            window->DestroyWindow();
        }
    });
    poll.start(5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->MonitorRunning(); }, 20000));
    EXPECT_TRUE(sawBox);
    window.reset();
    // Writes the monitor posted are dropped with the window, not run on it.
    EXPECT_TRUE(WaitForEventsPostedBefore(QCoreApplication::instance()));
    SetMessageBoxService(previous);
}

TEST_F(MainWindowTest, LockTpApplyAndPageChangesWhileTheMonitorPollsThenClose) {
    m_pSignal->Set(80, 60, true);
    MediaInfoRecord report;
    report.standard = 1;
    report.inputStream = 0;
    report.inputStreamId = 3;
    const auto bytes = report.Encode();
    m_env.Driver().Reply(KSPROPSETID_BdaExt, KSPROPERTY_BDA_GET_MEDIAINFO,
                         {bytes.begin(), bytes.end()});
    CFastPollingWindow window;
    window.Create();
    auto* list = Control<QComboBox>(window, CBDAUtilDlg::kIdInputStreamList);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }));
    list->setCurrentIndex(0);
    auto* lockTp = window.TunerPage()->Item<QPushButton>(IDOK);
    for (int round = 0; round < 40; ++round) {
        lockTp->click();
        // The list starts anew with the tuned carrier; the monitor's next poll lists its stream.
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; })) << "round " << round;
        list->setCurrentIndex(0);
        Control<QPushButton>(window, CBDAUtilDlg::kIdApply)->click();
        window.Sheet()->setCurrentIndex(round % 3);
        // Let the monitor poll once with the page changed under it.
        const int polls = m_pSignal->m_nPolls.load();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_pSignal->m_nPolls.load() > polls; }))
            << "round " << round;
    }
    window.DestroyWindow();
    EXPECT_FALSE(window.MonitorRunning());
    EXPECT_EQ(m_clock->Sleeps().size(), 40u);
    EXPECT_GT(m_pSignal->m_nPolls.load(), 10) << "the monitor polled during the loop";
}

}  // namespace

namespace {

TEST_F(MainWindowTest, ReturnRightAfterTheStartLocksTheTransponder) {
    CBDAUtilDlg window;
    window.Create();
    window.activateWindow();
    QWidget* focus = window.focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->parentWidget(), window.TunerPage()) << focus->metaObject()->className();
    QTest::keyClick(focus, Qt::Key_Return);
    EXPECT_EQ(std::count(m_env.Script().calls.begin(), m_env.Script().calls.end(), "CommitChanges"),
              1)
        << ::testing::PrintToString(m_env.Boxes().Texts());
    window.DestroyWindow();
}

}  // namespace
