#pragma once

#include "DesignScale.h"
#include "DeviceSlot.h"
#include "MainMenu.h"
#include "RelayChannel.h"

#include <QMainWindow>

#include <memory>

class QGroupBox;
class QTimer;

namespace Corvane {

class ConfigTransfer;
class PollingLoop;
class Readings;
class ScriptsPanel;
class SettingsMenu;
class TelemetryTools;
class ToolsMenu;
class UnitSettings;

// The console's one window, and its table of contents: it owns the device object `dev`, the
// menu, the timer that drives the polling loop and the thirteen channel rows, and lays out the
// three columns: the channel rows, the unit settings above the readings, the scripts panel.
// What each column does lives in the class that builds it, which keeps its controls to itself;
// the operations the system names stay callable here.
class FormMain : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kChannels = 12;

    explicit FormMain(QWidget* parent = nullptr);
    ~FormMain() override;
    FormMain(const FormMain&) = delete;
    FormMain& operator=(const FormMain&) = delete;

    // Teardown: the stream is disabled if a unit is open, the device object destroyed (closing
    // USB), then the timer stopped. Closing the window does it; a second time does nothing.
    void dispose();
    bool disposed() const { return disposed_; }

    // The device object; empty once the window is torn down.
    const DeviceSlot& device() const { return dev; }

    // ---- Operations of the unit settings and the scripts panel ----
    bool setMode(int mode);
    void updateMode();
    void updateId();
    void updatePin();
    void setPin();
    void loadScript();

    // ---- The polling loop, run by timer1 ----
    void timer1_Tick();
    void updateInverterStatus(const tarn::InverterFeedback& inverter);
    void setSerialText(uint32_t serial);

    // ---- Menu commands ----
    void saveConfigXMLToolStripMenuItem_Click();
    void loadConfigxmlToolStripMenuItem_Click();
    void factoryResetToolStripMenuItem_Click();
    void exitToolStripMenuItem_Click();
    void stopToolStripMenuItem_Click();
    void startupToolStripMenuItem_Click();
    void shutdownToolStripMenuItem_Click();
    void networkSettingsToolStripMenuItem_Click();
    void switchBoardToolStripMenuItem_Click();

    // ---- Columns and rows, for tools and tests ----
    UnitSettings& unitSettings() const { return *settings_; }
    Readings& readings() const { return *readings_; }
    ScriptsPanel& scriptsPanel() const { return *scripts_; }
    const MainMenu& menu() const { return *menu_; }
    SettingsMenu& settingsMenu() const { return *settingsMenu_; }
    // The "Tools" menu after "Run", and where the window keeps its backups.
    ToolsMenu& tools() const { return *tools_; }
    const ChannelRows& channels() const { return channels_; }
    RelayChannel& inverterChannel() const { return *inverterChannel_; }
    // The Tools menu's live plot and recording.
    TelemetryTools& telemetryTools() const { return *telemetryTools_; }
    QTimer* timer1() const { return timer1_; }
    QGroupBox* groupChannels() const { return groupChannels_; }
    // The scale of the window's font that every design-pixel position went through.
    const DesignScale& designScale() const { return scale_; }

    // The editing flags of the unit settings.
    bool modeChange() const;
    bool idChange() const;
    bool pinChange() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    QWidget* buildChannelColumn(QWidget* parent);
    QWidget* buildCenterColumn(QWidget* parent);
    QWidget* buildRightColumn(QWidget* parent);
    void buildMenu();
    void buildToolsMenu();
    void buildRows();
    ConfigTransfer transfer();

    // The one device object, created closed; the polling loop opens it.
    DeviceSlot dev;
    DesignScale scale_;
    bool disposed_ = false;

    std::unique_ptr<MainMenu> menu_;
    // The two settings dialogs; holds the switch board (sbc_) while it is open.
    std::unique_ptr<SettingsMenu> settingsMenu_;
    std::unique_ptr<ToolsMenu> tools_;
    // The window's owned components; holds timer1.
    QObject* components = nullptr;
    QTimer* timer1_ = nullptr;
    QGroupBox* groupChannels_ = nullptr;
    UnitSettings* settings_ = nullptr;
    std::unique_ptr<Readings> readings_;
    ScriptsPanel* scripts_ = nullptr;
    ChannelRows channels_{};
    RelayChannel* inverterChannel_ = nullptr;
    std::unique_ptr<PollingLoop> pollingLoop_;
    std::unique_ptr<TelemetryTools> telemetryTools_;
};

} // namespace Corvane
