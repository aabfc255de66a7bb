#include <QApplication>

#include <gtest/gtest.h>

// Widget tests need a QApplication; everything else is content with it too.
int main(int argc, char** argv) {
    qputenv("STOWLINE_DRY_POWER", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
