#include "MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace Corvane {
namespace {

QMenu* menu(QMenuBar& bar, const char* name, const char* title) {
    QMenu* m = bar.addMenu(QString::fromLatin1(title));
    m->setObjectName(QString::fromLatin1(name));
    return m;
}

QAction* item(QMenu* m, const char* name, const char* text) {
    QAction* action = m->addAction(QString::fromUtf8(text));
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

} // namespace

MainMenu::MainMenu(QMenuBar& bar) {
    fileToolStripMenuItem = menu(bar, "fileToolStripMenuItem", "File");
    saveConfigXMLToolStripMenuItem =
        item(fileToolStripMenuItem, "saveConfigXMLToolStripMenuItem", "Save Config (*.xml)");
    loadConfigxmlToolStripMenuItem =
        item(fileToolStripMenuItem, "loadConfigxmlToolStripMenuItem", "Load Config (*.xml)");
    factoryResetToolStripMenuItem =
        item(fileToolStripMenuItem, "factoryResetToolStripMenuItem", "Factory Reset");
    exitToolStripMenuItem = item(fileToolStripMenuItem, "exitToolStripMenuItem", "Exit");

    settingsToolStripMenuItem = menu(bar, "settingsToolStripMenuItem", "Settings");
    networkSettingsToolStripMenuItem =
        item(settingsToolStripMenuItem, "networkSettingsToolStripMenuItem", "Network");
    switchBoardToolStripMenuItem =
        item(settingsToolStripMenuItem, "switchBoardToolStripMenuItem", "Switch Board");

    runToolStripMenuItem = menu(bar, "runToolStripMenuItem", "Run");
    stopToolStripMenuItem = item(runToolStripMenuItem, "stopToolStripMenuItem", "Stop");
    startupToolStripMenuItem = item(runToolStripMenuItem, "startupToolStripMenuItem", "Startup");
    shutdownToolStripMenuItem = item(runToolStripMenuItem, "shutdownToolStripMenuItem", "Shutdown");

    toolsToolStripMenuItem = menu(bar, "toolsToolStripMenuItem", "Tools");
    toolsToolStripMenuItem->addSeparator();
    livePlotToolStripMenuItem =
        item(toolsToolStripMenuItem, "livePlotToolStripMenuItem", "Live Plot");
    recordTelemetryToolStripMenuItem =
        item(toolsToolStripMenuItem, "recordTelemetryToolStripMenuItem", "Record Telemetry\u2026");
}

} // namespace Corvane
