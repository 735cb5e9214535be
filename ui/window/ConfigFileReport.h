#pragma once

#include <QString>

#include <exception>
#include <optional>

class QWidget;

namespace Corvane {

class TarnConfig;

// Configuration files as the window's commands read them, and the one message box that tells
// the operator why a file could not be read or written: the file, the line and column where it
// broke, and the reason.
class ConfigFileReport {
public:
    // `action` completes "The configuration could not be ...": "loaded from", "saved to".
    static void show(QWidget* parent, const QString& action, const QString& path,
                     const std::exception& error) noexcept;

    // The file read whole with the window's number format; none, once the box has told why,
    // when it cannot be read or is not well-formed.
    static std::optional<TarnConfig> read(QWidget* parent, const QString& path);

    // A path as the system names files.
    static std::string pathBytes(const QString& path);
};

} // namespace Corvane
