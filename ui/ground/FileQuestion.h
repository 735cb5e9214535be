#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace Corvane {

// The file dialog every command that reads or writes a file asks with: Qt's own rather than the
// desktop's, the same on every desktop and drivable in tests.
struct FileQuestion {
    QString objectName; // what tests find the dialog by
    QString title;
    bool saving = false; // a file to write (any name), else one that exists
    QString nameFilter;
    QString defaultSuffix;

    // The file chosen, or none when the dialog was cancelled or nothing was chosen.
    std::optional<QString> ask(QWidget& parent) const;
};

} // namespace Corvane
