#pragma once

#include <QString>

#include <exception>
#include <utility>

class QWidget;

namespace Corvane {

// Event handlers run inside Qt's event loop, which must never see an exception. Every handler
// the window connects runs through guarded(): a failure ends that handler alone and is told to
// the operator in a message box captioned like the program's others.
class HandlerGuard {
public:
    static const QString& caption(); // "Tarnwell (Marlin Inc.)"

    // Tells the operator that a command failed and why (text in the local 8-bit encoding);
    // never throws.
    static void report(QWidget* parent, const char* reason) noexcept;

    template <typename Handler>
    static void run(QWidget* parent, Handler&& handler) noexcept {
        try {
            std::forward<Handler>(handler)();
        } catch (const std::exception& e) {
            report(parent, e.what());
        } catch (...) {
            report(parent, "An unexpected error occurred.");
        }
    }
};

// A slot for QObject::connect that takes the signal's arguments and runs `handler` with them
// under the guard.
template <typename Handler>
auto guarded(QWidget* parent, Handler handler) {
    return [parent, handler = std::move(handler)](auto... args) {
        HandlerGuard::run(parent, [&] { handler(args...); });
    };
}

} // namespace Corvane
