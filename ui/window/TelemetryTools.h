#pragma once

#include "LivePlotWindow.h"
#include "PollingLoop.h"
#include "TelemetryCsv.h"
#include "TelemetryHistory.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QTimer;

namespace Corvane {

class FormMain;

// Tools > "Live Plot" and "Record Telemetry…": what the polling loop shows goes into a history
// for the plot window and, while recording, a line per packet into a CSV file. Neither asks the
// unit for anything. While the unit is away the history marks a gap and the recording pauses;
// the same file goes on once the unit is back.
class TelemetryTools : public QObject, public TelemetrySink {
public:
    using Millis = TelemetryHistory::Millis;
    using Clock = std::function<Millis()>;
    // How often the names, the recording's status and its file are brought up to date.
    static constexpr int kStatusMillis = 1000;

    // Connects the window's Tools menu; the window outlives this.
    explicit TelemetryTools(FormMain& window);
    ~TelemetryTools() override;
    TelemetryTools(const TelemetryTools&) = delete;
    TelemetryTools& operator=(const TelemetryTools&) = delete;

    void packetShown(const tarn::DataStreamFeedback& packet) override;
    void unitAway() override;

    // Opens the plot window, or raises it if it is open.
    void livePlotToolStripMenuItem_Click();
    // Asks for a file and starts recording, or stops the recording under way.
    void recordTelemetryToolStripMenuItem_Click();

    // False, after telling the operator why, if the file cannot be written.
    bool startRecording(const QString& path);
    void stopRecording();
    bool recording() const { return writer_.isOpen(); }

    const TelemetryHistory& history() const { return *history_; }
    LivePlotWindow* livePlot() const { return plot_; }
    // Milliseconds since the epoch; a test sets its own.
    void setClock(Clock clock) { clock_ = std::move(clock); }
    // Brings the names, the recording's status and its file up to date (the status timer's work).
    void refresh();

private:
    void showRecordingStatus();
    void showChannelNames();
    void recordingFailed(const QString& path, const std::string& reason);
    std::optional<QString> askPath() const;

    FormMain& window_;
    Clock clock_;
    std::unique_ptr<TelemetryHistory> history_;
    QPointer<LivePlotWindow> plot_;
    QTimer* status_ = nullptr;

    TelemetryCsvWriter writer_;
    QString path_;
    Millis started_ = 0;
    // The blocks last received since the unit came (the lines show each block's latest).
    tarn::DataStreamFeedback seen_;
};

} // namespace Corvane
