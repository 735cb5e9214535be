// The unit's own side of the pipes, byte by byte: what it does with requests the console never
// sends, how its stream keeps time, and what its script store does at the edges.

#include "SimUnit.h"
#include "SimManualClock.h"
#include "TarnUsb.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

class SimUnitPipes : public ::testing::Test {
protected:
    void SetUp() override {
        bus().reset();
        options_.telemetryRate = 5; // one packet each 200 ms, beyond one stream read's timeout
        unit_ = std::make_unique<sim::SimUnit>(bus(), clock_, options_);
        ASSERT_TRUE(dev_.open());
    }

    static sim::SimBus& bus() { return sim::SimBus::instance(); }

    // One request and its reply; an empty result when the read fails.
    Bytes ask(const Bytes& request) {
        EXPECT_TRUE(dev_.writeCfg(request.data(), static_cast<int32_t>(request.size())));
        Bytes reply(64);
        const int32_t n = dev_.readCfg(reply.data(), 64);
        reply.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
        return reply;
    }

    // One stream packet: its length, or -1.
    int32_t packet(std::array<uint8_t, 64>& into) { return dev_.readStream(into.data(), 64); }

    bool stream(uint16_t word) {
        const uint8_t bytes[2] = {static_cast<uint8_t>(word & 0xFF),
                                  static_cast<uint8_t>(word >> 8)};
        return dev_.writeStream(bytes, 2);
    }

    sim::SimManualClock clock_;
    sim::SimUnitOptions options_{};
    std::unique_ptr<sim::SimUnit> unit_;
    tarn::TarnUsb dev_;
};

TEST_F(SimUnitPipes, RequestsItCannotActOnGetNoReplyAndCostTheTimeout) {
    const Bytes unanswered[] = {
        {0x7E},                      // unknown id
        {0x2A},                      // network settings are read with 0x30
        {0x10, 0, 1, 0, 0x10, 0x27}, // set channel config cut short
        {0x11, 12},                  // channel 12 has no fuse
        {0x13, 13},                  // no channel 13
        {0x20, 5},                   // no script 5
        {0x26, 0, 0, 0, 'a', 0},     // no script 0 to write
        {0x27, 1, 0},                // read chunk without its offset's high byte
        {0x35, 0, 0, 0, 1, 2, 3},    // PIN cut short
    };
    for (const Bytes& request : unanswered) {
        SCOPED_TRACE(static_cast<int>(request[0]));
        const auto before = clock_.now();
        EXPECT_TRUE(ask(request).empty());
        EXPECT_EQ(clock_.now() - before, 200ms);
        EXPECT_TRUE(dev_.isOpen());
    }
    EXPECT_EQ(unit_->settings().channels[0].currentMa, 10000); // the short set stored nothing
    EXPECT_EQ(unit_->settings().pin, 0xFFFFFFFFu);
    EXPECT_EQ(ask({0x23}), (Bytes{0x23, 0}));
}

TEST_F(SimUnitPipes, ScriptChunksAtTheEdges) {
    // A read past the terminator has no data; a read's header echoes type and offset.
    ASSERT_TRUE(dev_.setScript("abc", 3));
    EXPECT_EQ(ask({0x27, 3, 2, 0}), (Bytes{0x27, 3, 2, 0, 'c', 0}));
    EXPECT_EQ(ask({0x27, 3, 4, 0}), (Bytes{0x27, 3, 4, 0}));
    EXPECT_EQ(ask({0x27, 3, 0xFF, 0xFF}), (Bytes{0x27, 3, 0xFF, 0xFF}));

    // A commit with nothing staged keeps what is stored.
    EXPECT_EQ(ask({0x28, 3}), (Bytes{0x28}));
    EXPECT_EQ(unit_->settings().scripts[2], "abc");

    // A staged text with no zero byte up to the last offset is cut to what 16-bit offsets reach.
    Bytes chunk(64, 'q');
    chunk[0] = 0x26;
    chunk[1] = 1;
    for (uint32_t offset = 0; offset <= 0xFFFF; offset += 60) {
        chunk[2] = static_cast<uint8_t>(offset & 0xFF);
        chunk[3] = static_cast<uint8_t>(offset >> 8);
        ASSERT_EQ(ask(chunk), (Bytes{0x26}));
    }
    EXPECT_EQ(unit_->staging(1).size(), 65580u);
    EXPECT_EQ(ask({0x28, 1}), (Bytes{0x28}));
    EXPECT_EQ(unit_->settings().scripts[0].size(), sim::kMaxScriptLength);
}

