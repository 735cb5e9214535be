#pragma once

// A device object without a unit behind it, for the two things the simulated bus cannot show:
// a write attempted while no unit is open (a closed TarnUsb stops before the bus), and a
// device call that throws.

#include "TarnInterface.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace uitest {

class FakeDevice : public tarn::TarnInterface {
public:
    enum class Behaviour { Closed, Throwing };

    explicit FakeDevice(Behaviour behaviour)
        : behaviour_(behaviour) {}

    // The configuration requests attempted, each as the bytes offered.
    const std::vector<std::vector<uint8_t>>& attempts() const { return attempts_; }

    Type type() const override { return Type::USB; }
    bool open() override { return false; }
    bool isOpen() const override { return behaviour_ == Behaviour::Throwing; }
    void closeDevice() override {}
    using TarnInterface::readCfg;
    using TarnInterface::writeCfg;
    bool writeCfg(const uint8_t* data, int32_t size, int32_t) override {
        attempts_.emplace_back(data, data + size);
        if (behaviour_ == Behaviour::Throwing) {
            throw std::runtime_error("the unit link broke");
        }
        return false;
    }
    int32_t readCfg(uint8_t*, int32_t, int32_t) override { return -1; }
    bool writeStream(const uint8_t*, int32_t) override {
        if (behaviour_ == Behaviour::Throwing) {
            throw std::runtime_error("the unit link broke");
        }
        return false;
    }
    int32_t readStream(uint8_t*, int32_t) override { return -1; }

private:
    Behaviour behaviour_;
    std::vector<std::vector<uint8_t>> attempts_;
};

} // namespace uitest
