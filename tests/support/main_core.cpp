#include <QCoreApplication>

#include <gtest/gtest.h>

// Test main for tests without windows.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("MRV_TEST_SOURCE_DIR")) qputenv("MRV_TEST_SOURCE_DIR", MRV_TEST_SOURCE_DIR_DEFAULT);
    if (!qEnvironmentVariableIsSet("MRV_BUILD_DIR")) qputenv("MRV_BUILD_DIR", MRV_BUILD_DIR_DEFAULT);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
