#include <QApplication>

#include <gtest/gtest.h>

// Test main for tests that open windows: Qt's offscreen platform unless the
// environment names another.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("MRV_TEST_SOURCE_DIR")) qputenv("MRV_TEST_SOURCE_DIR", MRV_TEST_SOURCE_DIR_DEFAULT);
    if (!qEnvironmentVariableIsSet("MRV_BUILD_DIR")) qputenv("MRV_BUILD_DIR", MRV_BUILD_DIR_DEFAULT);
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
