// Runs the command-channel tests inside a QApplication: the port waits with
// event passes, and timers drive the nested exchanges.
#include <QApplication>
#include <gtest/gtest.h>

#include <memory>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests needs no display.
    std::unique_ptr<QApplication> app;
    if (!GTEST_FLAG_GET(list_tests))
        app = std::make_unique<QApplication>(argc, argv);
    return RUN_ALL_TESTS();
}
