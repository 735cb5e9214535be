#include "LivePlotWindow.h"
#include "PacketFeed.h"
#include "StripChart.h"

#include <QApplication>
#include <QImage>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Corvane::LivePlotWindow;
using Corvane::StripChart;
using Corvane::TelemetryHistory;
using Millis = TelemetryHistory::Millis;
using plottest::PacketFeed;

void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Pixels of exactly `color` in the chart's plot area, as the operator would see it.
int pixelsOf(StripChart* chart, const QColor& color) {
    const QImage image = chart->grab().toImage();
    const QRect plot = chart->plotArea();
    int count = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y) {
        for (int x = plot.left(); x <= plot.right(); ++x) {
            count += image.pixelColor(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

class LivePlotWindowTest : public testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        std::array<QString, LivePlotWindow::kChannelRows> names;
        for (std::size_t ch = 0; ch < names.size(); ++ch) {
            names[ch] = QStringLiteral("Ch. %1").arg(ch + 1);
        }
        names[2] = QStringLiteral("Fridge");
        names[12] = QStringLiteral("Inverter");
        window_.setChannelNames(names);
        feed_.power.total_current = 13.0F;
        feed_.power.current[2] = 5.0F;
        feed_.power.battery = 12.6F;
        feed_.status.channel[2].relay_state = 1;
        window_.resize(1000, 700);
        window_.show();
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    void feedFor(Millis millis) {
        for (const Millis end = feed_.time + millis; feed_.time < end;) {
            feed_.send(history_);
        }
    }
    // Waits for the refresh timer to bring the live view to the newest sample.
    bool live() {
        return QTest::qWaitFor(
            [this] { return window_.currentsChart()->to() == *history_.latestTime() + 1; }, 2000);
    }
    QListWidgetItem* item(int row) {
        return window_.findChild<QListWidget*>(QStringLiteral("listChannels"))->item(row);
    }

    TelemetryHistory history_;
    PacketFeed feed_;
    LivePlotWindow window_{history_};
};

TEST_F(LivePlotWindowTest, TickedChannelsAreDrawnAndUntickedOnesAreNot) {
    feedFor(30'000);
    ASSERT_TRUE(live());
    StripChart* currents = window_.currentsChart();
    ASSERT_EQ(item(2)->text(), "Fridge");

    item(2)->setCheckState(Qt::Checked);
    ASSERT_EQ(currents->traces().size(), 2U);
    EXPECT_EQ(currents->traces()[1].name, "Fridge");
    const QColor color = currents->traces()[1].color;
    EXPECT_GT(pixelsOf(currents, color), currents->plotArea().width() / 3);

    item(12)->setCheckState(Qt::Checked);
    ASSERT_TRUE(currents->band().has_value());
    EXPECT_EQ(currents->band()->name, "Inverter");

    item(2)->setCheckState(Qt::Unchecked);
    ASSERT_EQ(currents->traces().size(), 1U);
    EXPECT_EQ(pixelsOf(currents, color), 0);
}

TEST_F(LivePlotWindowTest, PauseHoldsTheViewWhileTheHistoryFillsAndADragLooksBack) {
    QTest::mouseClick(window_.findChild<QPushButton*>(QStringLiteral("btnSpan0")), Qt::LeftButton);
    feedFor(20'000);
    ASSERT_TRUE(live());
    StripChart* chart = window_.voltagesChart();
    EXPECT_EQ(chart->to() - chart->from(), 10'000);

    auto* pause = window_.findChild<QPushButton*>(QStringLiteral("btnPause"));
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_EQ(pause->text(), "Resume");
    const Millis heldTo = chart->to();
    const std::size_t held = history_.size();
    feedFor(5'000);
    QTest::qWait(150); // several refresh periods
    EXPECT_EQ(history_.size(), held + 250);
    EXPECT_EQ(chart->to(), heldTo);
    EXPECT_EQ(window_.temperaturesChart()->to(), heldTo);

    // Dragging the traces right by half the plot looks back half the span.
    const QRect plot = chart->plotArea();
    sendMouse(chart, QEvent::MouseButtonPress, plot.center(), Qt::LeftButton);
    sendMouse(chart, QEvent::MouseMove, plot.center() + QPoint(plot.width() / 2, 0),
              Qt::LeftButton);
    sendMouse(chart, QEvent::MouseButtonRelease, plot.center() + QPoint(plot.width() / 2, 0),
              Qt::NoButton);
    EXPECT_NEAR(static_cast<double>(heldTo - chart->to()), 5'000.0, 30.0);
    EXPECT_EQ(window_.currentsChart()->to(), chart->to());

    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_EQ(pause->text(), "Pause");
    EXPECT_TRUE(live());
}

TEST_F(LivePlotWindowTest, TheCursorShowsEveryPlottedValueInTheLocale) {
    struct Row {
        QLocale locale;
        QString total;
        QString fridge;
        QString battery;
    };
    for (const Row& row : {Row{QLocale(QLocale::English, QLocale::UnitedStates), "Total  13.00 A",
                               "Fridge  5.00 A  ON", "Battery  12.60 V"},
                           Row{QLocale(QLocale::German, QLocale::Germany), "Total  13,00 A",
                               "Fridge  5,00 A  ON", "Battery  12,60 V"}}) {
        QLocale::setDefault(row.locale);
        feedFor(30'000);
        item(2)->setCheckState(Qt::Checked);
        ASSERT_TRUE(live());
        StripChart* currents = window_.currentsChart();
        const QRect plot = currents->plotArea();
        sendMouse(currents, QEvent::MouseMove,
                  {plot.left() + plot.width() * 3 / 4, plot.center().y()}, Qt::NoButton);

        const QStringList lines = currents->cursorReadout();
        ASSERT_EQ(lines.size(), 3) << lines.join('|').toStdString();
        EXPECT_EQ(lines[1], row.total);
        EXPECT_EQ(lines[2], row.fridge);
        const QStringList volts = window_.voltagesChart()->cursorReadout();
        ASSERT_EQ(volts.size(), 5) << volts.join('|').toStdString();
        EXPECT_EQ(volts[0], lines[0]); // one time for every chart
        EXPECT_EQ(volts[1], row.battery);
        EXPECT_EQ(window_.temperaturesChart()->cursorReadout().size(), 5);

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(currents, &leave);
        EXPECT_TRUE(currents->cursorReadout().isEmpty());
    }
}

} // namespace
