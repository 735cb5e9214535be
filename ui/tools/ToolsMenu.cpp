#include "ToolsMenu.h"

#include "BackupsDialog.h"
#include "CompareDialog.h"
#include "ConfigFileReport.h"
#include "ConfigTransfer.h"
#include "TarnConfig.h"
#include "WindowBackups.h"

#include <QAction>
#include <QMenu>

namespace Corvane {
namespace {

// Inserted before `before` (the separator ahead of the telemetry tools), or at the end.
QAction* item(QMenu* m, QAction* before, const char* name, const QString& text) {
    auto* action = new QAction(text, m);
    action->setObjectName(QString::fromLatin1(name));
    m->insertAction(before, action);
    return action;
}

} // namespace

ToolsMenu::ToolsMenu(QMenu& tools, QWidget& window, const DeviceSlot& dev)
    : window_(window)
    , dev_(dev)
    , backups_(WindowBackups::defaultRoot()) {
    toolsToolStripMenuItem = &tools;
    QAction* first = tools.actions().isEmpty() ? nullptr : tools.actions().front();
    compareWithFileToolStripMenuItem = item(&tools, first, "compareWithFileToolStripMenuItem",
                                            QStringLiteral("Compare with File\u2026"));
    compareTwoFilesToolStripMenuItem = item(&tools, first, "compareTwoFilesToolStripMenuItem",
                                            QStringLiteral("Compare Two Files\u2026"));
    backupsToolStripMenuItem =
        item(&tools, first, "backupsToolStripMenuItem", QStringLiteral("Backups\u2026"));
}

void ToolsMenu::compareWithFileToolStripMenuItem_Click() {
    if (!dev_ || !dev_->isOpen()) {
        return;
    }
    const std::optional<QString> path = ConfigTransfer::askPath(window_, false);
    if (!path) {
        return;
    }
    const std::optional<TarnConfig> file = ConfigFileReport::read(&window_, *path);
    // The unit may have gone while the dialog was open.
    if (!file || !dev_ || !dev_->isOpen()) {
        return;
    }
    CompareDialog dialog(&window_, dev_, backups_, *file, *path);
    dialog.exec();
}

void ToolsMenu::compareTwoFilesToolStripMenuItem_Click() {
    const std::optional<QString> first =
        ConfigTransfer::askPath(window_, false, QStringLiteral("Compare: First File"));
    if (!first) {
        return;
    }
    const std::optional<TarnConfig> a = ConfigFileReport::read(&window_, *first);
    if (!a) {
        return;
    }
    const std::optional<QString> second =
        ConfigTransfer::askPath(window_, false, QStringLiteral("Compare: Second File"));
    if (!second) {
        return;
    }
    const std::optional<TarnConfig> b = ConfigFileReport::read(&window_, *second);
    if (!b) {
        return;
    }
    CompareDialog dialog(&window_, *a, *first, *b, *second);
    dialog.exec();
}

void ToolsMenu::backupsToolStripMenuItem_Click() {
    BackupsDialog dialog(&window_, dev_, backups_);
    dialog.exec();
}

} // namespace Corvane
