#include <QApplication>
#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Widget tests need a QApplication; the offscreen platform lets them run without a display.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    // The window's loads and factory resets keep backups in the application data folder: one of
    // the run's own, not the user's.
    const QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
