#include "TelemetryTools.h"
#include "ConfigFileIO.h"
#include "LivePlotWindow.h"
#include "PollingTestSupport.h"
#include "SimReplay.h"
#include "TelemetryCsv.h"

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QListWidget>
#include <QMessageBox>
#include <QTemporaryDir>

#include <chrono>

namespace uitest {
namespace {

using Corvane::TelemetryTools;

std::string readText(const QString& path) {
    return Corvane::readWholeFile(path.toStdString());
}

// The file without its first column, the times.
std::string withoutTimes(const std::string& text) {
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::size_t comma = text.find(',', at);
        out += text.substr(std::min(comma, end), end - std::min(comma, end)) + '\n';
        at = end + 1;
    }
    return out;
}

class TelemetryToolsTest : public PollingTest {
protected:
    void SetUp() override {
        PollingTest::SetUp();
        ASSERT_TRUE(dir_.isValid());
        tools().setClock([this] {
            return 1'700'000'000'000 +
                   std::chrono::duration_cast<std::chrono::milliseconds>(clock().now()).count();
        });
    }

    TelemetryTools& tools() { return window().telemetryTools(); }
    QString recordItemText() { return window().menu().recordTelemetryToolStripMenuItem->text(); }
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    Corvane::TelemetryCsvFile recorded(const QString& file) {
        return Corvane::readTelemetryCsv(readText(file));
    }

    QTemporaryDir dir_;
};

TEST_F(TelemetryToolsTest, TheLivePlotFollowsThePollingLoopAndTheRowsNames) {
    unit().settings().names.at(2) = "Pump";
    tick(); // connects
    tick(10);
    EXPECT_EQ(tools().history().size(), 10U);
    QAction* item = window().menu().livePlotToolStripMenuItem;
    item->trigger();
    Corvane::LivePlotWindow* plot = tools().livePlot();
    ASSERT_NE(plot, nullptr);
    EXPECT_TRUE(plot->isVisible());
    auto* list = plot->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->item(2)->text(), "Pump");

    unit().unplug();
    tick(3);
    EXPECT_TRUE(tools().history().gapOpen());
    EXPECT_EQ(tools().history().size(), 10U);
    unit().settings().names.at(2) = "Winch";
    unit().replug();
    tick(3);
    EXPECT_FALSE(tools().history().gapOpen());
    EXPECT_EQ(tools().history().size(), 12U);
    tools().refresh();
    EXPECT_EQ(list->item(2)->text(), "Winch");

    plot->close();
    item->trigger();
    EXPECT_EQ(tools().livePlot(), plot); // the same window, raised again
    EXPECT_TRUE(plot->isVisible());
}

TEST_F(TelemetryToolsTest, ARecordingPausesWhileTheUnitIsAwayAndGoesOnInTheSameFile) {
    tick();
    const QString file = path("trip.csv");
    const auto outcome = answerNextModal([&file](QWidget& w) {
        auto* dialog = qobject_cast<QFileDialog*>(&w);
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(file);
        static_cast<QDialog*>(dialog)->accept();
    });
    window().menu().recordTelemetryToolStripMenuItem->trigger();
    ASSERT_TRUE(outcome->answered);
    ASSERT_TRUE(tools().recording());
    tick(10);
    unit().unplug();
    tick(3);
    clock().advance(std::chrono::seconds(5));
    unit().replug();
    tick(11); // connects, then ten packets
    tools().refresh();
    EXPECT_TRUE(recordItemText().startsWith("Stop Recording")) << recordItemText().toStdString();
    EXPECT_TRUE(recordItemText().contains("20 lines")) << recordItemText().toStdString();

    window().menu().recordTelemetryToolStripMenuItem->trigger();
    EXPECT_FALSE(tools().recording());
    EXPECT_EQ(recordItemText(), QStringLiteral("Record Telemetry\u2026"));
    const Corvane::TelemetryCsvFile read = recorded(file);
    ASSERT_TRUE(read.ok()) << read.errorLine << ": " << read.error;
    ASSERT_EQ(read.rows.size(), 20U);
    EXPECT_GE(read.rows[10].seconds - read.rows[9].seconds, 5.0);
    EXPECT_TRUE(read.rows[9].temp.has_value());
    EXPECT_FALSE(read.rows[10].temp.has_value()); // nothing from before the unplug
    EXPECT_TRUE(read.rows[10].power.has_value());
}

TEST_F(TelemetryToolsTest, AFileThatCannotBeWrittenIsToldAndPollingGoesOn) {
    tick();
    EXPECT_FALSE(tools().startRecording(QStringLiteral("/dev/full"))); // a disk with no room
    auto* box = window().findChild<QMessageBox*>(QStringLiteral("recordingFailedBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "Tarnwell (Marlin Inc.)");
    EXPECT_TRUE(box->text().contains("/dev/full")) << box->text().toStdString();
    EXPECT_FALSE(tools().recording());
    EXPECT_EQ(recordItemText(), QStringLiteral("Record Telemetry\u2026"));
    tick(5);
    EXPECT_EQ(tools().history().size(), 5U);
}

TEST_F(TelemetryToolsTest, ARecordingReplayedAndRecordedAgainGivesTheSameFileApartFromTimes) {
    unit().setLoad(0, 3.5);
    unit().setLoad(5, 0.8);
    unit().setFault(7, sim::ChannelFault::BadFuse);
    unit().setIgnition(1, true);
    unit().setInverterOverload(true);
    unit().setBluetoothSearching(true);
    ASSERT_TRUE(windowDev().open() && windowDev().sendRelayRequestOn(0) &&
                windowDev().sendRelayRequestOn(5));
    windowDev().closeDevice();
    tick();
    const QString first = path("first.csv");
    ASSERT_TRUE(tools().startRecording(first));
    tick(40);
    tools().stopRecording();
    const Corvane::TelemetryCsvFile read = recorded(first);
    ASSERT_TRUE(read.ok()) << read.errorLine << ": " << read.error;
    ASSERT_EQ(read.rows.size(), 40U);

    sim::SimReplay replay(read.rows, false);
    unit().unplug();
    tick(2);
    unit().setPacketSource(&replay);
    unit().replug();
    tick();
    const QString second = path("second.csv");
    ASSERT_TRUE(tools().startRecording(second));
    tick(40);
    tools().stopRecording();
    unit().setPacketSource(nullptr);
    EXPECT_TRUE(replay.finished());
    EXPECT_EQ(withoutTimes(readText(second)), withoutTimes(readText(first)));
    EXPECT_NE(readText(first).find("ON,"), std::string::npos); // the relays were on
}

} // namespace
} // namespace uitest
