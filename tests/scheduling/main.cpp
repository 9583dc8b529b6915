#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);  // timers need an event dispatcher
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
