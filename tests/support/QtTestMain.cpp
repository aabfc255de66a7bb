#ifdef STOWLINE_WIDGET_TESTS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

// Tests run inside a Qt application object with its event loop; widget tests get a
// QApplication, every other suite links QtCore only.
int main(int argc, char** argv) {
    qputenv("STOWLINE_DRY_POWER", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
