// The window tests run in one application object, as the program does.
#include <gtest/gtest.h>

#include "app/application_qt.h"

int main(int argc, char** argv) {
    // Offscreen unless a display is chosen on purpose (the tray tests run on Xvfb).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    talvenor::TalvenorApplication app(argc, argv);
    talvenor::SetUpApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
