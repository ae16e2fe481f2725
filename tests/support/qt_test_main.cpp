// main() for widget tests: an offscreen QApplication around GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "platform/ui/qt/accessibility.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallAccessibility();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
