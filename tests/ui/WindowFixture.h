#pragma once

// The real main window over the simulated unit. The window's own device object starts closed,
// as at program start, and its polling timer is held: these tests drive the device themselves,
// connectWindow() opening it directly as the first tick would (the polling loop has its own
// tests).

#include "FormMain.h"
#include "UiTestSupport.h"

#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

namespace uitest {

class WindowTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        window_ = std::make_unique<Corvane::FormMain>();
        window_->timer1()->stop();
    }
    void TearDown() override {
        window_.reset();
        UiTest::TearDown();
    }

    Corvane::FormMain& window() { return *window_; }
    tarn::TarnInterface& windowDev() { return *window_->device(); }
    // A control of the window by its name.
    template <typename W = QWidget>
    W* named(const QString& name) {
        return findNamed<W>(*window_, name);
    }

    // Opens the window's device and forgets the calls made so far.
    void connectWindow() {
        ASSERT_TRUE(window_->device()->open());
        bus().clearCalls();
    }

    // The 32-bit little-endian field at `offset` of each request sent with `command`.
    static std::vector<uint32_t> sentValues(tarn::Command command, std::size_t offset,
                                            std::size_t width) {
        std::vector<uint32_t> values;
        for (const Bytes& request : sent(command)) {
            uint32_t value = 0;
            for (std::size_t i = 0; i < width && offset + i < request.size(); ++i) {
                value |= static_cast<uint32_t>(request[offset + i]) << (8 * i);
            }
            values.push_back(value);
        }
        return values;
    }

    // The command byte of every configuration request sent, in order.
    static Bytes commandsSent() {
        Bytes commands;
        for (const sim::CallRecord& t : bus().transfers()) {
            if (t.endpoint == tarn::TarnUsb::kCfgEndpoint && !t.data.empty()) {
                commands.push_back(t.data[0]);
            }
        }
        return commands;
    }

    std::unique_ptr<Corvane::FormMain> window_;
};

} // namespace uitest
