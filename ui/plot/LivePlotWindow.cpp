#include "LivePlotWindow.h"

#include "ColumnGridCache.h"
#include "HandlerGuard.h"
#include "StripChart.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace Corvane {
namespace {

using Series = TelemetryHistory::Series;

constexpr int kRefreshMillis = 33; // at most 30 repaints a second

// One colour per channel row, told apart on white; red is kept for faults.
const std::array<QColor, LivePlotWindow::kChannelRows> kChannelColors{
    QColor(31, 119, 180),  QColor(255, 127, 14),  QColor(44, 160, 44),  QColor(148, 103, 189),
    QColor(140, 86, 75),   QColor(227, 119, 194), QColor(23, 190, 207), QColor(188, 189, 34),
    QColor(127, 127, 127), QColor(57, 59, 121),   QColor(99, 121, 57),  QColor(132, 60, 57),
    QColor(0, 128, 0)};

QIcon swatch(const QColor& color) {
    QPixmap pixmap(12, 12);
    pixmap.fill(color);
    return QIcon(pixmap);
}

std::vector<PlotTrace> voltageTraces() {
    return {{QStringLiteral("Battery"), QColor(0, 0, 0), Series::Battery, std::nullopt},
            {QStringLiteral("Ignition 1"), QColor(31, 119, 180), TelemetryHistory::ignition(0),
             std::nullopt},
            {QStringLiteral("Ignition 2"), QColor(255, 127, 14), TelemetryHistory::ignition(1),
             std::nullopt},
            {QStringLiteral("Ignition 3"), QColor(44, 160, 44), TelemetryHistory::ignition(2),
             std::nullopt}};
}

std::vector<PlotTrace> temperatureTraces() {
    std::vector<PlotTrace> traces;
    const std::array<QColor, 3> internal{QColor(148, 103, 189), QColor(140, 86, 75),
                                         QColor(227, 119, 194)};
    for (std::size_t s = 0; s < internal.size(); ++s) {
        traces.push_back({QStringLiteral("Internal %1").arg(s + 1), internal[s],
                          TelemetryHistory::internalTemperature(s), std::nullopt});
    }
    traces.push_back(
        {QStringLiteral("External 1"), QColor(23, 190, 207), Series::External1, std::nullopt});
    return traces;
}

} // namespace

LivePlotWindow::LivePlotWindow(const TelemetryHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , history_(history) {
    setWindowTitle(QStringLiteral("Live Plot"));
    setObjectName(QStringLiteral("LivePlotWindow"));
    for (std::size_t ch = 0; ch < kChannelRows; ++ch) {
        names_[ch] = QStringLiteral("Ch. %1").arg(ch + 1);
    }
    currents_ = new StripChart(history_, QStringLiteral("Current"), QStringLiteral("A"));
    voltages_ = new StripChart(history_, QStringLiteral("Voltage"), QStringLiteral("V"));
    temperatures_ =
        new StripChart(history_, QStringLiteral("Temperature"), QStringLiteral("\u00B0C"));
    currents_->setObjectName(QStringLiteral("chartCurrents"));
    voltages_->setObjectName(QStringLiteral("chartVoltages"));
    temperatures_->setObjectName(QStringLiteral("chartTemperatures"));
    voltages_->setTraces(voltageTraces());
    temperatures_->setTraces(temperatureTraces());
    // One time axis: only the bottom chart labels it.
    currents_->setTimeLabelsVisible(false);
    voltages_->setTimeLabelsVisible(false);

    auto* charts = new QVBoxLayout;
    charts->setSpacing(0);
    charts->addWidget(currents_, 3);
    charts->addWidget(voltages_, 2);
    charts->addWidget(temperatures_, 2);
    auto* body = new QHBoxLayout;
    body->addWidget(buildChannelList());
    body->addLayout(charts, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildToolbar());
    layout->addLayout(body, 1);
    const auto grids = std::make_shared<ColumnGridCache>();
    for (StripChart* chart : {currents_, voltages_, temperatures_}) {
        connectChart(chart);
        chart->setGridCache(grids);
    }

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("timerRefresh"));
    timer_->setInterval(kRefreshMillis);
    // The timer's signal carries a private argument, so the guard is taken here rather than
    // through guarded().
    connect(timer_, &QTimer::timeout, this,
            [this] { HandlerGuard::run(this, [this] { checkForData(); }); });
    updateCurrentTraces();
    followHistory();
    resize(sizeHint().expandedTo(
        QSize(fontMetrics().averageCharWidth() * 150, fontMetrics().height() * 46)));
}

