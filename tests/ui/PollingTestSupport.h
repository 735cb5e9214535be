#pragma once

// The real main window over the simulated unit, driven one polling tick at a time, with
// telemetry packets made to measure when a test needs one the unit would not send.

#include "DisplayRefresh.h"
#include "FormMain.h"
#include "PollingLoop.h"
#include "RelayChannel.h"
#include "Telemetry.h"
#include "WindowFixture.h"

#include <array>
#include <cstdint>

namespace uitest {

// One Status block as the unit packs it (17 bytes), from the fields the window shows.
struct StatusBytes {
    std::uint8_t mode = 0;
    std::array<std::uint8_t, 12> relay{}; // relay state codes
    std::uint8_t inverter = 0;            // bit 1 on, bit 2 over load, bit 3 over temperature
    std::uint8_t bluetooth = 0x07;        // present, connected, enabled
};

class PollingTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Corvane::PollingLoop::resetFirmwareChecked();
    }

    void tick(int times = 1) {
        for (int i = 0; i < times; ++i) {
            window().timer1_Tick();
        }
    }

    // The next stream read delivers exactly these bytes.
    void queueStream(Bytes packet) { unit().device()->queue(0x82, reply(std::move(packet))); }
    static sim::Reply reply(Bytes data, int status = LIBUSB_SUCCESS, bool unplug = false) {
        sim::Reply r;
        r.status = status;
        r.data = std::move(data);
        r.unplug = unplug;
        return r;
    }

    static sim::SimIdentity identity(std::uint16_t major, std::uint16_t minor, std::uint16_t build,
                                     std::uint8_t hwRev = 3, std::uint32_t serial = 0x00012345) {
        sim::SimIdentity id;
        id.major = major;
        id.minor = minor;
        id.build = build;
        id.hwRev = hwRev;
        id.serial = serial;
        return id;
    }

    static Bytes powerPacket(std::uint16_t batteryMv, std::int32_t totalMa, std::int16_t channelMa);
    static Bytes statusPacket(const StatusBytes& status);
    static Bytes powerStatusPacket(std::uint16_t batteryMv, const StatusBytes& status);
    static Bytes powerStatusPacket(std::uint16_t batteryMv, std::int32_t totalMa,
                                   std::int16_t channelMa, const StatusBytes& status);

    QString relayText(std::size_t row) {
        return window().channels().at(row)->txtBoxRelayStatus->text();
    }
};

} // namespace uitest
