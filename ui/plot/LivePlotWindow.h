#pragma once

#include "TelemetryHistory.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class QButtonGroup;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;

namespace Corvane {

class StripChart;

// The live plot: currents, voltages and temperatures over one time axis, from a history the
// polling loop fills. A top-level window of its own, not modal. It reads the history only
// (no USB traffic) and repaints at most 30 times a second, only when the history moved on.
//
// Live, the view ends at the history's latest time; paused, it stays where it is (the history
// keeps filling) and a drag on any chart moves it back or forth. Hovering shows every plotted
// value at the time under the mouse.
class LivePlotWindow : public QWidget {
    Q_OBJECT

public:
    using Millis = TelemetryHistory::Millis;
    static constexpr std::size_t kChannelRows = 13; // twelve relay channels and the inverter

    enum class Span { TenSeconds, OneMinute, TenMinutes, OneHour };

    explicit LivePlotWindow(const TelemetryHistory& history, QWidget* parent = nullptr);

    // The channel names as the window's rows show them (index 12 is the inverter).
    void setChannelNames(const std::array<QString, kChannelRows>& names);
    // Which channels the operator ticked in the list beside the charts.
    void setChannelShown(std::size_t channel, bool shown);
    bool channelShown(std::size_t channel) const;

    void setSpan(Span span);
    Span span() const { return span_; }
    static Millis spanMillis(Span span);

    void setPaused(bool paused);

    StripChart* currentsChart() const { return currents_; }
    StripChart* voltagesChart() const { return voltages_; }
    StripChart* temperaturesChart() const { return temperatures_; }

public Q_SLOTS:
    // The recording's status line (elapsed time, line count ...), or none to hide it.
    void setRecordingStatus(const std::optional<QString>& status);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildToolbar();
    QWidget* buildChannelList();
    void connectChart(StripChart* chart);
    void checkForData();
    void followHistory();
    void setView(Millis from, Millis to);
    void panBy(qint64 millis);
    void updateCurrentTraces();
    void showCursorAt(std::optional<Millis> time);
    void channelItemChanged(QListWidgetItem* item);

    const TelemetryHistory& history_;
    std::array<QString, kChannelRows> names_;
    Span span_ = Span::OneMinute;
    bool paused_ = false;
    std::uint64_t shownGeneration_ = 0;
    Millis viewTo_ = 0;

    StripChart* currents_ = nullptr;
    StripChart* voltages_ = nullptr;
    StripChart* temperatures_ = nullptr;
    QListWidget* channels_ = nullptr;
    QPushButton* pause_ = nullptr;
    QButtonGroup* spans_ = nullptr;
    QLabel* recording_ = nullptr;
    QTimer* timer_ = nullptr;
};

} // namespace Corvane
