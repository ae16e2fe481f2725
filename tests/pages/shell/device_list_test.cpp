#include "pages/shell/device_list.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <string>
#include <utility>

#include "core/process_globals.h"
#include "graph/tuner_session.h"
#include "pages/shell/bda_util_app.h"
#include "support/fake_devices.h"
#include "support/test_clocks.h"

namespace {

class DeviceListTest : public ::testing::Test {
protected:
    void SetUp() override { DefaultTunerSession().CloseTuner(); }
    CShellTestEnvironment m_env;
    CDevicePublication m_devices;
};

TEST_F(DeviceListTest, ShowsTheTunersInOrderWithTheFirstSelected) {
    for (const wchar_t* name : {L"Tuner A", L"Tuner B", L"Tuner C"}) {
        m_devices.Publish(kSimulatedRank, FakeTuner(name));
    }
    CDeviceList dialog;
    dialog.Create();
    auto* list = dialog.Item<QListWidget>(CDeviceList::kIdDeviceList);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), "Tuner A");
    EXPECT_EQ(list->item(2)->text(), "Tuner C");
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(dialog.windowTitle(), "VLK Record : Select device");
}

TEST_F(DeviceListTest, DoubleClickOnTheThirdLineChoosesIt) {
    for (const wchar_t* name : {L"Tuner A", L"Tuner B", L"Tuner C"}) {
        m_devices.Publish(kSimulatedRank, FakeTuner(name));
    }
    CDeviceList dialog;
    dialog.Create();
    auto* list = dialog.Item<QListWidget>(CDeviceList::kIdDeviceList);
    const QRect third = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(DefaultTunerSession().DeviceIndex(), 2);
    EXPECT_EQ(DefaultTunerSession().DeviceName(), "Tuner C");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(DeviceListTest, OkWithoutAnyDeviceKeepsMinusOneAndNoDevice) {
    CDeviceList dialog;
    dialog.Create();
    EXPECT_EQ(dialog.Item<QListWidget>(CDeviceList::kIdDeviceList)->count(), 0);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(DefaultTunerSession().DeviceIndex(), -1);
    EXPECT_EQ(DefaultTunerSession().DeviceName(), "No Device");
}

TEST_F(DeviceListTest, CancelSetsNothing) {
    m_devices.Publish(kSimulatedRank, FakeTuner(L"Tuner A"));
    CDeviceList dialog;
    dialog.Create();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(DefaultTunerSession().DeviceIndex(), -1);
    EXPECT_EQ(DefaultTunerSession().DeviceName(), "");
}

// Records whether the application went on to its main window.
class CRecordingApp : public CBDAUtilApp {
public:
    int m_nMainWindows = 0;
    // The tuner the main window was given.
    std::pair<int, std::string> m_device;

protected:
    void RunMainWindow() override {
        ++m_nMainWindows;
        m_device = {DefaultTunerSession().DeviceIndex(), DefaultTunerSession().DeviceName()};
    }
};

// Answers the device list, once it is up, with the given key.
void AnswerDeviceListWith(Qt::Key key) {
    QTimer::singleShot(0, [key] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        QTest::keyClick(dialog, key);
    });
}

TEST_F(DeviceListTest, CancelEndsTheProgramWithoutAMainWindow) {
    m_devices.Publish(kSimulatedRank, FakeTuner(L"Tuner A"));
    const CScopedClock<CSleepRecorder> clock;
    CRecordingApp app;
    AnswerDeviceListWith(Qt::Key_Escape);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.m_nMainWindows, 0);
    EXPECT_EQ(clock->Sleeps(), std::vector<DWORD>{1000});
}

TEST_F(DeviceListTest, OkRecordsTheProgramFolderAndRunsTheMainWindow) {
    m_devices.Publish(kSimulatedRank, FakeTuner(L"Tuner A"));
    const CScopedClock<CSleepRecorder> clock;
    CRecordingApp app;
    g_strWorkDir.clear();
    AnswerDeviceListWith(Qt::Key_Return);
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(app.m_nMainWindows, 1);
    EXPECT_EQ(g_strWorkDir, m_env.Folder().Path());
    EXPECT_EQ(app.m_device, (std::pair<int, std::string>{0, "Tuner A"}));
    EXPECT_EQ(DefaultTunerSession().DeviceIndex(), -1) << "the tuner is closed with the program";
    EXPECT_NE(m_env.LogText().find("] >> DeviceGetList\r\n"), std::string::npos);
}

}  // namespace
