#include "SimReplay.h"

#include "SimWire.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace sim {
namespace {

template <typename T>
T rounded(double value) {
    const double r = std::round(value);
    return static_cast<T>(std::clamp(r, static_cast<double>(std::numeric_limits<T>::min()),
                                     static_cast<double>(std::numeric_limits<T>::max())));
}

std::uint16_t milli16(float value) {
    return rounded<std::uint16_t>(static_cast<double>(value) * 1000.0);
}

bool samePower(const Corvane::TelemetryCsvRow& a, const Corvane::TelemetryCsvRow& b) {
    if (a.power.has_value() != b.power.has_value() ||
        a.status.has_value() != b.status.has_value()) {
        return false;
    }
    if (a.power && std::memcmp(&*a.power, &*b.power, sizeof(tarn::PowerF32)) != 0) {
        return false;
    }
    const auto statusText = [](const Corvane::TelemetryCsvRow& r) {
        return Corvane::telemetryCsvLine(0, {nullptr, r.status ? &*r.status : nullptr, nullptr});
    };
    return !a.status || statusText(a) == statusText(b);
}

bool sameTemp(const Corvane::TelemetryCsvRow& a, const Corvane::TelemetryCsvRow& b) {
    return a.temp.has_value() == b.temp.has_value() &&
           (!a.temp || std::memcmp(&*a.temp, &*b.temp, sizeof(tarn::TempF32)) == 0);
}

} // namespace

SimReplay::SimReplay(std::vector<Corvane::TelemetryCsvRow> rows, bool loop)
    : rows_(std::move(rows))
    , loop_(loop) {}

bool SimReplay::sendPower(std::size_t row) const {
    const Corvane::TelemetryCsvRow& r = rows_[row];
    const bool hasPower = r.power || r.status;
    if (!hasPower || !r.temp) {
        return hasPower;
    }
    const bool first = row == 0;
    const bool powerChanged = first || !samePower(r, rows_[row - 1]);
    const bool tempChanged = first || !sameTemp(r, rows_[row - 1]);
    return powerChanged != tempChanged ? powerChanged : !lastWasPower_;
}

std::size_t SimReplay::writePacket(std::span<std::uint8_t, 64> p) {
    if (next_ >= rows_.size()) {
        if (!loop_ || rows_.empty()) {
            return 0; // nothing left: an empty packet, which the console ignores
        }
        next_ = 0;
    }
    const std::size_t row = next_++;
    const Corvane::TelemetryCsvRow& r = rows_[row];
    const bool power = sendPower(row);
    lastWasPower_ = power;
    nextIn_ = next_ < rows_.size()
                  ? std::chrono::duration_cast<SimClock::Duration>(
                        std::chrono::duration<double>(rows_[next_].seconds - r.seconds))
                  : kLoopPause;
    std::fill(p.begin(), p.end(), std::uint8_t{0});
    if (!power) {
        wire::put16(p, 0, 0x0004);
        writeTemperature(p.subspan<2, 14>(), *r.temp);
        return 16;
    }
    // Power comes before status in a packet; a row without one of them leaves its bit clear.
    std::size_t length = 2;
    std::uint16_t mask = 0;
    if (r.power) {
        mask |= 0x0001;
        writePower(p.subspan<2, 40>(), *r.power);
        length += 40;
    }
    if (r.status) {
        mask |= 0x0002;
        writeStatus(p.subspan(length).first<17>(), *r.status);
        length += 17;
    }
    wire::put16(p, 0, mask);
    return length;
}

SimClock::Duration SimReplay::nextPacketIn() const {
    return nextIn_;
}

void SimReplay::writePower(std::span<std::uint8_t, 40> block, const tarn::PowerF32& power) {
    std::fill(block.begin(), block.end(), std::uint8_t{0});
    wire::put16(block, 4, milli16(power.battery));
    for (std::size_t i = 0; i < power.ignition.size(); ++i) {
        wire::put16(block, 6 + 2 * i, milli16(power.ignition[i]));
    }
    wire::put32(block, 12,
                static_cast<std::uint32_t>(
                    rounded<std::int32_t>(static_cast<double>(power.total_current) * 1000.0)));
    for (std::size_t ch = 0; ch < power.current.size(); ++ch) {
        wire::put16(block, 16 + 2 * ch,
                    static_cast<std::uint16_t>(
                        rounded<std::int16_t>(static_cast<double>(power.current[ch]) * 1000.0)));
    }
}

void SimReplay::writeStatus(std::span<std::uint8_t, 17> block, const tarn::StatusF32& status) {
    std::fill(block.begin(), block.end(), std::uint8_t{0});
    block[0] = status.mode;
    for (std::size_t ch = 0; ch < status.channel.size(); ++ch) {
        block[2 + ch] = static_cast<std::uint8_t>((status.channel[ch].relay_state & 0x0F) << 4);
    }
    const tarn::InverterFeedback& inv = status.inverter;
    block[14] = static_cast<std::uint8_t>((inv.on ? 0x02 : 0) | (inv.over_load ? 0x04 : 0) |
                                          (inv.over_temp ? 0x08 : 0));
    const tarn::StatusF32::BluetoothFeedback& bt = status.bluetooth;
    block[15] = static_cast<std::uint8_t>((bt.present ? 0x01 : 0) | (bt.connected ? 0x02 : 0) |
                                          (bt.enabled ? 0x04 : 0) | (bt.searching ? 0x08 : 0));
}

void SimReplay::writeTemperature(std::span<std::uint8_t, 14> block, const tarn::TempF32& temp) {
    // The inverse of the console's conversion: internal sensors in 480/65535 °C steps from
    // -67.84 °C, external ones in quarter degrees.
    for (std::size_t i = 0; i < temp.internal.size(); ++i) {
        const double raw = (static_cast<double>(temp.internal[i]) + 67.84) * 65535.0 / 480.0;
        wire::put16(block, 2 * i, rounded<std::uint16_t>(raw));
    }
    for (std::size_t i = 0; i < temp.external.size(); ++i) {
        wire::put16(block, 6 + 2 * i,
                    static_cast<std::uint16_t>(
                        rounded<std::int16_t>(static_cast<double>(temp.external[i]) * 4.0)));
    }
}

} // namespace sim
