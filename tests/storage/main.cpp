// Test entry for the storage commands: one application object for the run,
// on the off-screen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QApplication> app;
    if (!GTEST_FLAG_GET(list_tests))
        app = std::make_unique<QApplication>(argc, argv);
    return RUN_ALL_TESTS();
}
