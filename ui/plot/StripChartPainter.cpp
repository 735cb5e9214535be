#include "StripChartPainter.h"

#include "Packets.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Corvane {
namespace {

constexpr std::uint16_t kRelayFaults =
    (1U << tarn::RELAY_BAD_RELAY) | (1U << tarn::RELAY_BAD_FUSE) | (1U << tarn::RELAY_OVER_CURRENT);
constexpr std::uint16_t kInverterFaults =
    (1U << TelemetryHistory::INVERTER_OVER_LOAD) | (1U << TelemetryHistory::INVERTER_OVER_TEMP);

const QColor kGridColor(226, 226, 226);
const QColor kFrameColor(160, 160, 160);
const QColor kGapColor(238, 238, 238);
const QColor kFaultColor(220, 0, 0);
const QColor kOnColor(0, 128, 0);
const QColor kOffColor(200, 200, 200);

int bandHeight(const QFontMetrics& metrics) {
    return std::max(6, metrics.height() / 2);
}

QString stateWord(std::size_t lane, std::uint8_t state) {
    const std::string_view text = TelemetryHistory::stateText(lane, state);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

StripChartPainter::StripChartPainter(QPainter& painter, const TelemetryHistory& history,
                                     const ChartFrame& frame)
    : painter_(painter)
    , history_(history)
    , frame_(frame) {}

QRect StripChartPainter::plotArea(const QRect& bounds, const QFontMetrics& metrics,
                                  bool timeLabels) {
    const int left = metrics.horizontalAdvance(QLocale().toString(-8888.88, 'f', 2)) + 12;
    const int top = metrics.height() + 8;
    const int right = 12;
    const int bottom = timeLabels ? metrics.height() + 8 : 6;
    return bounds.adjusted(left, top, -right, -bottom);
}

void StripChartPainter::paint(const QRect& bounds) {
    const QFontMetrics metrics = painter_.fontMetrics();
    plot_ = plotArea(bounds, metrics, frame_.timeLabels);
    trace_ = frame_.band ? plot_.adjusted(0, 0, 0, -(bandHeight(metrics) + 3)) : plot_;
    painter_.fillRect(bounds, Qt::white);
    if (plot_.width() < 2 || trace_.height() < 2) {
        return;
    }
    decimateTraces();
    drawGaps();
    drawFrameAndGrid();
    drawValueLabels();
    if (frame_.timeLabels) {
        drawTimeLabels();
    }
    painter_.save();
    painter_.setClipRect(plot_);
    for (std::size_t i = 0; i < frame_.traces.size(); ++i) {
        drawTrace(frame_.traces[i], decimated_[i]);
    }
    if (frame_.band) {
        drawBand();
    }
    for (std::size_t i = 0; i < frame_.traces.size(); ++i) {
        drawMarkers(frame_.traces[i], decimated_[i]);
    }
    painter_.restore();
    if (!anyData_) {
        drawNoData();
    }
    drawLegend(bounds);
    drawCursor();
}

void StripChartPainter::decimateTraces() {
    range_ = history_.range(frame_.from, frame_.to);
    std::optional<Millis> before;
    if (range_.first > 0) {
        before = history_.times({range_.first - 1, 1})[0];
    }
    grid_ = ColumnGrid::build(history_.times(range_), history_.flags(range_),
                              TelemetryHistory::kGapBefore, frame_.from, frame_.to, plot_.width(),
                              before ? &*before : nullptr);
    decimated_.assign(frame_.traces.size(), {});
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (std::size_t i = 0; i < frame_.traces.size(); ++i) {
        const PlotTrace& trace = frame_.traces[i];
        Decimated& data = decimated_[i];
        decimate(grid_, history_.values(trace.series, range_), data.points);
        for (const PlotPoint& p : data.points) {
            low = std::min(low, static_cast<double>(p.value));
            high = std::max(high, static_cast<double>(p.value));
        }
        if (trace.stateLane) {
            const std::uint8_t prior =
                range_.first > 0 ? history_.states(*trace.stateLane, {range_.first - 1, 1})[0]
                                 : TelemetryHistory::kUnknownState;
            decimateStates(grid_, history_.states(*trace.stateLane, range_), prior, kRelayFaults,
                           data.states);
        }
    }
    anyData_ = low <= high;
    const int maxTicks = std::max(2, trace_.height() / (painter_.fontMetrics().height() * 2));
    scale_ = AxisTicks::valueScale(low, high, maxTicks);
}

double StripChartPainter::xOfTime(Millis time) const {
    const double span = static_cast<double>(std::max<Millis>(1, frame_.to - frame_.from));
    return plot_.left() + static_cast<double>(time - frame_.from) / span * plot_.width();
}

double StripChartPainter::xOfColumn(int column) const {
    return plot_.left() + column + 0.5;
}

double StripChartPainter::yOfValue(double value) const {
    const double span = std::max(1e-12, scale_.high - scale_.low);
    return trace_.top() + (scale_.high - value) / span * (trace_.height() - 1);
}

void StripChartPainter::drawGaps() {
    const auto shade = [this](Millis from, Millis to) {
        const double left = std::max<double>(plot_.left(), xOfTime(from));
        const double right = std::min<double>(plot_.right() + 1, xOfTime(to));
        if (right > left) {
            painter_.fillRect(QRectF(left, plot_.top(), right - left, plot_.height()), kGapColor);
        }
    };
    for (const ColumnGrid::Gap& gap : grid_.gaps()) {
        shade(gap.from, gap.to);
    }
    // The unit is away now: from its last sample to the latest time the history knows.
    if (history_.gapOpen() && history_.size() > 0) {
        shade(history_.times({history_.size() - 1, 1})[0], *history_.latestTime());
    }
}

void StripChartPainter::drawFrameAndGrid() {
    painter_.setPen(QPen(kGridColor, 0));
    for (const double tick : AxisTicks::valueTicks(scale_)) {
        const double y = yOfValue(tick);
        painter_.drawLine(QPointF(plot_.left(), y), QPointF(plot_.right(), y));
    }
    const int labelWidth = painter_.fontMetrics().horizontalAdvance(QStringLiteral("00:00:00 PM"));
    const Millis step = AxisTicks::timeStep(frame_.to - frame_.from, plot_.width(), labelWidth);
    for (const Millis tick : AxisTicks::timeTicks(frame_.from, frame_.to, step)) {
        const double x = xOfTime(tick);
        painter_.drawLine(QPointF(x, plot_.top()), QPointF(x, plot_.bottom()));
    }
    painter_.setPen(QPen(kFrameColor, 0));
    painter_.drawRect(plot_.adjusted(0, 0, -1, -1));
}

void StripChartPainter::drawValueLabels() {
    const QFontMetrics metrics = painter_.fontMetrics();
    painter_.setPen(Qt::black);
    int lastY = std::numeric_limits<int>::max();
    for (const double tick : AxisTicks::valueTicks(scale_)) {
        const int y = static_cast<int>(std::lround(yOfValue(tick)));
        if (lastY - y < metrics.height()) {
            continue; // keep labels apart on a short chart
        }
        lastY = y;
        const QRect box(0, y - metrics.height() / 2, plot_.left() - 6, metrics.height());
        painter_.drawText(box, Qt::AlignRight | Qt::AlignVCenter,
                          AxisTicks::valueLabel(tick, scale_.decimals));
    }
}

void StripChartPainter::drawTimeLabels() {
    const QFontMetrics metrics = painter_.fontMetrics();
    const Millis span = frame_.to - frame_.from;
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("00:00:00 PM"));
    const Millis step = AxisTicks::timeStep(span, plot_.width(), labelWidth);
    painter_.setPen(Qt::black);
    for (const Millis tick : AxisTicks::timeTicks(frame_.from, frame_.to, step)) {
        const QString text = AxisTicks::timeLabel(tick, step < 60000);
        const int width = metrics.horizontalAdvance(text);
        const int x = static_cast<int>(std::lround(xOfTime(tick))) - width / 2;
        const int left = std::clamp(x, plot_.left() - 4, plot_.right() + 8 - width);
        painter_.drawText(QRect(left, plot_.bottom() + 4, width, metrics.height()), Qt::AlignCenter,
                          text);
    }
}

void StripChartPainter::drawLegend(const QRect& bounds) {
    const QFontMetrics metrics = painter_.fontMetrics();
    const int baseline = bounds.top() + 4 + metrics.ascent();
    QFont bold = painter_.font();
    bold.setBold(true);
    painter_.save();
    painter_.setFont(bold);
    painter_.setPen(Qt::black);
    const QString title = QStringLiteral("%1 (%2)").arg(frame_.title, frame_.unit);
    painter_.drawText(plot_.left(), baseline, title);
    int x = plot_.left() + QFontMetrics(bold).horizontalAdvance(title) + 16;
    painter_.restore();

    const auto entry = [&](const QString& name, const QColor& color) {
        const int width = 14 + metrics.horizontalAdvance(name);
        if (x + width > plot_.right()) {
            return false;
        }
        const int mid = baseline - metrics.ascent() / 3;
        painter_.fillRect(QRect(x, mid - 2, 10, 4), color);
        painter_.setPen(Qt::black);
        painter_.drawText(x + 14, baseline, name);
        x += width + 12;
        return true;
    };
    for (const PlotTrace& trace : frame_.traces) {
        if (!entry(trace.name, trace.color)) {
            painter_.drawText(x, baseline, QStringLiteral("\u2026"));
            return;
        }
    }
    if (frame_.band) {
        entry(frame_.band->name, kOnColor);
    }
}

void StripChartPainter::drawTrace(const PlotTrace& trace, const Decimated& data) {
    QPen normal(trace.color, 2);
    normal.setCapStyle(Qt::FlatCap);
    QColor light = trace.color;
    light.setAlpha(140);
    const QPen thin(light, 1);
    QPolygonF run;
    bool runThin = false;
    const auto flush = [&] {
        painter_.setPen(runThin ? thin : normal);
        if (run.size() == 1) {
            painter_.drawPoint(run.front()); // a lone sample between gaps
        } else if (run.size() > 1) {
            painter_.drawPolyline(run);
        }
        run.clear();
    };
    for (const PlotPoint& p : data.points) {
        const QPointF at(xOfColumn(p.column), yOfValue(p.value));
        const bool isThin = trace.stateLane &&
                            data.states[static_cast<std::size_t>(p.column)].last == tarn::RELAY_OFF;
        if (p.breakBefore) {
            flush();
        } else if (!run.empty() && isThin != runThin) {
            const QPointF joint = run.back();
            flush();
            run.push_back(joint);
        }
        runThin = isThin;
        run.push_back(at);
    }
    flush();
}

void StripChartPainter::drawMarkers(const PlotTrace& trace, const Decimated& data) {
    if (!trace.stateLane) {
        return;
    }
    for (std::size_t c = 0; c < data.states.size(); ++c) {
        if (data.states[c].entered == 0) {
            continue;
        }
        const int column = static_cast<int>(c);
        // The top of the trace in that column, or the nearest column before it.
        const auto after =
            std::lower_bound(data.points.begin(), data.points.end(), column + 1,
                             [](const PlotPoint& p, int value) { return p.column < value; });
        double y = trace_.top();
        if (after != data.points.begin()) {
            const int at = std::prev(after)->column;
            float top = -std::numeric_limits<float>::infinity();
            for (auto it = std::prev(after); it->column == at; --it) {
                top = std::max(top, it->value);
                if (it == data.points.begin()) {
                    break;
                }
            }
            y = yOfValue(top);
        }
        drawMarker(xOfColumn(column), y, *trace.stateLane, data.states[c].entered);
    }
}

void StripChartPainter::drawMarker(double x, double y, std::size_t lane, std::uint8_t state) {
    const QFontMetrics metrics = painter_.fontMetrics();
    const bool below = y - 8 - metrics.height() < plot_.top();
    const double tip = below ? y + 3 : y - 3;
    const double base = below ? tip + 8 : tip - 8;
    const QPolygonF triangle{QPointF(x, tip), QPointF(x - 5, base), QPointF(x + 5, base)};
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setPen(QPen(Qt::white, 1));
    painter_.setBrush(kFaultColor);
    painter_.drawPolygon(triangle);
    const QString word = stateWord(lane, state);
    const int width = metrics.horizontalAdvance(word);
    const double left = x + 7 + width > plot_.right() ? x - 7 - width : x + 7;
    const double textY = below ? base + metrics.ascent() : base;
    painter_.setPen(kFaultColor);
    painter_.drawText(QPointF(left, textY), word);
    painter_.restore();
}

void StripChartPainter::drawBand() {
    const int height = bandHeight(painter_.fontMetrics());
    const QRect band(plot_.left() + 1, plot_.bottom() - height - 1, plot_.width() - 2, height);
    const std::size_t lane = frame_.band->lane;
    const std::uint8_t prior = range_.first > 0 ? history_.states(lane, {range_.first - 1, 1})[0]
                                                : TelemetryHistory::kUnknownState;
    std::vector<StateColumn> states;
    decimateStates(grid_, history_.states(lane, range_), prior, kInverterFaults, states);
    // Up to the last column holding a sample: nothing is drawn past the data.
    int last = grid_.columns() - 1;
    while (last >= 0 && grid_.begin(last) == grid_.end(last)) {
        --last;
    }
    const auto colorOf = [](std::uint8_t code) {
        return code == TelemetryHistory::INVERTER_ON     ? kOnColor
               : code == TelemetryHistory::INVERTER_OFF  ? kOffColor
               : code == TelemetryHistory::kUnknownState ? QColor(Qt::transparent)
                                                         : kFaultColor;
    };
    for (int c = 0; c <= last;) {
        const std::uint8_t code = states[static_cast<std::size_t>(c)].last;
        int end = c + 1;
        while (end <= last && states[static_cast<std::size_t>(end)].last == code) {
            ++end;
        }
        painter_.fillRect(QRect(plot_.left() + c, band.top(), end - c, height), colorOf(code));
        c = end;
    }
    for (const ColumnGrid::Gap& gap : grid_.gaps()) {
        const double left = std::max<double>(band.left(), xOfTime(gap.from) + 1);
        const double right = std::min<double>(band.right(), xOfTime(gap.to));
        if (right > left) {
            painter_.fillRect(QRectF(left, band.top(), right - left, height), kGapColor);
        }
    }
    for (int c = 0; c <= last; ++c) {
        if (const std::uint8_t entered = states[static_cast<std::size_t>(c)].entered) {
            drawMarker(xOfColumn(c), band.top(), lane, entered);
        }
    }
}

void StripChartPainter::drawCursor() {
    if (!frame_.cursor) {
        return;
    }
    const double x = xOfTime(*frame_.cursor);
    if (x < plot_.left() || x > plot_.right()) {
        return;
    }
    painter_.setPen(QPen(QColor(90, 90, 90), 0, Qt::DashLine));
    painter_.drawLine(QPointF(x, plot_.top()), QPointF(x, plot_.bottom()));
    const QStringList& lines = frame_.readout;
    if (lines.isEmpty()) {
        return;
    }
    const QFontMetrics metrics = painter_.fontMetrics();
    const int lineHeight = metrics.height();
    const int perColumn = std::max(1, (plot_.height() - 8) / lineHeight);
    const int columns = static_cast<int>((lines.size() + perColumn - 1) / perColumn);
    int columnWidth = 0;
    for (const QString& line : lines) {
        columnWidth = std::max(columnWidth, metrics.horizontalAdvance(line) + 14);
    }
    const int rows = static_cast<int>(std::min<qsizetype>(lines.size(), perColumn));
    const QSize size(columns * (columnWidth + 8) + 4, rows * lineHeight + 8);
    const int left = x + 10 + size.width() <= plot_.right()
                         ? static_cast<int>(x) + 10
                         : static_cast<int>(x) - 10 - size.width();
    const QRect box(QPoint(std::max(left, plot_.left() + 2), plot_.top() + 4), size);
    painter_.fillRect(box, QColor(255, 255, 255, 235));
    painter_.setPen(kFrameColor);
    painter_.drawRect(box.adjusted(0, 0, -1, -1));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int row = static_cast<int>(i) % perColumn;
        const int column = static_cast<int>(i) / perColumn;
        const QPoint at(box.left() + 6 + column * (columnWidth + 8),
                        box.top() + 4 + row * lineHeight);
        if (i > 0) {
            const std::size_t n = static_cast<std::size_t>(i - 1);
            const QColor color = n < frame_.traces.size() ? frame_.traces[n].color : kOnColor;
            painter_.fillRect(QRect(at.x(), at.y() + lineHeight / 2 - 2, 9, 4), color);
        }
        painter_.setPen(Qt::black);
        painter_.drawText(at.x() + (i > 0 ? 14 : 0), at.y() + metrics.ascent(), lines[i]);
    }
}

void StripChartPainter::drawNoData() {
    painter_.setPen(QColor(120, 120, 120));
    painter_.drawText(trace_, Qt::AlignCenter, QStringLiteral("No data in this span"));
}

} // namespace Corvane
