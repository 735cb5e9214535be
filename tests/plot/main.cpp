#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

// Widget tests need a QApplication; the offscreen platform lets them run without a display.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
