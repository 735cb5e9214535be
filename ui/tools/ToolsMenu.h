#pragma once

#include "BackupStore.h"
#include "DeviceSlot.h"

class QAction;
class QMenu;
class QWidget;

namespace Corvane {

// The "Tools" menu after "Run": comparing a file with the unit or two files with each other,
// and the backups. It also holds where the window keeps its backups, which the window's load
// and factory reset write to as well.
class ToolsMenu {
public:
    // Puts its commands at the top of the window's Tools menu; `window` parents the dialogs.
    ToolsMenu(QMenu& tools, QWidget& window, const DeviceSlot& dev);

    QMenu* toolsToolStripMenuItem = nullptr;
    QAction* compareWithFileToolStripMenuItem = nullptr;
    QAction* compareTwoFilesToolStripMenuItem = nullptr;
    QAction* backupsToolStripMenuItem = nullptr;

    // A file chosen with the load dialog, against the connected unit; nothing without one.
    void compareWithFileToolStripMenuItem_Click();
    // Two files chosen one after the other, without a unit.
    void compareTwoFilesToolStripMenuItem_Click();
    void backupsToolStripMenuItem_Click();

    const mapping::BackupStore& backups() const { return backups_; }
    // Elsewhere than the application data folder (tests).
    void setBackups(mapping::BackupStore backups) { backups_ = std::move(backups); }

private:
    QWidget& window_;
    const DeviceSlot& dev_;
    mapping::BackupStore backups_;
};

} // namespace Corvane
