#include "WindowBackups.h"

#include "ConfigLocale.h"
#include "HandlerGuard.h"
#include "TarnInterface.h"
#include "UnitBackup.h"

#include <QCoreApplication>
#include <QLocale>
#include <QMessageBox>

namespace Corvane {

std::filesystem::path WindowBackups::defaultRoot() {
    return mapping::BackupStore::defaultRoot(QCoreApplication::applicationName().toStdString());
}

QString WindowBackups::question(const QString& why) {
    return QStringLiteral("The unit's configuration could not be backed up: %1. Continue "
                          "without a backup?")
        .arg(why);
}

bool WindowBackups::takeOrAsk(QWidget* parent, tarn::TarnInterface& dev,
                              const mapping::BackupStore& store, std::string_view reason) {
    const mapping::BackupResult backup =
        mapping::takeBackup(dev, store, reason, configNumberLocale(QLocale()));
    if (backup.written()) {
        return true;
    }
    QMessageBox box(QMessageBox::Warning, HandlerGuard::caption(),
                    question(QString::fromStdString(backup.why)),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setObjectName(QStringLiteral("backupFailed"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace Corvane
