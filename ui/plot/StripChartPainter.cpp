#include "StripChartPainter.h"

#include "Packets.h"
#include "TraceSpans.h"

#include <QFontMetrics>
#include <QLocale>
#include <QPainter>
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

constexpr int kInnerPad = 4;

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
                                     const ChartFrame& frame, ChartData& data,
                                     ColumnGridCache& grids)
    : painter_(painter)
    , history_(history)
    , frame_(frame)
    , data_(data)
    , grids_(grids) {}

QRect StripChartPainter::plotArea(const QRect& bounds, const QFontMetrics& metrics,
                                  bool timeLabels) {
    const int left = metrics.horizontalAdvance(QLocale().toString(-888.88, 'f', 2)) + 12;
    const int top = metrics.height() + 8;
    const int right = 12;
    const int bottom = timeLabels ? metrics.height() + 8 : 6;
    return bounds.adjusted(left, top, -right, -bottom);
}

void StripChartPainter::paint(const QRect& bounds) {
    const QFontMetrics metrics = painter_.fontMetrics();
    plot_ = plotArea(bounds, metrics, frame_.timeLabels);
    trace_ = frame_.band ? plot_.adjusted(0, 0, 0, -(bandHeight(metrics) + 3)) : plot_;
    const ColumnGrid::Anchored window = ColumnGrid::anchored(frame_.from, frame_.to, plot_.width());
    from_ = window.from;
    to_ = window.to;
    painter_.fillRect(bounds, Qt::white);
    if (plot_.width() < 2 || trace_.height() < 2) {
        return;
    }
    const ChartData::Key key{history_.generation(), from_,           to_,
                             plot_.width(),         trace_.height(), frame_.tracesVersion};
    if (data_.key != key) {
        decimateTraces();
        data_.key = key;
    }
    mapValues();
    drawGaps();
    drawFrameAndGrid();
    drawValueLabels();
    if (frame_.timeLabels) {
        drawTimeLabels();
    }
    painter_.save();
    painter_.setClipRect(plot_);
    for (std::size_t i = 0; i < frame_.traces.size(); ++i) {
        drawTrace(frame_.traces[i], data_.traces[i]);
    }
    if (frame_.band) {
        drawBand();
    }
    for (std::size_t i = 0; i < frame_.traces.size(); ++i) {
        drawMarkers(frame_.traces[i], data_.traces[i]);
    }
    painter_.restore();
    if (!data_.anyData) {
        drawNoData();
    }
    drawLegend(bounds);
    drawCursor();
}

std::uint8_t StripChartPainter::stateBefore(std::size_t lane) const {
    return data_.range.first > 0 ? history_.states(lane, {data_.range.first - 1, 1})[0]
                                 : TelemetryHistory::kUnknownState;
}

void StripChartPainter::decimateTraces() {
    data_.range = history_.range(from_, to_);
    data_.grid = grids_.grid(history_, data_.range, from_, to_, plot_.width());
    if (!data_.key || data_.key->tracesVersion != frame_.tracesVersion) {
        data_.traces.assign(frame_.traces.size(), {}); // other series: nothing to keep
    }
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (std::size_t i = 0; i < frame_.traces.size(); ++i) {
        const PlotTrace& trace = frame_.traces[i];
        Decimated& data = data_.traces[i];
        decimate(grid(), history_.values(trace.series, data_.range), data.points,
                 history_.blocks(trace.series), &data.memo);
        for (const PlotPoint& p : data.points) {
            low = std::min(low, static_cast<double>(p.value));
            high = std::max(high, static_cast<double>(p.value));
        }
        data.states.clear();
        if (trace.stateLane) {
            decimateStates(grid(), history_.states(*trace.stateLane, data_.range),
                           stateBefore(*trace.stateLane), kRelayFaults, data.states);
        }
    }
    data_.band.clear();
    if (frame_.band) {
        decimateStates(grid(), history_.states(frame_.band->lane, data_.range),
                       stateBefore(frame_.band->lane), kInverterFaults, data_.band);
    }
    data_.anyData = low <= high;
    const int maxTicks = std::max(2, trace_.height() / (painter_.fontMetrics().height() * 2));
    data_.scale = AxisTicks::valueScale(low, high, maxTicks);
}

double StripChartPainter::xOfTime(Millis time) const {
    const double span = static_cast<double>(std::max<Millis>(1, to_ - from_));
    return plot_.left() + static_cast<double>(time - from_) / span * plot_.width();
}

double StripChartPainter::xOfColumn(int column) const {
    return plot_.left() + column + 0.5;
}

double StripChartPainter::yOfValue(double value) const {
    return yAtZero_ + value * yPerUnit_;
}

void StripChartPainter::mapValues() {
    // A few pixels inside the trace area, for data just past the axis ends.
    const double span = std::max(1e-12, data_.scale.high - data_.scale.low);
    const int pad = std::min(kInnerPad, trace_.height() / 8);
    yPerUnit_ = -(trace_.height() - 1 - 2 * pad) / span;
    yAtZero_ = trace_.top() + pad - data_.scale.high * yPerUnit_;
}

