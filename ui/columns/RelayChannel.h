#pragma once

// The public controls are complete types here: every user of a row reads or writes them.
#include "ClickLabel.h"
#include "DeviceSlot.h"
#include "DropDownList.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QObject>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class QPushButton;
class QWidget;

namespace tarn {
struct InverterFeedback;
}

namespace Corvane {

class DesignScale;
class RelayChannel;
struct ChannelSettings;

// The twelve relay rows, element i driving unit channel i.
using ChannelRows = std::array<RelayChannel*, 12>;

// One row of the channel table: the controls of one relay output (channels 0 to 11) or of the
// inverter (channel 12), placed on the parent group box. The row switches the relay, commits
// fuse settings to the unit and shows what the unit read back, and renames the channel.
// Current and status boxes show what the polling loop hands the row.
//
// The row borrows the window's device slot: once the window is torn down and the slot is
// empty, its controls send nothing.
class RelayChannel : public QObject {
    Q_OBJECT

public:
    // Builds and places the controls; sends nothing to the unit.
    RelayChannel(QWidget* parent, const DeviceSlot& dev, std::uint32_t channel, bool inverter);

    // The fuse box's text ("{0,0:#.#}" of the rating, empty for zero) and colour code.
    void updateFuse(double rating);
    // Shows or hides the name, the three buttons and the status box.
    void SetVisible(bool visible);

    bool fuseLocked() const { return fuse_lock_; }
    // Sets the lock if it is clear; false when it was held already.
    bool fuseLock();
    // Clears the lock and the remembered fuse text; false when it was not held.
    bool fuseUnlock();

    std::uint32_t channel() const { return channel_; }
    bool inverter() const { return inverter_; }

    // ---- What the polling loop shows ----
    // The channel current, "{0:N2}" amperes.
    void showCurrent(double amperes);
    // A relay row's state code: its text and colours (an unknown code keeps the colours).
    void showRelayState(unsigned code);
    // The inverter row's state.
    void showInverterState(const tarn::InverterFeedback& inverter);
    // The unit's fuse settings, under the row's own lock so that its fuse handlers send none of
    // them back. A relay row only.
    void showUnitFuse(double rating, double i2t, bool protect);
    // The name as the unit holds it (8-bit text).
    void showUnitName(const std::string& name);

    // ---- Save and load, relay rows only ----
    // Name, fuse rating and I²t as shown (0 for a text that is not a number), protect flag.
    void collect(ChannelSettings& settings) const;
    // Sends the name and shows it once the unit took it, then sets each fuse control the record
    // holds; the controls' own handlers decide what else reaches the unit.
    void apply(const ChannelSettings& settings);

    // The row's public controls. The window's parts go through the operations above; the fuse
    // box, the protect box and the I²t box do not exist on the inverter row (null there).
    ClickLabel* lblChannel = nullptr;
    DropDownList* comboBoxFuse = nullptr;
    QCheckBox* checkBox1 = nullptr;
    QLineEdit* textBoxCurrent = nullptr;
    QLineEdit* txtBoxRelayStatus = nullptr;
    QLineEdit* txtBoxCurrentSq = nullptr;

private:
    void createControls(QWidget* parent, const DesignScale& scale, int top);
    void createFuseControls(QWidget* parent, const DesignScale& scale, int top);
    void wireEvents(QWidget* owner);

    void lblChannel_Click();
    void btnOn_Click();
    void btnOff_Click();
    void btnToggle_Click();
    void fuseEnter();
    void fuseLeave();
    void fuseChange();
    void calculateFuse();
    void setFuse();
    void commitFuse();
    void setFuseText(const QString& text);

    std::uint32_t channel_;
    const DeviceSlot& dev_;
    bool inverter_;
    QString fuse_text_;
    bool fuse_lock_ = false;

    QPushButton* btnOn = nullptr;
    QPushButton* btnOff = nullptr;
    QPushButton* btnToggle = nullptr;
};

} // namespace Corvane
