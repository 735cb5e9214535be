#include "ConfigFileReport.h"

#include "ConfigFileError.h"
#include "ConfigLocale.h"
#include "HandlerGuard.h"
#include "TarnConfig.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMessageBox>

namespace Corvane {

std::string ConfigFileReport::pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

void ConfigFileReport::show(QWidget* parent, const QString& action, const QString& path,
                            const std::exception& error) noexcept {
    try {
        QString reason = QString::fromLocal8Bit(error.what());
        QString where;
        if (const auto* fileError = dynamic_cast<const ConfigFileError*>(&error)) {
            reason = QString::fromLocal8Bit(fileError->reason());
            if (const auto& position = fileError->position()) {
                where = QStringLiteral("Line %1, column %2.")
                            .arg(static_cast<qulonglong>(position->line))
                            .arg(static_cast<qulonglong>(position->column));
            }
        }
        QString text = QStringLiteral("The configuration could not be %1\n%2\n\nReason: %3")
                           .arg(action, QDir::toNativeSeparators(path), reason);
        if (!where.isEmpty()) {
            text += QStringLiteral("\n") + where;
        }
        QMessageBox box(QMessageBox::Critical, HandlerGuard::caption(), text, QMessageBox::Ok,
                        parent);
        box.setObjectName(QStringLiteral("configFileError"));
        box.exec();
    } catch (...) {
        // Nothing is left to tell the operator with; the command has ended all the same.
    }
}

std::optional<TarnConfig> ConfigFileReport::read(QWidget* parent, const QString& path) {
    TarnConfig config(configNumberLocale(QLocale()));
    try {
        config.readConfigFile(pathBytes(path));
    } catch (const std::exception& error) {
        show(parent, QStringLiteral("loaded from"), path, error);
        return std::nullopt;
    }
    return config;
}

} // namespace Corvane
