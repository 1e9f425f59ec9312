#include <gtest/gtest.h>

#include <QApplication>

// Widget tests run on the offscreen platform unless told otherwise. Shared by the window test
// programs that need no more than a QApplication.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
