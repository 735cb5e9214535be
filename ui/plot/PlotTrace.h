#pragma once

#include "TelemetryHistory.h"

#include <QColor>
#include <QString>

#include <optional>

namespace Corvane {

// One series a strip chart draws, with the state lane shown on it: a relay channel's trace is
// drawn thin while the channel is OFF and marked where it entered a fault.
struct PlotTrace {
    QString name;
    QColor color;
    TelemetryHistory::Series series;
    std::optional<std::size_t> stateLane;
};

// A state drawn as a band along the bottom of a chart (the inverter, which reports no current).
struct PlotBand {
    QString name;
    std::size_t lane;
};

} // namespace Corvane