TEST_F(SimUnitPipes, AnExecutedScriptRunsForItsDurationOrUntilStopped) {
    unit_->setScriptDuration(1s);
    tarn::ScriptType running = tarn::SCRIPT_NONE;
    ASSERT_TRUE(dev_.executeScriptIgnitionOff());
    clock_.advance(999ms);
    ASSERT_TRUE(dev_.getScriptStatus(&running));
    EXPECT_EQ(running, tarn::SCRIPT_IGNITION_OFF);
    clock_.advance(1ms);
    ASSERT_TRUE(dev_.getScriptStatus(&running));
    EXPECT_EQ(running, tarn::SCRIPT_NONE);

    ASSERT_TRUE(dev_.executeScriptValetIgnitionOn());
    ASSERT_TRUE(dev_.executeScriptStop());
    ASSERT_TRUE(dev_.getScriptStatus(&running));
    EXPECT_EQ(running, tarn::SCRIPT_NONE);
}

TEST_F(SimUnitPipes, TheStreamKeepsItsCadenceUnderTheManualClock) {
    std::array<uint8_t, 64> p{};
    EXPECT_EQ(packet(p), -1); // not streaming: the read waits out its 100 ms
    EXPECT_EQ(clock_.now(), 100ms);

    ASSERT_TRUE(stream(0x8000));
    EXPECT_EQ(packet(p), 59); // the first packet at once
    EXPECT_EQ(p[0], 0x03);
    EXPECT_EQ(p[1], 0x00);
    EXPECT_EQ(clock_.now(), 100ms);
    EXPECT_EQ(packet(p), -1); // due at 300 ms, beyond the timeout
    EXPECT_EQ(clock_.now(), 200ms);
    EXPECT_EQ(packet(p), 16); // the read jumps to its due time
    EXPECT_EQ(p[0], 0x04);
    EXPECT_EQ(clock_.now(), 300ms);
    ASSERT_TRUE(stream(0x8000)); // enabling again keeps the schedule
    EXPECT_EQ(packet(p), -1);
    EXPECT_EQ(packet(p), 59);
    EXPECT_EQ(clock_.now(), 500ms);

    // A host that falls behind gets the overdue packet and the one buffered behind it at once.
    clock_.advance(10s);
    EXPECT_EQ(packet(p), 16);
    EXPECT_EQ(packet(p), 59);
    EXPECT_EQ(clock_.now(), 10500ms);
    EXPECT_EQ(packet(p), -1);

    unit_->setTelemetryRate(50);
    EXPECT_EQ(packet(p), 16);
    EXPECT_EQ(packet(p), 59);
    EXPECT_EQ(clock_.now(), 10720ms); // the packet due next, then one period on

    ASSERT_TRUE(stream(0x4000));
    EXPECT_EQ(packet(p), -1);
    EXPECT_FALSE(unit_->streaming());
}

TEST_F(SimUnitPipes, ADestroyedUnitLeavesTheBusAndItsDeviceAnswersNoMore) {
    const auto device = unit_->device();
    unit_.reset();
    EXPECT_FALSE(device->attached());
    EXPECT_TRUE(bus().devices().empty());
    uint8_t mode = 0;
    EXPECT_FALSE(dev_.getMode(&mode));
    EXPECT_FALSE(dev_.isOpen());
    EXPECT_FALSE(dev_.open());
}

} // namespace
