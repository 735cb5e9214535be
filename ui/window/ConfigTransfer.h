#pragma once

#include "DeviceSlot.h"
#include "RelayChannel.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace Corvane {

class ScriptsPanel;
class TarnConfig;
class UnitSettings;

// The "File" menu's save and load of a unit's configuration. Save gathers what the window
// shows (mode, id, PIN, Bluetooth, the twelve rows and group boxes) and what the unit holds
// (network, switch board, scripts) into a configuration file; load applies each item a file
// holds, partly straight to the unit and partly through the window's columns, whose own
// handlers then decide what reaches the unit. Each column collects and applies its own items.
//
// Both commands tell the operator in one message box when the file cannot be written, read or
// parsed; no exception leaves them. A failed load has sent nothing; a failed save has left any
// file it would have replaced as it was.
class ConfigTransfer {
public:
    static QString nameFilter() { return QStringLiteral("XML file (*.xml)"); }

    // Runs once a file to load has been read, before anything is sent; false ends the load with
    // nothing sent. The window takes its backup of the unit here.
    using BeforeLoad = std::function<bool()>;

    // `window` parents the dialogs and the message box; every part outlives the command.
    ConfigTransfer(QWidget& window, const DeviceSlot& dev, UnitSettings& settings,
                   ScriptsPanel& scripts, const ChannelRows& rows, BeforeLoad beforeLoad = {});

    void saveConfigXMLToolStripMenuItem_Click();
    void loadConfigxmlToolStripMenuItem_Click();

    // The whole configuration as save would write it.
    TarnConfig collect() const;
    // Applies every present item of `config` in the fixed order; the device must be open.
    void apply(const TarnConfig& config) const;

    // The file dialog of save (`saving`) or load, with its filter; none when it was cancelled.
    // `title` replaces the command's own ("Load Config") for others that choose a file to read.
    static std::optional<QString> askPath(QWidget& parent, bool saving, const QString& title = {});

private:
    tarn::TarnInterface* device() const;

    void collectDevice(TarnConfig& config) const;
    void collectChannels(TarnConfig& config) const;
    void applyNetwork(const TarnConfig& config) const;
    void applySwitchBoard(const TarnConfig& config) const;
    void applyScripts(const TarnConfig& config) const;
    void applyChannels(const TarnConfig& config) const;

    QWidget& window_;
    const DeviceSlot& dev_;
    UnitSettings& settings_;
    ScriptsPanel& scripts_;
    const ChannelRows& rows_;
    BeforeLoad beforeLoad_;
};

} // namespace Corvane
