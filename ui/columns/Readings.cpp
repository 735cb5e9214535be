#include "Readings.h"

#include "DesignScale.h"
#include "DisplayRefresh.h"
#include "NumberText.h"
#include "Telemetry.h"
#include "WindowFonts.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace Corvane {
namespace {

struct ReadingLine {
    const char* name;
    const char* box;
    const char* unit;
    bool sansSerif; // "Microsoft Sans Serif" 8.25 pt instead of the window font
};

constexpr std::array<ReadingLine, 9> kLines{{
    {"Current", "txtTotalCurrent", "A", true},
    {"Battery", "txtVoltage", "V", false},
    {"Ignition 1", "txtIgn1", "V", false},
    {"Ignition 2", "txtIgn2", "V", false},
    {"Ignition 3", "txtIgn3", "V", false},
    {"Int. Temp 1", "txtIntTemp1", "C", true},
    {"Int. Temp 2", "txtIntTemp2", "C", true},
    {"Int. Temp 3", "txtIntTemp3", "C", true},
    {"Ext. Temp", "txtExtTemp1", "C", true},
}};

constexpr int kTop = 8;
constexpr int kPitch = 24;

} // namespace

Readings::Readings(QBoxLayout& rows, const DesignScale& scale) {
    static_assert(kLines.size() == kCount);
    group_ = new QGroupBox(rows.parentWidget());
    group_->setObjectName(QStringLiteral("groupVoltages"));
    for (std::size_t i = 0; i < kLines.size(); ++i) {
        const ReadingLine& line = kLines.at(i);
        const int y = kTop + kPitch * static_cast<int>(i);
        auto* name = new QLabel(QString::fromLatin1(line.name), group_);
        const QString stem = QString::fromLatin1(line.box).mid(3); // without "txt"
        name->setObjectName(QStringLiteral("label") + stem);
        name->setGeometry(scale.rect(5, y + 3, 62, 15));
        auto* box = new QLineEdit(group_);
        box->setObjectName(QString::fromLatin1(line.box));
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (line.sansSerif) {
            box->setFont(WindowFonts::microsoftSansSerif(8.25));
        }
        box->setGeometry(scale.rect(68, y, 45, 20));
        auto* unit = new QLabel(QString::fromLatin1(line.unit), group_);
        unit->setObjectName(QStringLiteral("labelUnit") + stem);
        unit->setGeometry(scale.rect(116, y + 3, 12, 15));
        boxes_.at(i) = box;
    }
    rows.addWidget(group_, 1);
}

void Readings::show(Reading reading, double value) {
    DisplayRefresh::setText(*boxes_.at(reading), NumberText::n2(value));
}

void Readings::showPower(const tarn::PowerF32& power) {
    show(TotalCurrent, power.total_current);
    show(Voltage, power.battery);
    show(Ign1, power.ignition[0]);
    show(Ign2, power.ignition[1]);
    show(Ign3, power.ignition[2]);
}

void Readings::showTemperatures(const tarn::TempF32& temp) {
    show(ExtTemp1, temp.external[0]);
    show(IntTemp1, temp.internal[0]);
    show(IntTemp2, temp.internal[1]);
    show(IntTemp3, temp.internal[2]);
}

} // namespace Corvane
