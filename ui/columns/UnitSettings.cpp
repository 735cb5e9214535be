#include "UnitSettings.h"

#include "DropDownList.h"
#include "FocusLineEdit.h"
#include "HandlerGuard.h"
#include "TarnConfig.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QScopedValueRollback>
#include <QWidget>

namespace Corvane {

UnitSettings::UnitSettings(QBoxLayout& rows, const DeviceSlot& dev, const DesignScale& scale)
    : QObject(rows.parentWidget())
    , dev_(dev)
    , scale_(scale)
    , owner_(rows.parentWidget()) {
    buildStatusRows(rows);
    buildSelectionRows(rows);
    buildGroupRows(rows);
    connectHandlers();
}

// ---- Layout ----

QWidget* UnitSettings::row(QBoxLayout& rows, int designHeight) {
    auto* panel = new QWidget(rows.parentWidget());
    panel->setFixedHeight(scale_.y(designHeight));
    rows.addWidget(panel);
    return panel;
}

QLabel* UnitSettings::label(QWidget* parent, const QString& text, const QRect& geometry) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(geometry);
    return l;
}

QCheckBox* UnitSettings::checkBox(QWidget* parent, const QString& name, const QRect& geometry) {
    auto* box = new QCheckBox(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

void UnitSettings::buildStatusRows(QBoxLayout& rows) {
    QWidget* connection = row(rows, 25);
    labelConnectionStatus_ =
        label(connection, QStringLiteral("Disconnected"), scale_.rect(3, 4, 129, 17));
    labelConnectionStatus_->setObjectName(QStringLiteral("labelConnectionStatus"));

    // Two lines once a unit is connected: "Serial Number:" and the number below it.
    QWidget* serial = row(rows, 34);
    labelSerialNumber_ = label(serial, QStringLiteral("Serial Number"), scale_.rect(3, 1, 129, 32));
    labelSerialNumber_->setObjectName(QStringLiteral("labelSerialNumber"));
    labelSerialNumber_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void UnitSettings::buildSelectionRows(QBoxLayout& rows) {
    QWidget* id = row(rows, 25);
    label(id, QStringLiteral("Unit Id"), scale_.rect(3, 5, 46, 15))
        ->setObjectName(QStringLiteral("labelUnitId"));
    cboId_ = new DropDownList(id);
    cboId_->setObjectName(QStringLiteral("cboId"));
    cboId_->addItems({QStringLiteral("Master"), QStringLiteral("Slave 1"),
                      QStringLiteral("Slave 2"), QStringLiteral("Slave 3")});
    cboId_->setCurrentIndex(-1); // nothing is known until a unit answers
    cboId_->setGeometry(scale_.rect(52, 2, 80, 21));

    QWidget* modePin = row(rows, 55);
    label(modePin, QStringLiteral("Mode"), scale_.rect(3, 5, 46, 15))
        ->setObjectName(QStringLiteral("labelMode"));
    cboMode_ = new DropDownList(modePin);
    cboMode_->setObjectName(QStringLiteral("cboMode"));
    cboMode_->addItems({QStringLiteral("AUTO"), QStringLiteral("MANUAL"), QStringLiteral("VALET")});
    cboMode_->setCurrentIndex(-1);
    cboMode_->setGeometry(scale_.rect(52, 2, 80, 21));
    label(modePin, QStringLiteral("PIN"), scale_.rect(3, 32, 46, 15))
        ->setObjectName(QStringLiteral("labelPin"));
    txtPin_ = new FocusLineEdit(modePin);
    txtPin_->setObjectName(QStringLiteral("txtPin"));
    txtPin_->setGeometry(scale_.rect(52, 29, 56, 20));
    chkPin_ = checkBox(modePin, QStringLiteral("chkPin"), scale_.rect(113, 31, 19, 17));

    QWidget* bluetooth = row(rows, 37);
    label(bluetooth, QStringLiteral("Bluetooth:"), scale_.rect(3, 3, 62, 15))
        ->setObjectName(QStringLiteral("labelBluetooth"));
    checkBoxEnableBluetooth_ =
        checkBox(bluetooth, QStringLiteral("checkBoxEnableBluetooth"), scale_.rect(68, 2, 19, 17));
    labelBluetoothValue_ = label(bluetooth, QStringLiteral("Unknown"), scale_.rect(3, 19, 129, 15));
    labelBluetoothValue_->setObjectName(QStringLiteral("labelBluetoothValue"));
}

void UnitSettings::buildGroupRows(QBoxLayout& rows) {
    for (int first = 1; first <= kGroups; first += 3) {
        QWidget* panel = row(rows, 20);
        label(panel, QStringLiteral("Group %1-%2").arg(first).arg(first + 2),
              scale_.rect(3, 2, 68, 15))
            ->setObjectName(QStringLiteral("labelGroup%1").arg(first));
        for (int k = 0; k < 3; ++k) {
            const int n = first + k;
            chkGrp_.at(static_cast<std::size_t>(n - 1)) = checkBox(
                panel, QStringLiteral("chkGrp%1").arg(n), scale_.rect(74 + 20 * k, 1, 19, 17));
        }
    }
}

void UnitSettings::connectHandlers() {
    QWidget* w = owner_;
    connect(cboMode_, &DropDownList::dropDownOpened, this,
            guarded(w, [this] { cboMode_DropDown(); }));
    connect(cboMode_, &DropDownList::dropDownClosed, this,
            guarded(w, [this] { cboMode_DropDownClosed(); }));
    connect(cboMode_, &QComboBox::activated, this,
            guarded(w, [this](int) { cboMode_SelectionChangeCommitted(); }));
    connect(cboId_, &DropDownList::dropDownOpened, this, guarded(w, [this] { cboId_DropDown(); }));
    connect(cboId_, &DropDownList::dropDownClosed, this,
            guarded(w, [this] { cboId_DropDownClosed(); }));
    connect(cboId_, &QComboBox::activated, this,
            guarded(w, [this](int) { cboId_SelectionChangeCommitted(); }));
    connect(txtPin_, &FocusLineEdit::focusGained, this, guarded(w, [this] { txtPin_Enter(); }));
    connect(txtPin_, &FocusLineEdit::focusLost, this, guarded(w, [this] { txtPin_Leave(); }));
    connect(txtPin_, &QLineEdit::textChanged, this,
            guarded(w, [this](const QString&) { txtPin_TextChanged(); }));
    connect(chkPin_, &QCheckBox::toggled, this,
            guarded(w, [this](bool) { chkPin_CheckedChanged(); }));
    connect(checkBoxEnableBluetooth_, &QCheckBox::toggled, this,
            guarded(w, [this](bool) { checkBoxEnableBluetooth_CheckedChanged(); }));
    for (QCheckBox* box : chkGrp_) {
        connect(box, &QCheckBox::toggled, this,
                guarded(w, [this](bool) { chkGrp_CheckedChanged(); }));
    }
}

// ---- PIN code ----

// The text box's notion of white space (Unicode's) is wider than the file's.
std::optional<uint32_t> UnitSettings::pinCode(QStringView text) {
    const QByteArray digits = text.trimmed().toUtf8();
    const std::optional<unsigned> number = mapping::parsePin(
        std::string_view(digits.constData(), static_cast<std::size_t>(digits.size())));
    if (!number) {
        return std::nullopt;
    }
    return mapping::pinCode(*number);
}

std::optional<QString> UnitSettings::pinText(uint32_t code) {
    const std::optional<std::string> digits = mapping::pinText(code);
    if (!digits) {
        return std::nullopt;
    }
    return QString::fromStdString(*digits);
}

QString UnitSettings::defaultPin() {
    return QString::fromStdString(mapping::pinDigits(mapping::kDefaultPin));
}

// ---- Operations ----

bool UnitSettings::setMode(int mode) {
    if (!dev_ || !dev_->isOpen()) {
        return false;
    }
    switch (mode) {
    case tarn::MODE_AUTO:
        return dev_->setModeAuto();
    case tarn::MODE_MANUAL:
        return dev_->setModeManual();
    case tarn::MODE_VALET:
        return dev_->setModeValet();
    default:
        return false;
    }
}

void UnitSettings::updateMode() {
    uint8_t mode = 0;
    if (dev_ && dev_->getMode(&mode) && mode < cboMode_->count()) {
        cboMode_->setCurrentIndex(mode);
    }
}

void UnitSettings::updateId() {
    uint8_t id = 0;
    if (dev_ && dev_->getId(&id) && id < cboId_->count()) {
        cboId_->setCurrentIndex(id);
    }
}

void UnitSettings::updatePin() {
    uint32_t code = 0;
    if (!dev_ || !dev_->getPassword(&code)) {
        return;
    }
    if (const std::optional<QString> text = pinText(code)) {
        // Only a real change counts as one: the text box reports changes, and each writes.
        if (txtPin_->text() != *text) {
            txtPin_->setText(*text);
        }
        chkPin_->setChecked(true);
    } else {
        chkPin_->setChecked(false);
    }
}

void UnitSettings::setPin() {
    const std::optional<uint32_t> code = pinCode(txtPin_->text());
    if (dev_ && code) {
        dev_->setPassword(*code);
    }
}

bool UnitSettings::updateGroups() {
    uint16_t mask = 0;
    if (!dev_ || !dev_->getChannelGroups(&mask)) {
        return false;
    }
    const uint16_t shown = groupMask();
    {
        // Box by box, each change would write a mask made of part old and part new flags, and
        // a link that failed half-way would leave the unit holding such a mixture.
        const QScopedValueRollback refreshing(refreshingGroups_, true);
        for (int n = 1; n <= kGroups; ++n) {
            chkGrp(n)->setChecked((mask >> (n - 1)) & 1U);
        }
    }
    if (groupMask() != shown) {
        chkGrp_CheckedChanged(); // the one write a change makes: the unit's own mask
    }
    return true;
}

bool UnitSettings::updateBluetoothEnabled() {
    bool enabled = false;
    if (!dev_ || !dev_->getBluetoothEnabled(&enabled)) {
        return false;
    }
    checkBoxEnableBluetooth_->setChecked(enabled);
    return true;
}

uint16_t UnitSettings::groupMask() const {
    uint16_t mask = 0;
    for (int n = 1; n <= kGroups; ++n) {
        if (chkGrp(n)->isChecked()) {
            mask = static_cast<uint16_t>(mask | (1U << (n - 1)));
        }
    }
    return mask;
}

// ---- What the polling loop shows ----

void UnitSettings::setLabel(QLabel& label, const QString& text) {
    if (label.text() != text) {
        label.setText(text);
    }
}

void UnitSettings::showOpenResult(bool opened, UnitAccessHint::OpenFailure failure, int linkError) {
    accessHint_.update(*labelConnectionStatus_, opened, failure, linkError);
}

void UnitSettings::showFirmware(uint32_t major, uint32_t minor, uint32_t build) {
    setLabel(*labelConnectionStatus_,
             QStringLiteral("Firmware v%1.%2.%3").arg(major).arg(minor).arg(build));
}

void UnitSettings::showSerial(uint32_t serial) {
    // The platform's line break puts the number on the line below the caption.
    setLabel(*labelSerialNumber_,
             QStringLiteral("Serial Number:%1%2").arg(QStringLiteral("\n")).arg(serial));
}

void UnitSettings::showDisconnected() {
    setLabel(*labelConnectionStatus_, QStringLiteral("Disconnected"));
    setLabel(*labelBluetoothValue_, QStringLiteral("Unknown"));
}

void UnitSettings::showBluetooth(const tarn::StatusF32::BluetoothFeedback& bluetooth) {
    setLabel(*labelBluetoothValue_, QString::fromLatin1(tarn::bluetoothStateText(bluetooth)));
}

void UnitSettings::showMode(uint8_t mode) {
    if (!modeChange_ && mode < cboMode_->count() && cboMode_->currentIndex() != mode) {
        cboMode_->setCurrentIndex(mode);
    }
}

// ---- Save and load ----

void UnitSettings::collect(TarnConfig& config) const {
    config.setMode(cboMode_->currentIndex());
    config.setId(cboId_->currentIndex());
    // The configuration model keeps its texts as UTF-8.
    config.setPin(txtPin_->text().toStdString());
    config.setPinEnabled(chkPin_->isChecked());
    config.setBluetoothEnabled(checkBoxEnableBluetooth_->isChecked());
}

void UnitSettings::apply(const TarnConfig& config) {
    if (config.modeHasValue()) {
        setMode(config.getMode());
    }
    if (config.idHasValue() && dev_) {
        dev_->setId(static_cast<uint8_t>(config.getId()));
    }
    if (config.pinHasValue()) {
        txtPin_->setText(QString::fromStdString(config.getPin()));
    }
    if (config.pinEnabledHasValue()) {
        chkPin_->setChecked(config.getPinEnabled());
    }
    if (config.bluetoothEnabledHasValue()) {
        checkBoxEnableBluetooth_->setChecked(config.getBluetoothEnabled());
    }
}

bool UnitSettings::group(std::size_t channel) const {
    return chkGrp_.at(channel)->isChecked();
}

void UnitSettings::setGroup(std::size_t channel, bool on) {
    chkGrp_.at(channel)->setChecked(on);
}

// ---- Handlers ----

void UnitSettings::cboMode_SelectionChangeCommitted() {
    setMode(cboMode_->currentIndex());
}

void UnitSettings::cboId_SelectionChangeCommitted() {
    // No test of the connection here: without a unit the write simply fails.
    if (dev_ && cboId_->currentIndex() >= 0) {
        dev_->setId(static_cast<uint8_t>(cboId_->currentIndex()));
    }
}

void UnitSettings::txtPin_TextChanged() {
    if (chkPin_->isChecked()) {
        setPin();
    }
}

void UnitSettings::chkPin_CheckedChanged() {
    if (chkPin_->isChecked()) {
        if (txtPin_->text().isEmpty()) {
            txtPin_->setText(defaultPin());
        }
        setPin();
    } else if (dev_) {
        dev_->setPassword(kNoPin);
    }
    updatePin();
}

void UnitSettings::checkBoxEnableBluetooth_CheckedChanged() {
    if (dev_) {
        dev_->setBluetoothEnabled(checkBoxEnableBluetooth_->isChecked());
    }
}

void UnitSettings::chkGrp_CheckedChanged() {
    if (dev_ && !refreshingGroups_) {
        dev_->setChannelGroups(groupMask());
    }
}

} // namespace Corvane
