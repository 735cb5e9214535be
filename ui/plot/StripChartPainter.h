#pragma once

#include "AxisTicks.h"
#include "ColumnGrid.h"
#include "ColumnGridCache.h"
#include "Decimation.h"
#include "PlotTrace.h"
#include "TelemetryHistory.h"

#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
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
    std::uint64_t tracesVersion = 0; // changes whenever traces or band do
};

// A frame's data, decimated: kept between paints while nothing it depends on changed, so a
// repaint for the cursor alone costs only the drawing.
struct ChartData {
    struct Key {
        std::uint64_t generation;
        TelemetryHistory::Millis from;
        TelemetryHistory::Millis to;
        int width;
        int height;
        std::uint64_t tracesVersion;

        bool operator==(const Key&) const = default;
    };
    struct Trace {
        std::vector<PlotPoint> points;
        std::vector<StateColumn> states;
        DecimationMemo memo;
    };

    std::optional<Key> key;
    TelemetryHistory::IndexRange range;
    std::shared_ptr<const ColumnGrid> grid;
    std::vector<Trace> traces;
    std::vector<StateColumn> band;
    AxisTicks::Scale scale{0, 1, 1, 0};
    bool anyData = false;
};

// Draws one frame of a strip chart: axes with locale tick labels, the legend, gaps, the traces
// decimated to two points per pixel column, relay states on them, and the cursor.
class StripChartPainter {
public:
    using Millis = TelemetryHistory::Millis;

    StripChartPainter(QPainter& painter, const TelemetryHistory& history, const ChartFrame& frame,
                      ChartData& data, ColumnGridCache& grids);
    void paint(const QRect& bounds);

    // Where the traces go inside a chart of `bounds`: the same left margin for every chart, so
    // charts stacked on one time axis line up.
    static QRect plotArea(const QRect& bounds, const QFontMetrics& metrics, bool timeLabels);

private:
    using Decimated = ChartData::Trace;

    void decimateTraces();
    std::uint8_t stateBefore(std::size_t lane) const;
    const ColumnGrid& grid() const { return *data_.grid; }
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
    void mapValues();
    Millis timeStep() const;

    QPainter& painter_;
    const TelemetryHistory& history_;
    const ChartFrame& frame_;
    ChartData& data_;
    ColumnGridCache& grids_;
    QRect plot_;      // the whole plot area
    QRect trace_;     // the part the traces use (above the band)
    Millis from_ = 0; // the window anchored to the plot's pixel columns
    Millis to_ = 1;
    double yAtZero_ = 0; // y = yAtZero_ + value * yPerUnit_
    double yPerUnit_ = -1;
};

} // namespace Corvane
