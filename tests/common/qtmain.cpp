// GoogleTest main with a QCoreApplication, for tests that use Qt's device
// classes (QSerialPort wants an application object for its notifiers).
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
