#pragma once

#include "TelemetryHistory.h"

#include <cstddef>

namespace plottest {

// Packets as the polling loop hands them over: 50 a second, a power+status packet and a
// temperature packet in turn. A test sets the blocks' values between packets.
struct PacketFeed {
    static constexpr Corvane::TelemetryHistory::Millis kPeriod = 20;

    tarn::PowerF32 power;
    tarn::StatusF32 status;
    tarn::TempF32 temp;
    Corvane::TelemetryHistory::Millis time = 1'700'000'000'000;
    std::size_t packets = 0;

    bool nextIsPower() const { return packets % 2 == 0; }

    void send(Corvane::TelemetryHistory& history) {
        tarn::DataStreamFeedback packet;
        if (nextIsPower()) {
            packet.power = &power;
            packet.status = &status;
        } else {
            packet.temp = &temp;
        }
        history.append(time, packet);
        time += kPeriod;
        ++packets;
    }
};

} // namespace plottest
