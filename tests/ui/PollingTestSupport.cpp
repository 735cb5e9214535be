#include "PollingTestSupport.h"

namespace uitest {
namespace {

void put16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putPower(Bytes& out, std::uint16_t batteryMv, std::int32_t totalMa, std::int16_t channelMa) {
    put16(out, 0); // aux1
    put16(out, 0); // aux2
    put16(out, batteryMv);
    for (int i = 0; i < 3; ++i) {
        put16(out, 12000); // ignition inputs
    }
    const auto total = static_cast<std::uint32_t>(totalMa);
    put16(out, static_cast<std::uint16_t>(total & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(total >> 16));
    for (int i = 0; i < 12; ++i) {
        put16(out, static_cast<std::uint16_t>(channelMa));
    }
}

void putStatus(Bytes& out, const StatusBytes& status) {
    out.push_back(status.mode);
    out.push_back(0); // aux state
    for (std::uint8_t code : status.relay) {
        out.push_back(static_cast<std::uint8_t>(code << 4));
    }
    out.push_back(status.inverter);
    out.push_back(status.bluetooth);
    out.push_back(0); // aux bits
}

} // namespace

Bytes PollingTest::powerPacket(std::uint16_t batteryMv, std::int32_t totalMa,
                               std::int16_t channelMa) {
    Bytes out{0x01, 0x00};
    putPower(out, batteryMv, totalMa, channelMa);
    return out;
}

Bytes PollingTest::statusPacket(const StatusBytes& status) {
    Bytes out{0x02, 0x00};
    putStatus(out, status);
    return out;
}

Bytes PollingTest::powerStatusPacket(std::uint16_t batteryMv, const StatusBytes& status) {
    return powerStatusPacket(batteryMv, 1500, 250, status);
}

Bytes PollingTest::powerStatusPacket(std::uint16_t batteryMv, std::int32_t totalMa,
                                     std::int16_t channelMa, const StatusBytes& status) {
    Bytes out{0x03, 0x00};
    putPower(out, batteryMv, totalMa, channelMa);
    putStatus(out, status);
    return out;
}

} // namespace uitest
