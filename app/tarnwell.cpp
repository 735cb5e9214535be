// The console on a real unit over the system's libusb.

#include "ConsoleProgram.h"

#include <QApplication>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) try {
    Corvane::ConsoleProgram::usePlatformStyle();
    QApplication app(argc, argv);
    QApplication::setApplicationName(
        QString::fromLatin1(Corvane::ConsoleProgram::kApplicationName));
    return Corvane::ConsoleProgram::run(app);
} catch (const std::exception& e) {
    std::fprintf(stderr, "tarnwell: %s\n", e.what());
    return 1;
} catch (...) {
    std::fprintf(stderr, "tarnwell: unexpected error\n");
    return 1;
}
