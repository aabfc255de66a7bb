#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Nothing a test does may ever power off, reboot or log off this machine.
    qputenv("STOWLINE_DRY_POWER", "1");
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
