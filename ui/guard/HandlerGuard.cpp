#include "HandlerGuard.h"

#include <QMessageBox>

namespace Corvane {

const QString& HandlerGuard::caption() {
    static const QString text = QStringLiteral("Tarnwell (Marlin Inc.)");
    return text;
}

void HandlerGuard::report(QWidget* parent, const char* reason) noexcept {
    try {
        QMessageBox box(QMessageBox::Critical, caption(), QString::fromLocal8Bit(reason),
                        QMessageBox::Ok, parent);
        box.exec();
    } catch (...) {
        // Nothing is left to tell the operator with; the handler has ended all the same.
    }
}

} // namespace Corvane
