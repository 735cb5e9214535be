#include "TelemetryDecoder.h"

#include "Packets.h"

#include <cstddef>

namespace tarn {

namespace {

// Conversions run in double and are stored as float.
constexpr double kMilli = 0.001;
constexpr double kInternalOffset = 9262.28;
constexpr double kInternalScale = 0.0073243305104142824; // 480 / 65535
constexpr double kExternalScale = 0.25;

float milli(double raw) {
    return static_cast<float>(raw * kMilli);
}

void convert(const Power& in, PowerF32& out) {
    out.battery = milli(in.battery.value());
    for (std::size_t i = 0; i < out.ignition.size(); ++i) {
        out.ignition[i] = milli(in.ignition[i].value());
    }
    out.aux1 = milli(in.aux1.value());
    out.aux2 = milli(in.aux2.value());
    // The unit's firmware goes through float for the total; keep its rounding.
    out.total_current = milli(static_cast<float>(in.total_current.value()));
    for (std::size_t i = 0; i < out.current.size(); ++i) {
        out.current[i] = milli(in.current[i].value());
    }
}

bool bit(uint8_t byte, unsigned n) {
    return ((byte >> n) & 1u) != 0;
}

void convert(const Status& in, StatusF32& out) {
    out.mode = in.mode;
    out.aux_state = in.aux_state;
    for (std::size_t k = 0; k < out.channel.size(); ++k) {
        const uint8_t c = in.channel[k];
        ChannelFeedback& ch = out.channel[k];
        ch.bit0 = bit(c, 0);
        ch.bit1 = bit(c, 1);
        ch.bit2 = bit(c, 2);
        ch.bit3 = bit(c, 3);
        ch.relay_state = static_cast<uint8_t>(c >> 4);
    }
    out.inverter.bit0 = bit(in.inverter, 0);
    out.inverter.on = bit(in.inverter, 1);
    out.inverter.over_load = bit(in.inverter, 2);
    out.inverter.over_temp = bit(in.inverter, 3);
    out.bluetooth.present = bit(in.bluetooth, 0);
    out.bluetooth.connected = bit(in.bluetooth, 1);
    out.bluetooth.enabled = bit(in.bluetooth, 2);
    out.bluetooth.searching = bit(in.bluetooth, 3);
    out.aux_bits = in.aux_bits & 0x03u;
}

void convert(const Temperature& in, TempF32& out) {
    for (std::size_t i = 0; i < out.internal.size(); ++i) {
        out.internal[i] =
            static_cast<float>((in.internal[i].value() - kInternalOffset) * kInternalScale);
    }
    for (std::size_t i = 0; i < out.external.size(); ++i) {
        out.external[i] = static_cast<float>(in.external[i].value() * kExternalScale);
    }
}

} // namespace

bool TelemetryDecoder::decode(std::span<const uint8_t> packet, DataStreamFeedback& fb) {
    const std::size_t n = packet.size();
    if (n < kTelemetryMaskBytes) {
        return false;
    }
    const uint16_t mask = recordFrom<LeUint16>(packet.data()).value();
    if (mask == 0) {
        return false;
    }
    std::size_t pos = kTelemetryMaskBytes;
    if ((mask & kPowerBlockBit) != 0) {
        if (n - pos < sizeof(Power)) {
            return false;
        }
        convert(recordFrom<Power>(packet.data() + pos), power_);
        fb.power = &power_;
        pos += sizeof(Power);
    }
    if ((mask & kStatusBlockBit) != 0) {
        if (n - pos < sizeof(Status)) {
            return false;
        }
        convert(recordFrom<Status>(packet.data() + pos), status_);
        fb.status = &status_;
        pos += sizeof(Status);
    }
    if ((mask & kTemperatureBlockBit) != 0) {
        if (n - pos < sizeof(Temperature)) {
            return false;
        }
        convert(recordFrom<Temperature>(packet.data() + pos), temp_);
        fb.temp = &temp_;
    }
    return true;
}

} // namespace tarn
