#include "StripChart.h"

#include "AxisTicks.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace Corvane {

StripChart::StripChart(const TelemetryHistory& history, QString title, QString unit,
                       QWidget* parent)
    : QWidget(parent)
    , history_(history) {
    frame_.title = std::move(title);
    frame_.unit = std::move(unit);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void StripChart::setTraces(std::vector<PlotTrace> traces) {
    frame_.traces = std::move(traces);
    ++frame_.tracesVersion;
    refresh();
}

void StripChart::setBand(std::optional<PlotBand> band) {
    frame_.band = std::move(band);
    ++frame_.tracesVersion;
    refresh();
}

void StripChart::setGridCache(std::shared_ptr<ColumnGridCache> grids) {
    if (grids) {
        grids_ = std::move(grids);
    }
}

void StripChart::setTimeWindow(Millis from, Millis to) {
    to = std::max(to, from + 1);
    if (from == frame_.from && to == frame_.to) {
        return;
    }
    frame_.from = from;
    frame_.to = to;
    refresh();
}

void StripChart::setCursorTime(std::optional<Millis> time) {
    if (time == frame_.cursor) {
        return;
    }
    frame_.cursor = time;
    refresh();
}

void StripChart::setTimeLabelsVisible(bool visible) {
    frame_.timeLabels = visible;
    updateGeometry();
    update();
}

void StripChart::refresh() {
    updateReadout();
    update();
}

QRect StripChart::plotArea() const {
    return StripChartPainter::plotArea(rect(), fontMetrics(), frame_.timeLabels);
}

QSize StripChart::minimumSizeHint() const {
    const int line = fontMetrics().height();
    return {fontMetrics().averageCharWidth() * 40, line * (frame_.timeLabels ? 8 : 7)};
}

QSize StripChart::sizeHint() const {
    return {fontMetrics().averageCharWidth() * 120, fontMetrics().height() * 16};
}

void StripChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    StripChartPainter(painter, history_, frame_, data_, *grids_).paint(rect());
}

StripChart::Millis StripChart::timeAt(double x) const {
    // The painted window: anchored to the pixel columns.
    const QRect plot = plotArea();
    const ColumnGrid::Anchored window =
        ColumnGrid::anchored(frame_.from, frame_.to, std::max(1, plot.width()));
    const double fraction = (x - plot.left()) / std::max(1, plot.width());
    return window.from + static_cast<Millis>(
                             std::llround(fraction * static_cast<double>(window.to - window.from)));
}

void StripChart::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragX_ = event->position().x();
        dragRemainder_ = 0;
    }
}

void StripChart::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    const QRect plot = plotArea();
    if (dragX_ && (event->buttons() & Qt::LeftButton)) {
        // Dragging the traces right brings earlier times into view.
        const double span = static_cast<double>(frame_.to - frame_.from);
        const double by = -(x - *dragX_) / std::max(1, plot.width()) * span + dragRemainder_;
        const auto whole = static_cast<qint64>(std::trunc(by));
        dragRemainder_ = by - static_cast<double>(whole);
        dragX_ = x;
        if (whole != 0) {
            Q_EMIT dragged(whole);
        }
    }
    if (x >= plot.left() && x <= plot.right()) {
        Q_EMIT cursorMoved(timeAt(x));
    } else {
        Q_EMIT cursorLeft();
    }
}

void StripChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragX_.reset();
    }
}

void StripChart::leaveEvent(QEvent*) {
    Q_EMIT cursorLeft();
}

QString StripChart::readoutLine(const PlotTrace& trace, std::size_t sample) const {
    const float value = history_.values(trace.series, {sample, 1})[0];
    QString line = trace.name + QStringLiteral("  ");
    line += std::isnan(value) ? QStringLiteral("\u2013")
                              : AxisTicks::valueLabel(value, 2) + QLatin1Char(' ') + frame_.unit;
    if (trace.stateLane) {
        const std::uint8_t state = history_.states(*trace.stateLane, {sample, 1})[0];
        const std::string_view word = TelemetryHistory::stateText(*trace.stateLane, state);
        if (!word.empty()) {
            line += QStringLiteral("  ") +
                    QString::fromLatin1(word.data(), static_cast<qsizetype>(word.size()));
        }
    }
    return line;
}

void StripChart::updateReadout() {
    frame_.readout.clear();
    if (!frame_.cursor) {
        return;
    }
    const Millis cursor = *frame_.cursor;
    frame_.readout.push_back(AxisTicks::cursorTimeLabel(cursor));
    // A value shows only where a sample lies within two pixels of the cursor: in a gap, none.
    const double pixel =
        static_cast<double>(frame_.to - frame_.from) / std::max(1, plotArea().width());
    const auto tolerance = std::max<Millis>(100, static_cast<Millis>(2 * pixel));
    const std::optional<std::size_t> sample = history_.nearest(cursor);
    const bool near = sample && std::llabs(history_.times({*sample, 1})[0] - cursor) <= tolerance;
    for (const PlotTrace& trace : frame_.traces) {
        frame_.readout.push_back(near ? readoutLine(trace, *sample)
                                      : trace.name + QStringLiteral("  \u2013"));
    }
    if (frame_.band) {
        const std::size_t lane = frame_.band->lane;
        const std::string_view word =
            near ? TelemetryHistory::stateText(lane, history_.states(lane, {*sample, 1})[0])
                 : std::string_view{};
        frame_.readout.push_back(
            frame_.band->name + QStringLiteral("  ") +
            (word.empty() ? QStringLiteral("\u2013")
                          : QString::fromLatin1(word.data(), static_cast<qsizetype>(word.size()))));
    }
}

} // namespace Corvane
