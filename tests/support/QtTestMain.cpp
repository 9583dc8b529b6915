// Test entry for window tests: one application object for the whole run.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    // Window tests run off-screen unless a platform is chosen explicitly; this
    // also lets the test list be read at build time without a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
