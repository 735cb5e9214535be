#pragma once

#include "AxisTicks.h"
#include "ColumnGrid.h"
#include "Decimation.h"
#include "PlotTrace.h"
#include "TelemetryHistory.h"

#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QPainter;
class QFontMetrics;

namespace Corvane {

// What one frame of a strip chart shows.
struct ChartFrame {
    QString title; // "Current"
    QString unit;  // "A"
    std::vector<PlotTrace> traces;
    std::optional<PlotBand> band;
    TelemetryHistory::Millis from = 0; // the time window [from, to)
    TelemetryHistory::Millis to = 1;
    std::optional<TelemetryHistory::Millis> cursor;
    QStringList readout; // the cursor box's lines, the time first
    bool timeLabels = true;
};

// Draws one frame of a strip chart: axes with locale tick labels, the legend, gaps, the traces
// decimated to two points per pixel column, relay states on them, and the cursor.
class StripChartPainter {
public:
    using Millis = TelemetryHistory::Millis;

    StripChartPainter(QPainter& painter, const TelemetryHistory& history, const ChartFrame& frame);
    void paint(const QRect& bounds);

    // Where the traces go inside a chart of `bounds`: the same left margin for every chart, so
    // charts stacked on one time axis line up.
    static QRect plotArea(const QRect& bounds, const QFontMetrics& metrics, bool timeLabels);

private:
    struct Decimated {
        std::vector<PlotPoint> points;
        std::vector<StateColumn> states;
    };

    void decimateTraces();
    void drawFrameAndGrid();
    void drawValueLabels();
    void drawTimeLabels();
    void drawGaps();
    void drawLegend(const QRect& bounds);
    void drawTrace(const PlotTrace& trace, const Decimated& data);
    void drawMarkers(const PlotTrace& trace, const Decimated& data);
    void drawBand();
    void drawMarker(double x, double y, std::size_t lane, std::uint8_t state);
    void drawCursor();
    void drawNoData();

    double xOfTime(Millis time) const;
    double xOfColumn(int column) const;
    double yOfValue(double value) const;

    QPainter& painter_;
    const TelemetryHistory& history_;
    const ChartFrame& frame_;
    QRect plot_;  // the whole plot area
    QRect trace_; // the part the traces use (above the band)
    TelemetryHistory::IndexRange range_;
    ColumnGrid grid_;
    std::vector<Decimated> decimated_;
    AxisTicks::Scale scale_{0, 1, 1, 0};
    bool anyData_ = false;
};

} // namespace Corvane
