#pragma once

// The public controls are complete types here: every user of a row reads or writes them.
#include "ClickLabel.h"
#include "DropDownList.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QObject>
#include <QString>

#include <cstdint>

class QPushButton;
class QWidget;

namespace tarn {
class TarnInterface;
}

namespace Corvane {

class DesignScale;

// One row of the channel table: the controls of one relay output (channels 0 to 11) or of the
// inverter (channel 12), placed on the parent group box. The row switches the relay, commits
// fuse settings to the unit and shows what the unit read back, and renames the channel.
// Current and status boxes are the main window's to fill.
class RelayChannel : public QObject {
    Q_OBJECT

public:
    // Builds and places the controls; sends nothing to the unit.
    RelayChannel(QWidget* parent, tarn::TarnInterface& dev, std::uint32_t channel, bool inverter);

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

    // The controls the main window and the configuration transfer read and write. The fuse box,
    // the protect box and the I²t box do not exist on the inverter row (null there).
    ClickLabel* lblChannel = nullptr;
    DropDownList* comboBoxFuse = nullptr;
    QCheckBox* checkBox1 = nullptr;
    QLineEdit* textBoxCurrent = nullptr;
    QLineEdit* txtBoxRelayStatus = nullptr;
    QLineEdit* txtBoxCurrentSq = nullptr;

private:
    void createControls(QWidget* parent, const DesignScale& scale, int top);
    void createFuseControls(QWidget* parent, const DesignScale& scale, int top);
    void wireEvents();

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
    tarn::TarnInterface& dev_;
    bool inverter_;
    QString fuse_text_;
    bool fuse_lock_ = false;

    QPushButton* btnOn = nullptr;
    QPushButton* btnOff = nullptr;
    QPushButton* btnToggle = nullptr;
};

} // namespace Corvane
