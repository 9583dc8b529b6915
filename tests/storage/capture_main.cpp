// Test entry for the screen capture: on the X server when there is one (real
// pixels), otherwise off-screen, where the pixel tests skip themselves.
#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    std::unique_ptr<QApplication> app;
    if (!GTEST_FLAG_GET(list_tests))
        app = std::make_unique<QApplication>(argc, argv);
    return RUN_ALL_TESTS();
}
