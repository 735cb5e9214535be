#include "SimUnitWindow.h"

#include "HandlerGuard.h"
#include "SimUnit.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <cstddef>
#include <functional>

namespace tarnsim {

using Corvane::guarded;

namespace {

// Loads the demo starts with, in amperes: a mix of small and large consumers, one channel
// with nothing connected (NO LOAD once switched on) and one above a 10 A fuse (trips).
constexpr std::array<double, sim::kRelayChannels> kDemoLoads{2.5, 4.0, 0.0, 7.5, 1.2, 12.0,
                                                             3.3, 0.8, 5.0, 6.5, 9.0, 15.0};

QSpinBox* spinBox(int low, int high, int value, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(low, high);
    box->setValue(value);
    return box;
}

QCheckBox* stateBox(const QString& text, bool checked, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setChecked(checked);
    return box;
}

} // namespace

SimUnitWindow::SimUnitWindow(sim::SimUnit& unit, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , unit_(unit) {
    setObjectName(QStringLiteral("SimUnitWindow"));
    setWindowTitle(QStringLiteral("Simulated unit"));
    auto* columns = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(buildConnection());
    left->addWidget(buildStates());
    left->addStretch(1);
    columns->addLayout(left);
    columns->addWidget(buildChannels());
}

QWidget* SimUnitWindow::buildConnection() {
    auto* group = new QGroupBox(QStringLiteral("USB and identity"), this);
    auto* form = new QFormLayout(group);
    const sim::SimIdentity& id = unit_.identity();
    major_ = spinBox(0, 0xFFFF, id.major, group);
    minor_ = spinBox(0, 0xFFFF, id.minor, group);
    build_ = spinBox(0, 0xFFFF, id.build, group);
    auto* version = new QHBoxLayout;
    version->addWidget(major_);
    version->addWidget(minor_);
    version->addWidget(build_);
    form->addRow(QStringLiteral("Firmware (next replug)"), version);
    // A spin box holds an int: serial numbers up to 2^31 - 1 are offered.
    serial_ = spinBox(0, 0x7FFFFFFF, static_cast<int>(id.serial & 0x7FFFFFFF), group);
    form->addRow(QStringLiteral("Serial number"), serial_);
    hwRev_ = spinBox(0, 255, id.hwRev, group);
    hwRev_->setToolTip(QStringLiteral("2 or more: the unit has an inverter output"));
    form->addRow(QStringLiteral("Hardware revision"), hwRev_);

    auto* buttons = new QHBoxLayout;
    auto* unplug = new QPushButton(QStringLiteral("Unplug"), group);
    auto* replugButton = new QPushButton(QStringLiteral("Replug"), group);
    unplug->setObjectName(QStringLiteral("buttonUnplug"));
    replugButton->setObjectName(QStringLiteral("buttonReplug"));
    buttons->addWidget(unplug);
    buttons->addWidget(replugButton);
    form->addRow(buttons);
    connect(unplug, &QPushButton::clicked, this, guarded(this, [this](bool) { unit_.unplug(); }));
    connect(replugButton, &QPushButton::clicked, this, guarded(this, [this](bool) { replug(); }));

    auto* rate = spinBox(1, 1000, 50, group);
    rate->setSuffix(QStringLiteral(" packets/s"));
    form->addRow(QStringLiteral("Telemetry rate"), rate);
    connect(rate, &QSpinBox::valueChanged, this, guarded(this, [this](int value) {
                unit_.setTelemetryRate(static_cast<unsigned>(value));
            }));
    return group;
}

void SimUnitWindow::replug() {
    sim::SimIdentity id = unit_.identity();
    id.major = static_cast<uint16_t>(major_->value());
    id.minor = static_cast<uint16_t>(minor_->value());
    id.build = static_cast<uint16_t>(build_->value());
    id.serial = static_cast<uint32_t>(serial_->value());
    id.hwRev = static_cast<uint8_t>(hwRev_->value());
    unit_.setIdentity(id);
    // Replugging a unit that is still plugged in is pulling it out and putting it back.
    if (unit_.device()->attached()) {
        unit_.unplug();
    }
    unit_.replug();
}

QWidget* SimUnitWindow::buildChannels() {
    auto* group = new QGroupBox(QStringLiteral("Channels"), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Load (A)"), group), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Fault"), group), 0, 2);
    for (std::size_t i = 0; i < sim::kRelayChannels; ++i) {
        const int row = static_cast<int>(i) + 1;
        grid->addWidget(new QLabel(QStringLiteral("Ch. %1").arg(row), group), row, 0);
        auto* load = new QDoubleSpinBox(group);
        load->setRange(0.0, 100.0);
        load->setDecimals(2);
        load->setSingleStep(0.5);
        load->setValue(kDemoLoads.at(i));
        unit_.setLoad(i, kDemoLoads.at(i));
        connect(load, &QDoubleSpinBox::valueChanged, this,
                guarded(this, [this, i](double amps) { unit_.setLoad(i, amps); }));
        grid->addWidget(load, row, 1);
        auto* fault = new QComboBox(group);
        fault->addItems(
            {QStringLiteral("None"), QStringLiteral("BAD RELAY"), QStringLiteral("BAD FUSE")});
        connect(fault, &QComboBox::currentIndexChanged, this, guarded(this, [this, i](int index) {
                    static constexpr std::array<sim::ChannelFault, 3> kFaults{
                        sim::ChannelFault::None, sim::ChannelFault::BadRelay,
                        sim::ChannelFault::BadFuse};
                    if (index >= 0 && index < static_cast<int>(kFaults.size())) {
                        unit_.setFault(i, kFaults.at(static_cast<std::size_t>(index)));
                    }
                }));
        grid->addWidget(fault, row, 2);
    }
    return group;
}

QWidget* SimUnitWindow::buildStates() {
    auto* group = new QGroupBox(QStringLiteral("Inverter, Bluetooth, ignition"), this);
    auto* column = new QVBoxLayout(group);
    sim::SimUnit& unit = unit_;
    const auto add = [this, group, column](const QString& text, bool checked,
                                           const std::function<void(bool)>& set) {
        QCheckBox* box = stateBox(text, checked, group);
        set(checked);
        connect(box, &QCheckBox::toggled, this, guarded(this, set));
        column->addWidget(box);
    };
    add(QStringLiteral("Inverter over load"), false,
        [&unit](bool on) { unit.setInverterOverload(on); });
    add(QStringLiteral("Inverter over temperature"), false,
        [&unit](bool on) { unit.setInverterOverTemp(on); });
    add(QStringLiteral("Bluetooth module present"), true,
        [&unit](bool on) { unit.setBluetoothPresent(on); });
    add(QStringLiteral("Bluetooth connected"), false,
        [&unit](bool on) { unit.setBluetoothConnected(on); });
    add(QStringLiteral("Bluetooth searching"), false,
        [&unit](bool on) { unit.setBluetoothSearching(on); });
    column->addWidget(
        new QLabel(QStringLiteral("Bluetooth on or off: the console's own box."), group));
    for (std::size_t input = 0; input < 3; ++input) {
        QCheckBox* box = stateBox(QStringLiteral("Ignition %1").arg(input + 1), input == 0, group);
        unit_.setIgnition(input, input == 0);
        connect(box, &QCheckBox::toggled, this,
                guarded(this, [this, input](bool on) { unit_.setIgnition(input, on); }));
        column->addWidget(box);
    }
    return group;
}

} // namespace tarnsim
