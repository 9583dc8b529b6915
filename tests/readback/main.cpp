// Read-back tests run inside one QApplication: the port waits with event
// passes, and the window's controls need the widget toolkit.
#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Listing the tests needs no display.
    std::unique_ptr<QApplication> app;
    if (!GTEST_FLAG_GET(list_tests))
        app = std::make_unique<QApplication>(argc, argv);
    return RUN_ALL_TESTS();
}
