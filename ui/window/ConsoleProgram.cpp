#include "ConsoleProgram.h"

#include "FormMain.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <exception>
#include <memory>

namespace Corvane {
namespace {

void fail(const char* what) noexcept {
    std::fprintf(stderr, "tarnwell: %s\n", what);
}

} // namespace

void ConsoleProgram::usePlatformStyle() {
    QApplication::setDesktopSettingsAware(true);
}

int ConsoleProgram::run(QApplication& app, const WindowHook& hook) {
    try {
        auto window = std::make_unique<FormMain>();
        app.setWindowIcon(window->windowIcon());
        if (hook) {
            hook(*window);
        }
        window->show();
        const int code = QApplication::exec();
        window.reset(); // torn down before the application object goes
        return code;
    } catch (const std::exception& e) {
        // The window, if it was built, has been torn down on the way here.
        fail(e.what());
    } catch (...) {
        fail("unexpected error");
    }
    return 1;
}

} // namespace Corvane
