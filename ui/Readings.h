#pragma once

#include <QString>

#include <array>
#include <cstddef>

class QGroupBox;
class QLineEdit;
class QWidget;

namespace Corvane {

class DesignScale;

// The nine live readings at the foot of the centre column, in the caption-less group box
// `groupVoltages`: total current, battery and ignition voltages, temperatures. Each is a name,
// a right-aligned box 45 pixels wide that the polling loop writes, and a unit.
class Readings {
public:
    enum Reading : std::size_t {
        TotalCurrent,
        Voltage,
        Ign1,
        Ign2,
        Ign3,
        IntTemp1,
        IntTemp2,
        IntTemp3,
        ExtTemp1,
        kCount
    };

    Readings(QWidget* parent, const DesignScale& scale);

    QGroupBox* groupVoltages() const { return group_; }
    QLineEdit* box(Reading reading) const { return boxes_.at(reading); }
    QLineEdit* txtTotalCurrent() const { return box(TotalCurrent); }
    QLineEdit* txtVoltage() const { return box(Voltage); }
    QLineEdit* txtIgn1() const { return box(Ign1); }
    QLineEdit* txtIgn2() const { return box(Ign2); }
    QLineEdit* txtIgn3() const { return box(Ign3); }
    QLineEdit* txtIntTemp1() const { return box(IntTemp1); }
    QLineEdit* txtIntTemp2() const { return box(IntTemp2); }
    QLineEdit* txtIntTemp3() const { return box(IntTemp3); }
    QLineEdit* txtExtTemp1() const { return box(ExtTemp1); }

private:
    QGroupBox* group_ = nullptr;
    std::array<QLineEdit*, kCount> boxes_{};
};

} // namespace Corvane