QWidget* LivePlotWindow::buildToolbar() {
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("Span:")));
    spans_ = new QButtonGroup(this);
    const std::array<std::pair<Span, QString>, 4> choices{
        std::pair{Span::TenSeconds, QStringLiteral("10 s")},
        std::pair{Span::OneMinute, QStringLiteral("1 min")},
        std::pair{Span::TenMinutes, QStringLiteral("10 min")},
        std::pair{Span::OneHour, QStringLiteral("1 h")}};
    for (const auto& [span, text] : choices) {
        auto* button = new QPushButton(text);
        button->setCheckable(true);
        button->setChecked(span == span_);
        button->setObjectName(QStringLiteral("btnSpan%1").arg(static_cast<int>(span)));
        spans_->addButton(button, static_cast<int>(span));
        row->addWidget(button);
    }
    connect(spans_, &QButtonGroup::idClicked, this,
            guarded(this, [this](int id) { setSpan(static_cast<Span>(id)); }));
    pause_ = new QPushButton(QStringLiteral("Pause"));
    pause_->setObjectName(QStringLiteral("btnPause"));
    pause_->setToolTip(QStringLiteral("Pause to drag the charts back in time"));
    connect(pause_, &QPushButton::clicked, this,
            guarded(this, [this](bool) { setPaused(!paused_); }));
    row->addSpacing(16);
    row->addWidget(pause_);
    row->addStretch(1);
    recording_ = new QLabel;
    recording_->setObjectName(QStringLiteral("labelRecording"));
    recording_->hide();
    row->addWidget(recording_);
    return bar;
}

