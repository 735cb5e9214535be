#pragma once

#include "DeviceSlot.h"
#include "SwitchBoardConfig.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace Corvane {

// The two dialogs of the main window's "Settings" menu: the modal network settings and the
// modeless switch board, of which at most one exists at a time.
//
// The dialogs borrow the window's device object, which this object sees through the window's
// device slot. The switch board must never outlive the device: the owner calls
// closeSwitchBoard (or destroys this object) before it destroys the device, and closing the
// window closes the dialog first. Once the slot is empty the commands do nothing.
class SettingsMenu : public QObject {
    Q_OBJECT
public:
    SettingsMenu(const DeviceSlot& dev, QWidget& window);
    ~SettingsMenu() override;
    SettingsMenu(const SettingsMenu&) = delete;
    SettingsMenu& operator=(const SettingsMenu&) = delete;

    // "Network": reads the unit's settings, shows them modally and writes them back on OK.
    // Nothing at all when the read fails.
    void networkSettingsToolStripMenuItem_Click();
    // "Switch Board": brings the open dialog to the front, or opens a fresh one that reads the
    // unit.
    void switchBoardToolStripMenuItem_Click();

    // The switch board while it is open, else null.
    SwitchBoardConfig* switchBoard() const;
    // Closes and destroys the switch board now, if it exists.
    void closeSwitchBoard();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const DeviceSlot& dev_;
    QWidget& window_;
    QPointer<SwitchBoardConfig> sbc_;
};

} // namespace Corvane
