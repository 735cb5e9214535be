#include "ProcessWatch.h"

#include <QApplication>
#include <QByteArray>

#include <gtest/gtest.h>

#include <exception>

namespace {

// No exception may cross the event loop; one that does is recorded here, so that the test
// reports it with the step that raised it, instead of the loop ending in undefined ways.
class WatchedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            monkey::noteEscape(e.what());
        } catch (...) {
            monkey::noteEscape("an exception that is no std::exception");
        }
        return false;
    }
};

QtMessageHandler qtHandler = nullptr;

// The offscreen platform says so for every raise() and keyboard grab the dialogs ask of it;
// thousands of those lines would bury what matters.
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg &&
        message.startsWith(QStringLiteral("This plugin does not support"))) {
        return;
    }
    qtHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    WatchedApplication app(argc, argv);
    qtHandler = qInstallMessageHandler(quietHandler);
    monkey::installCrashNote();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
