// The real end of the program for an unsupported card. Its own executable: a quit leaves the
// application refusing every later event loop, which would spoil the other widget tests.
#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>

#include "pages/settings/bdacontrol_dlg.h"
#include "pages/settings/tuner_card_environment.h"

namespace {

TEST(TunerSettingPageQuitTest, AnUnsupportedCardEndsTheMainWindowsModalLoop) {
    CTunerCardEnvironment environment;
    environment.PublishCard("Generic DVB-S2 Tuner", CardCarrier::PciE);
    QDialog mainWindow;
    auto* page = new CBdacontrolDlg(&mainWindow);
    // The sheet initialises its first page while the main window comes up.
    QTimer::singleShot(0, &mainWindow, [page] { page->Initialise(); });
    bool stuck = false;
    QTimer::singleShot(20000, &mainWindow, [&] {  // a guard against a hang, not a timing check
        stuck = true;
        mainWindow.done(42);
    });
    const int result = mainWindow.exec();
    EXPECT_FALSE(stuck);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(environment.Boxes().Texts(),
              std::vector<std::string>{"This card is not support Recorder!"});
    page->Destroy();
}

}  // namespace
