#pragma once

class QAction;
class QMenu;
class QMenuBar;

namespace Corvane {

// The window's menu bar: "File", "Settings" and "Run" with their nine commands, in order, then
// "Tools" with the live plot and the recording, below the commands ToolsMenu puts at its top. It
// only builds them; the window and its helpers
// connect each command to its handler.
class MainMenu {
public:
    explicit MainMenu(QMenuBar& bar);

    QMenu* fileToolStripMenuItem = nullptr;
    QAction* saveConfigXMLToolStripMenuItem = nullptr;
    QAction* loadConfigxmlToolStripMenuItem = nullptr;
    QAction* factoryResetToolStripMenuItem = nullptr;
    QAction* exitToolStripMenuItem = nullptr;

    QMenu* settingsToolStripMenuItem = nullptr;
    QAction* networkSettingsToolStripMenuItem = nullptr;
    QAction* switchBoardToolStripMenuItem = nullptr;

    QMenu* runToolStripMenuItem = nullptr;
    QAction* stopToolStripMenuItem = nullptr;
    QAction* startupToolStripMenuItem = nullptr;
    QAction* shutdownToolStripMenuItem = nullptr;

    QMenu* toolsToolStripMenuItem = nullptr;
    QAction* livePlotToolStripMenuItem = nullptr;
    QAction* recordTelemetryToolStripMenuItem = nullptr;
};

} // namespace Corvane