QWidget* LivePlotWindow::buildChannelList() {
    channels_ = new QListWidget;
    channels_->setObjectName(QStringLiteral("listChannels"));
    for (std::size_t ch = 0; ch < kChannelRows; ++ch) {
        auto* item = new QListWidgetItem(swatch(kChannelColors[ch]), names_[ch], channels_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    channels_->setFixedWidth(fontMetrics().averageCharWidth() * 24);
    connect(channels_, &QListWidget::itemChanged, this,
            guarded(this, [this](QListWidgetItem* item) { channelItemChanged(item); }));
    return channels_;
}

void LivePlotWindow::connectChart(StripChart* chart) {
    connect(chart, &StripChart::cursorMoved, this,
            guarded(this, [this](qint64 time) { showCursorAt(time); }));
    connect(chart, &StripChart::cursorLeft, this,
            guarded(this, [this] { showCursorAt(std::nullopt); }));
    connect(chart, &StripChart::dragged, this,
            guarded(this, [this](qint64 byMillis) { panBy(byMillis); }));
}

void LivePlotWindow::setChannelNames(const std::array<QString, kChannelRows>& names) {
    if (names == names_) {
        return;
    }
    names_ = names;
    const QSignalBlocker blocker(channels_);
    for (std::size_t ch = 0; ch < kChannelRows; ++ch) {
        channels_->item(static_cast<int>(ch))->setText(names_[ch]);
    }
    updateCurrentTraces();
}

void LivePlotWindow::setChannelShown(std::size_t channel, bool shown) {
    if (channel < kChannelRows) {
        channels_->item(static_cast<int>(channel))
            ->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    }
}

bool LivePlotWindow::channelShown(std::size_t channel) const {
    return channel < kChannelRows &&
           channels_->item(static_cast<int>(channel))->checkState() == Qt::Checked;
}

void LivePlotWindow::channelItemChanged(QListWidgetItem*) {
    updateCurrentTraces();
}

void LivePlotWindow::updateCurrentTraces() {
    std::vector<PlotTrace> traces{
        {QStringLiteral("Total"), QColor(0, 0, 0), Series::TotalCurrent, std::nullopt}};
    for (std::size_t ch = 0; ch < TelemetryHistory::kInverterLane; ++ch) {
        if (channelShown(ch)) {
            traces.push_back(
                {names_[ch], kChannelColors[ch], TelemetryHistory::channelCurrent(ch), ch});
        }
    }
    currents_->setTraces(std::move(traces));
    const std::size_t inverter = TelemetryHistory::kInverterLane;
    currents_->setBand(channelShown(inverter)
                           ? std::optional<PlotBand>(PlotBand{names_[inverter], inverter})
                           : std::nullopt);
}

void LivePlotWindow::setSpan(Span span) {
    span_ = span;
    spans_->button(static_cast<int>(span))->setChecked(true);
    setView(viewTo_ - spanMillis(span_), viewTo_);
    if (!paused_) {
        followHistory();
    }
}

LivePlotWindow::Millis LivePlotWindow::spanMillis(Span span) {
    switch (span) {
    case Span::TenSeconds:
        return 10'000;
    case Span::OneMinute:
        return 60'000;
    case Span::TenMinutes:
        return 600'000;
    case Span::OneHour:
        return 3'600'000;
    }
    return 60'000;
}

void LivePlotWindow::setPaused(bool paused) {
    paused_ = paused;
    pause_->setText(paused_ ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    if (!paused_) {
        followHistory();
    }
}

void LivePlotWindow::setRecordingStatus(const std::optional<QString>& status) {
    recording_->setVisible(status.has_value());
    recording_->setText(status.value_or(QString()));
}

void LivePlotWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    timer_->start();
    checkForData();
}

void LivePlotWindow::hideEvent(QHideEvent* event) {
    timer_->stop();
    QWidget::hideEvent(event);
}

void LivePlotWindow::checkForData() {
    if (history_.generation() == shownGeneration_) {
        return;
    }
    if (paused_) {
        return; // the view stays; new data lies after it
    }
    followHistory();
}

void LivePlotWindow::followHistory() {
    shownGeneration_ = history_.generation();
    // The latest sample at the right edge: the window is [from, to), so it ends just past it.
    const Millis latest = history_.latestTime().value_or(0);
    setView(latest + 1 - spanMillis(span_), latest + 1);
    for (StripChart* chart : {currents_, voltages_, temperatures_}) {
        chart->refresh();
    }
}

void LivePlotWindow::setView(Millis from, Millis to) {
    viewTo_ = to;
    for (StripChart* chart : {currents_, voltages_, temperatures_}) {
        chart->setTimeWindow(from, to);
    }
}

void LivePlotWindow::panBy(qint64 millis) {
    if (!paused_) {
        return;
    }
    const Millis span = spanMillis(span_);
    const Millis latest = history_.latestTime().value_or(0) + 1;
    const Millis oldest = history_.oldestTime().value_or(latest);
    // Keep some of the history in view: the right edge stays between the oldest sample plus a
    // tenth of the span and the latest time.
    const Millis low = std::min(latest, oldest + span / 10);
    const Millis to = std::clamp<Millis>(viewTo_ + millis, low, latest);
    setView(to - span, to);
}

void LivePlotWindow::showCursorAt(std::optional<Millis> time) {
    for (StripChart* chart : {currents_, voltages_, temperatures_}) {
        chart->setCursorTime(time);
    }
}

} // namespace Corvane
