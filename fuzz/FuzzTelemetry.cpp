// Telemetry packets from the unit, as bytes the decoder has never seen: straight into the
// decoder, and as stream-pipe replies (any length, any result code) under readDataStream.
//
// Properties: no crash or undefined behaviour; a block is converted only when every byte of it
// was received (the stream buffer is a fixed 64-byte array, so reading past the reply would go
// unnoticed by AddressSanitizer: the extents are checked instead); the walk stops at the first
// block that does not fit; true only for a packet whose every announced block arrived.

#include "FuzzUnit.h"
#include "Packets.h"
#include "TelemetryDecoder.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

using tarn::DataStreamFeedback;
using tarn::TelemetryDecoder;

void checkFeedback(std::span<const uint8_t> received, bool ok, const DataStreamFeedback& fb) {
    const std::size_t n = received.size();
    const uint16_t mask = n >= 2 ? static_cast<uint16_t>(received[0] | (received[1] << 8)) : 0;
    if (mask == 0) {
        FUZZ_CHECK(!ok);
        FUZZ_CHECK(fb.power == nullptr && fb.status == nullptr && fb.temp == nullptr);
        return;
    }
    struct Block {
        uint16_t bit;
        std::size_t size;
        const void* converted;
        const void* home;
    };
    const Block blocks[] = {
        {tarn::kPowerBlockBit, sizeof(tarn::Power), fb.power, &TelemetryDecoder::power()},
        {tarn::kStatusBlockBit, sizeof(tarn::Status), fb.status, &TelemetryDecoder::status()},
        {tarn::kTemperatureBlockBit, sizeof(tarn::Temperature), fb.temp, &TelemetryDecoder::temp()},
    };
    std::size_t end = 2;
    bool stopped = false;
    for (const Block& b : blocks) {
        if ((mask & b.bit) == 0) {
            FUZZ_CHECK(b.converted == nullptr);
            continue;
        }
        end += b.size;
        if (b.converted == nullptr) {
            stopped = true;
            continue;
        }
        FUZZ_CHECK(b.converted == b.home);
        FUZZ_CHECK(!stopped && end <= n);
    }
    FUZZ_CHECK(ok == !stopped);
}

// The decoder on exactly the fuzzer's bytes (a heap block of that size).
void decodeDirectly(std::span<const uint8_t> packet) {
    DataStreamFeedback fb;
    const bool ok = TelemetryDecoder::decode(packet, fb);
    checkFeedback(packet, ok, fb);
}

// Each step: a control byte (high bit: a failing result code; low 7 bits: reply length, past 64
// an overflow) and the reply's bytes.
void readOverTheBus(fuzz::FuzzInput& in) {
    auto unit = fuzz::attachUnit();
    tarn::TarnUsb dev;
    FUZZ_CHECK(dev.open());
    while (!in.empty()) {
        const uint8_t control = in.byte();
        sim::Reply reply;
        reply.status = (control & 0x80u) != 0 ? fuzz::resultCode(in.byte()) : LIBUSB_SUCCESS;
        reply.data = in.take(control & 0x7Fu);
        const bool delivered = reply.status == LIBUSB_SUCCESS && reply.data.size() <= 64;
        const std::vector<uint8_t> bytes = reply.data;
        unit->queue(fuzz::kStreamIn, std::move(reply));

        DataStreamFeedback fb;
        const bool ok = dev.readDataStream(fb);
        if (delivered) {
            checkFeedback(bytes, ok, fb);
        } else {
            FUZZ_CHECK(!ok);
            FUZZ_CHECK(fb.power == nullptr && fb.status == nullptr && fb.temp == nullptr);
        }
        if (!dev.isOpen()) {
            // The error meant the unit is gone: connect again, as the polling loop would.
            unit->clearQueues();
            unit->queue(fuzz::kCfgIn, fuzz::versionReply());
            FUZZ_CHECK(dev.open());
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    decodeDirectly({data, size});
    fuzz::FuzzInput in(data, size);
    readOverTheBus(in);
    return 0;
}
