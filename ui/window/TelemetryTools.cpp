#include "TelemetryTools.h"

#include "FileQuestion.h"
#include "FormMain.h"
#include "HandlerGuard.h"
#include "LivePlotWindow.h"
#include "RelayChannel.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

namespace Corvane {
namespace {

QString elapsedText(TelemetryTools::Millis millis) {
    const qint64 s = std::max<qint64>(0, millis / 1000);
    const QString minSec =
        QStringLiteral("%1:%2").arg(s / 60 % 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return s < 3600 ? minSec
                    : QStringLiteral("%1:%2").arg(s / 3600).arg(minSec.rightJustified(5, '0'));
}

const QString& recordText() {
    static const QString text = QStringLiteral("Record Telemetry\u2026");
    return text;
}

} // namespace

TelemetryTools::TelemetryTools(FormMain& window)
    : window_(window)
    , clock_([] { return QDateTime::currentMSecsSinceEpoch(); })
    , history_(std::make_unique<TelemetryHistory>()) {
    const MainMenu& menu = window_.menu();
    const auto on = [this](QAction* action, void (TelemetryTools::*handler)()) {
        connect(action, &QAction::triggered, this, guarded(&window_, [this, handler](bool) {
                    if (!window_.disposed()) {
                        (this->*handler)();
                    }
                }));
    };
    on(menu.livePlotToolStripMenuItem, &TelemetryTools::livePlotToolStripMenuItem_Click);
    on(menu.recordTelemetryToolStripMenuItem,
       &TelemetryTools::recordTelemetryToolStripMenuItem_Click);
    status_ = new QTimer(this);
    status_->setObjectName(QStringLiteral("timerTelemetryStatus"));
    status_->setInterval(kStatusMillis);
    connect(status_, &QTimer::timeout, this,
            [this] { HandlerGuard::run(&window_, [this] { refresh(); }); });
}

TelemetryTools::~TelemetryTools() {
    stopRecording();
    // The plot window is the main window's child, but reads the history destroyed here.
    delete plot_.data();
}

// ---- From the polling loop ----

void TelemetryTools::packetShown(const tarn::DataStreamFeedback& packet) {
    const Millis now = clock_();
    history_->append(now, packet);
    if (!writer_.isOpen()) {
        return;
    }
    seen_.takeFrom(packet);
    if (seen_.empty()) {
        return;
    }
    const double seconds = static_cast<double>(now - started_) / 1000.0;
    if (!writer_.write(now, seconds, seen_)) {
        recordingFailed(path_, writer_.error());
    }
}

void TelemetryTools::unitAway() {
    history_->markGap(clock_());
    // A unit that comes back starts afresh: no line shows a block from before it went.
    seen_ = {};
    if (writer_.isOpen() && !writer_.flush(clock_())) {
        recordingFailed(path_, writer_.error());
    }
}

// ---- Live plot ----

void TelemetryTools::livePlotToolStripMenuItem_Click() {
    if (plot_ == nullptr) {
        plot_ = new LivePlotWindow(*history_, &window_);
        showRecordingStatus();
    }
    showChannelNames();
    plot_->show();
    plot_->raise();
    plot_->activateWindow();
    status_->start();
}

void TelemetryTools::showChannelNames() {
    if (plot_ == nullptr) {
        return;
    }
    std::array<QString, LivePlotWindow::kChannelRows> names;
    const ChannelRows& rows = window_.channels();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        names.at(i) = rows.at(i)->lblChannel->text();
    }
    names.back() = window_.inverterChannel().lblChannel->text();
    plot_->setChannelNames(names);
}

// ---- Recording ----

void TelemetryTools::recordTelemetryToolStripMenuItem_Click() {
    if (recording()) {
        stopRecording();
        return;
    }
    if (const std::optional<QString> path = askPath()) {
        startRecording(*path);
    }
}

std::optional<QString> TelemetryTools::askPath() const {
    const FileQuestion question{QStringLiteral("recordFileDialog"),
                                QStringLiteral("Record Telemetry"), true,
                                QStringLiteral("CSV files (*.csv)"), QStringLiteral("csv")};
    return question.ask(window_);
}

bool TelemetryTools::startRecording(const QString& path) {
    stopRecording();
    const Millis now = clock_();
    if (!writer_.open(QFile::encodeName(path).toStdString(), now)) {
        recordingFailed(path, writer_.error());
        return false;
    }
    path_ = path;
    started_ = now;
    seen_ = {};
    status_->start();
    showRecordingStatus();
    return true;
}

void TelemetryTools::stopRecording() {
    if (!writer_.isOpen()) {
        return;
    }
    if (!writer_.close()) {
        recordingFailed(path_, writer_.error());
        return;
    }
    showRecordingStatus();
}

void TelemetryTools::recordingFailed(const QString& path, const std::string& reason) {
    writer_.close();
    showRecordingStatus();
    // Not modal: the polling loop, and with it the window, goes on while the box is up.
    auto* box = new QMessageBox(
        QMessageBox::Warning, HandlerGuard::caption(),
        QStringLiteral("The telemetry could not be written to %1:\n%2")
            .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(reason.c_str())),
        QMessageBox::Ok, &window_);
    box->setObjectName(QStringLiteral("recordingFailedBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// ---- Status ----

void TelemetryTools::refresh() {
    if (writer_.isOpen() && !writer_.flushIfDue(clock_())) {
        recordingFailed(path_, writer_.error());
    }
    showRecordingStatus();
    // Read the guarded pointer once: the optimiser cannot see that two reads agree.
    const QWidget* plot = plot_;
    if (plot != nullptr && plot->isVisible()) {
        showChannelNames();
    } else if (!writer_.isOpen()) {
        status_->stop();
    }
}

void TelemetryTools::showRecordingStatus() {
    QAction* item = window_.menu().recordTelemetryToolStripMenuItem;
    std::optional<QString> status;
    if (writer_.isOpen()) {
        const QString progress = QStringLiteral("%1, %2 lines")
                                     .arg(elapsedText(clock_() - started_))
                                     .arg(writer_.lines());
        item->setText(QStringLiteral("Stop Recording (%1)").arg(progress));
        status = QStringLiteral("Recording %1: %2").arg(QFileInfo(path_).fileName(), progress);
    } else {
        item->setText(recordText());
    }
    if (plot_ != nullptr) {
        plot_->setRecordingStatus(status);
    }
}

} // namespace Corvane
