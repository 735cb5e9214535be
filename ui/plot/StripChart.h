#pragma once

#include "PlotTrace.h"
#include "StripChartPainter.h"
#include "TelemetryHistory.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

namespace Corvane {

// A strip chart of some telemetry series over a time window that the owner sets (several charts
// share one time axis). Values are decimated to at most two points per pixel column. Hovering
// reports the time under the mouse; dragging asks the owner to move the window.
class StripChart : public QWidget {
    Q_OBJECT

public:
    using Millis = TelemetryHistory::Millis;

    StripChart(const TelemetryHistory& history, QString title, QString unit,
               QWidget* parent = nullptr);

    void setTraces(std::vector<PlotTrace> traces);
    const std::vector<PlotTrace>& traces() const { return frame_.traces; }
    void setBand(std::optional<PlotBand> band);
    const std::optional<PlotBand>& band() const { return frame_.band; }

    // The time window shown, [from, to).
    void setTimeWindow(Millis from, Millis to);
    Millis from() const { return frame_.from; }
    Millis to() const { return frame_.to; }

    // Sets the cursor's time (every chart on the axis shows it), or none.
    void setCursorTime(std::optional<Millis> time);
    // What the cursor box lists: its time, then each trace's value (and state) there.
    const QStringList& cursorReadout() const { return frame_.readout; }

    void setTimeLabelsVisible(bool visible);
    // Charts on one time axis share one column grid (the window gives them one cache).
    void setGridCache(std::shared_ptr<ColumnGridCache> grids);
    // Asks for a repaint with the history as it is now (the readout follows new data too).
    void refresh();

    QRect plotArea() const;
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

Q_SIGNALS:
    void cursorMoved(qint64 time);
    void cursorLeft();
    // A drag asks to move the window by this many milliseconds (negative: back in time).
    void dragged(qint64 byMillis);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void updateReadout();
    QString readoutLine(const PlotTrace& trace, std::size_t sample) const;
    Millis timeAt(double x) const;

    const TelemetryHistory& history_;
    ChartFrame frame_;
    ChartData data_;
    std::shared_ptr<ColumnGridCache> grids_ = std::make_shared<ColumnGridCache>();
    std::optional<double> dragX_;
    double dragRemainder_ = 0;
};

} // namespace Corvane
