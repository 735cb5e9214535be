#pragma once

// Shared pieces of the device-layer tests: reply builders and a fixture with a TarnUsb
// connected to a scripted unit on the simulated bus.

#include "SimBus.h"
#include "TarnUsb.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace devtest {

using Bytes = std::vector<uint8_t>;
inline sim::SimBus& bus() {
    return sim::SimBus::instance();
}

// Queued results, built field by field (designated initializers that leave fields out trip
// -Wmissing-field-initializers on this compiler).
inline sim::Reply answer(Bytes data, int status = LIBUSB_SUCCESS) {
    sim::Reply r;
    r.data = std::move(data);
    r.status = status;
    return r;
}
inline sim::Reply failWith(int status) {
    return answer({}, status);
}
inline sim::Reply shortBy1(int length) {
    sim::Reply r;
    r.transferred = length - 1;
    return r;
}

// A version reply: major.minor.build, serial, hardware revision 3; `size` bytes.
inline Bytes versionReply(uint8_t major, uint8_t minor, uint8_t build, uint8_t serial,
                          std::size_t size = 20) {
    Bytes b{0x00, 3, 0x34, 0x12, major, 0, minor, 0, build, 0, 0, 0, 0, 0, 0, 0, serial, 0, 0, 0};
    b.resize(size);
    return b;
}

// The bytes of every transfer on one endpoint address, in order.
inline std::vector<Bytes> sentOn(uint8_t endpoint) {
    std::vector<Bytes> out;
    for (const auto& t : bus().transfers()) {
        if (t.endpoint == endpoint) {
            out.push_back(t.data);
        }
    }
    return out;
}

class ConnectedUnit : public ::testing::Test {
protected:
    void SetUp() override {
        bus().reset();
        unit_ = bus().attach(0xA37C, 0x010F, 1, 1, 5);
        unit_->queue(0x81, answer(versionReply(1, 0, 5, 7)));
        ASSERT_TRUE(dev_.open());
        bus().clearCalls();
    }
    std::shared_ptr<sim::SimDevice> unit_;
    tarn::TarnUsb dev_;
};

} // namespace devtest