void StripChartPainter::drawGaps() {
    const auto shade = [this](Millis from, Millis to) {
        const double left = std::max<double>(plot_.left(), xOfTime(from));
        const double right = std::min<double>(plot_.right() + 1, xOfTime(to));
        if (right > left) {
            painter_.fillRect(QRectF(left, plot_.top(), right - left, plot_.height()), kGapColor);
        }
    };
    for (const ColumnGrid::Gap& gap : grid().gaps()) {
        shade(gap.from, gap.to);
    }
    // The unit is away now: from its last sample to the latest time the history knows.
    if (history_.gapOpen() && history_.size() > 0) {
        shade(history_.times({history_.size() - 1, 1})[0], *history_.latestTime());
    }
}

void StripChartPainter::drawFrameAndGrid() {
    // One-pixel fills: cheaper than lines through the stroker, and the same pixels.
    const auto row = [this](int y, const QColor& color) {
        painter_.fillRect(QRect(plot_.left(), y, plot_.width(), 1), color);
    };
    const auto column = [this](int x, const QColor& color) {
        painter_.fillRect(QRect(x, plot_.top(), 1, plot_.height()), color);
    };
    for (const double tick : AxisTicks::valueTicks(data_.scale)) {
        row(static_cast<int>(yOfValue(tick) + 0.5), kGridColor);
    }
    for (const Millis tick : AxisTicks::timeTicks(from_, to_, timeStep())) {
        column(static_cast<int>(xOfTime(tick) + 0.5), kGridColor);
    }
    row(plot_.top(), kFrameColor);
    row(plot_.bottom(), kFrameColor);
    column(plot_.left(), kFrameColor);
    column(plot_.right(), kFrameColor);
}

StripChartPainter::Millis StripChartPainter::timeStep() const {
    const int labelWidth = painter_.fontMetrics().horizontalAdvance(QStringLiteral("00:00:00 PM"));
    return AxisTicks::timeStep(to_ - from_, plot_.width(), labelWidth);
}

void StripChartPainter::drawValueLabels() {
    const QFontMetrics metrics = painter_.fontMetrics();
    painter_.setPen(Qt::black);
    int lastY = std::numeric_limits<int>::max();
    for (const double tick : AxisTicks::valueTicks(data_.scale)) {
        const int y = static_cast<int>(std::lround(yOfValue(tick)));
        if (lastY - y < metrics.height()) {
            continue; // keep labels apart on a short chart
        }
        lastY = y;
        const QRect box(0, y - metrics.height() / 2, plot_.left() - 6, metrics.height());
        painter_.drawText(box, Qt::AlignRight | Qt::AlignVCenter,
                          AxisTicks::valueLabel(tick, data_.scale.decimals));
    }
}

void StripChartPainter::drawTimeLabels() {
    const QFontMetrics metrics = painter_.fontMetrics();
    const Millis step = timeStep();
    painter_.setPen(Qt::black);
    for (const Millis tick : AxisTicks::timeTicks(from_, to_, step)) {
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
    std::vector<TraceSpans::Point> points;
    points.reserve(data.points.size());
    for (const PlotPoint& p : data.points) {
        const bool thin = trace.stateLane &&
                          data.states[static_cast<std::size_t>(p.column)].last == tarn::RELAY_OFF;
        // Rows are never negative here (the trace area starts below the legend): +0.5 rounds.
        points.push_back({plot_.left() + p.column, static_cast<int>(yOfValue(p.value) + 0.5),
                          p.breakBefore, thin});
    }
    std::vector<TraceSpans::Span> spans;
    TraceSpans::build(points, spans);
    // A trace is a row thicker than a thin one (its channel OFF), which is also lighter.
    std::vector<QRect> normal;
    std::vector<QRect> thin;
    for (const TraceSpans::Span& span : spans) {
        const int height = span.bottom - span.top + (span.thin ? 1 : 2);
        std::vector<QRect>& rects = span.thin ? thin : normal;
        // A flat stretch: one wide rectangle instead of one per column.
        if (!rects.empty() && rects.back().right() + 1 == span.x &&
            rects.back().top() == span.top && rects.back().height() == height) {
            rects.back().setRight(span.x);
        } else {
            rects.emplace_back(span.x, span.top, 1, height);
        }
    }
    QColor light = trace.color;
    light.setAlpha(150);
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(light);
    painter_.drawRects(thin.data(), static_cast<int>(thin.size()));
    painter_.setBrush(trace.color);
    painter_.drawRects(normal.data(), static_cast<int>(normal.size()));
    painter_.setBrush(Qt::NoBrush);
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
    const std::vector<StateColumn>& states = data_.band;
    // Up to the last column holding a sample: nothing is drawn past the data.
    int last = grid().columns() - 1;
    while (last >= 0 && grid().begin(last) == grid().end(last)) {
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
    for (const ColumnGrid::Gap& gap : grid().gaps()) {
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
