#pragma once

#include <QWidget>

#include <array>

class QCheckBox;
class QSpinBox;

namespace sim {
class SimUnit;
}

namespace tarnsim {

// The demo's second window, "Simulated unit": acts on the simulated unit while the console
// runs, so that every state the console can show can be brought about without a real unit.
// Unplug and replug, loads and injected faults per channel, the inverter's and the Bluetooth
// module's states, the ignition inputs, the identity the unit gives at its next replug, and its
// telemetry rate.
class SimUnitWindow : public QWidget {
public:
    explicit SimUnitWindow(sim::SimUnit& unit, QWidget* parent = nullptr);

private:
    QWidget* buildConnection();
    QWidget* buildChannels();
    QWidget* buildStates();
    void replug();

    sim::SimUnit& unit_;
    QSpinBox* major_ = nullptr;
    QSpinBox* minor_ = nullptr;
    QSpinBox* build_ = nullptr;
    QSpinBox* serial_ = nullptr;
    QSpinBox* hwRev_ = nullptr;
};

} // namespace tarnsim
