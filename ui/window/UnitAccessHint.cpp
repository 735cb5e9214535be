#include "UnitAccessHint.h"

#include <QLabel>

#include <cstdio>

namespace Corvane {

QString UnitAccessHint::text(OpenFailure failure, int linkError) {
    const QString connected = QStringLiteral("A unit is connected but ");
    const QString readme = QStringLiteral(" See \"USB access on Linux\" in the README.");
    switch (failure) {
    case OpenFailure::None:
    case OpenFailure::NotFound:
        return {};
    case OpenFailure::NoPermission:
        return connected + QStringLiteral("this user lacks permission to open it.") + readme;
    case OpenFailure::Busy:
        return connected + QStringLiteral("another program is using it.");
    case OpenFailure::NoAnswer:
        return connected + QStringLiteral("does not answer; unplug it and plug it in again.");
    case OpenFailure::Other:
        break;
    }
    return connected + QStringLiteral("cannot be opened (USB error %1).").arg(linkError) + readme;
}

void UnitAccessHint::update(QLabel& label, bool opened, OpenFailure failure, int linkError) {
    if (!opened && shown_ && failure == shownFailure_ && linkError == shownError_) {
        return; // told already; the timer asks again every millisecond
    }
    const QString reason = opened ? QString() : text(failure, linkError);
    if (reason.isEmpty()) {
        if (shown_) {
            label.setToolTip(QString());
            shown_ = false;
        }
        told_ = told_ && !opened;
        return;
    }
    label.setToolTip(reason);
    shown_ = true;
    shownFailure_ = failure;
    shownError_ = linkError;
    if (!told_) {
        std::fprintf(stderr, "tarnwell: %s\n", reason.toLocal8Bit().constData());
        told_ = true;
    }
}

} // namespace Corvane
