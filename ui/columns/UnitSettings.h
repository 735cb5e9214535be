#pragma once

#include "DesignScale.h"
#include "DeviceSlot.h"
#include "PinCode.h"
#include "Telemetry.h"
#include "UnitAccessHint.h"

#include <QObject>
#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

class QBoxLayout;
class QCheckBox;
class QLabel;
class QWidget;

namespace Corvane {

class DropDownList;
class FocusLineEdit;
class TarnConfig;

// The centre column above the readings: the connection and serial labels, and the unit-wide
// settings (operating mode, unit id, mode PIN, Bluetooth enable, the twelve channel group
// flags). Each control writes to the unit the moment it changes, by one device call whose
// result is ignored; the refresh operations show what the unit really holds. Three editing
// flags keep the periodic refresh away from a control while the operator uses it. The controls
// are this column's own: the polling loop and save and load go through the operations below.
class UnitSettings : public QObject {
    Q_OBJECT

public:
    static constexpr uint32_t kNoPin = mapping::kNoPin;
    static constexpr int kGroups = 12;

    // Builds rows one to nine of the centre column into `rows`, whose widget parents them.
    UnitSettings(QBoxLayout& rows, const DeviceSlot& dev, const DesignScale& scale);

    // The PIN text as the unit's code: the leftmost of four digits in the lowest byte. Empty
    // when the text is not an unsigned decimal number of at most 9999.
    static std::optional<uint32_t> pinCode(QStringView text);
    // The unit's code as four digits, or empty when it holds no PIN (some byte above 9).
    static std::optional<QString> pinText(uint32_t code);
    static QString defaultPin();

    // ---- Operations other parts call ----
    // False at once when no unit is open or the mode is not 0 (AUTO), 1 (MANUAL) or 2 (VALET).
    bool setMode(int mode);
    void updateMode();
    void updateId();
    void updatePin();
    void setPin();
    // The connection refresh of the group boxes and the Bluetooth box; false when the read fails.
    bool updateGroups();
    bool updateBluetoothEnabled();
    // The mask the twelve group boxes stand for, bit N-1 for chkGrpN.
    uint16_t groupMask() const;

    // ---- What the polling loop shows ----
    // After each attempt to open a unit: why one that is there cannot be opened, as a tool tip.
    void showOpenResult(bool opened, UnitAccessHint::OpenFailure failure, int linkError);
    // "Firmware v{0}.{1}.{2}" in the connection label.
    void showFirmware(uint32_t major, uint32_t minor, uint32_t build);
    // "Serial Number:", and the number on the line below.
    void showSerial(uint32_t serial);
    // No unit: "Disconnected", and the Bluetooth state "Unknown".
    void showDisconnected();
    void showBluetooth(const tarn::StatusF32::BluetoothFeedback& bluetooth);
    // The telemetry's mode byte, unless the operator has the list open or it names no mode.
    void showMode(uint8_t mode);

    // ---- Save and load ----
    // Mode and unit id as selected (-1 for none), PIN text, PIN on, Bluetooth on.
    void collect(TarnConfig& config) const;
    // Each of those the file holds: mode and id go to the unit and show at the next poll; the
    // PIN and the two check boxes are set here, and their own handlers send what changed.
    void apply(const TarnConfig& config);
    // The group box of channel 0 to 11; setting it writes the groups if it changes.
    bool group(std::size_t channel) const;
    void setGroup(std::size_t channel, bool on);

    // ---- Editing flags ----
    bool modeChange() const { return modeChange_; }
    bool idChange() const { return idChange_; }
    bool pinChange() const { return pinChange_; }

    // ---- Handlers ----
    void cboMode_DropDown() { modeChange_ = true; }
    void cboMode_DropDownClosed() { modeChange_ = false; }
    void cboMode_SelectionChangeCommitted();
    void cboId_DropDown() { idChange_ = true; }
    void cboId_DropDownClosed() { idChange_ = false; }
    void cboId_SelectionChangeCommitted();
    void txtPin_Enter() { pinChange_ = true; }
    void txtPin_Leave() { pinChange_ = false; }
    void txtPin_TextChanged();
    void chkPin_CheckedChanged();
    void checkBoxEnableBluetooth_CheckedChanged();
    void chkGrp_CheckedChanged();

private:
    QWidget* row(QBoxLayout& rows, int designHeight);
    QLabel* label(QWidget* parent, const QString& text, const QRect& geometry);
    QCheckBox* checkBox(QWidget* parent, const QString& name, const QRect& geometry);
    void buildStatusRows(QBoxLayout& rows);
    void buildSelectionRows(QBoxLayout& rows);
    void buildGroupRows(QBoxLayout& rows);
    void connectHandlers();
    // n from 1 to 12.
    QCheckBox* chkGrp(int n) const { return chkGrp_.at(static_cast<std::size_t>(n - 1)); }
    static void setLabel(QLabel& label, const QString& text);

    const DeviceSlot& dev_;
    DesignScale scale_;
    QWidget* owner_ = nullptr; // the column, for the guard's message box

    bool modeChange_ = false;
    bool idChange_ = false;
    bool pinChange_ = false;
    bool refreshingGroups_ = false; // the boxes are being set from the unit, not by the operator
    UnitAccessHint accessHint_;

    QLabel* labelConnectionStatus_ = nullptr;
    QLabel* labelSerialNumber_ = nullptr;
    DropDownList* cboId_ = nullptr;
    DropDownList* cboMode_ = nullptr;
    FocusLineEdit* txtPin_ = nullptr;
    QCheckBox* chkPin_ = nullptr;
    QCheckBox* checkBoxEnableBluetooth_ = nullptr;
    QLabel* labelBluetoothValue_ = nullptr;
    std::array<QCheckBox*, kGroups> chkGrp_{};
};

} // namespace Corvane
