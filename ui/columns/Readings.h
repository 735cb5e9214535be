#pragma once

#include <array>
#include <cstddef>

class QBoxLayout;
class QGroupBox;
class QLineEdit;

namespace tarn {
struct PowerF32;
struct TempF32;
} // namespace tarn

namespace Corvane {

class DesignScale;

// The nine live readings at the foot of the centre column, in the caption-less group box
// `groupVoltages`: total current, battery and ignition voltages, temperatures. Each is a name,
// a right-aligned box 45 pixels wide, and a unit; the boxes show what the polling loop hands
// over, "{0:N2}" each, and are set only when the text changes.
class Readings {
public:
    // Adds the group box to `rows`, taking what is left of the column's height.
    Readings(QBoxLayout& rows, const DesignScale& scale);

    // Total current, battery and the three ignition voltages, in that order.
    void showPower(const tarn::PowerF32& power);
    // The first external temperature, then the three internal ones; the other external sensors
    // are not shown.
    void showTemperatures(const tarn::TempF32& temp);

private:
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

    void show(Reading reading, double value);

    QGroupBox* group_ = nullptr;
    std::array<QLineEdit*, kCount> boxes_{};
};

} // namespace Corvane
