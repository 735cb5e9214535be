#pragma once

// The bus's own back door: the libusb layer (SimLibusb*.cpp) and SimDevice's plugging need the
// bookkeeping that SimBus and SimDevice keep private from tests. Nothing outside sim/ includes
// this header.

#include "SimBus.h"

#include <optional>
#include <utility>

namespace sim {

struct SimAccess {
    // --- the bus ---
    static bool recording(const SimBus& bus) { return bus.recording_; }
    static void record(SimBus& bus, CallRecord record) { bus.record(std::move(record)); }
    static std::map<const libusb_context*, int>& contexts(SimBus& bus) { return bus.contexts_; }
    static std::optional<int> takeInitFailure(SimBus& bus) {
        return std::exchange(bus.initFailure_, std::nullopt);
    }
    static std::optional<int> takeDeviceListFailure(SimBus& bus) {
        return std::exchange(bus.deviceListFailure_, std::nullopt);
    }
    static std::vector<std::shared_ptr<SimDevice>>& allDevices(SimBus& bus) { return bus.devices_; }
    static uint8_t nextAddress(SimBus& bus, uint8_t busNumber) {
        return bus.nextAddress(busNumber);
    }

    // --- a device ---
    static unsigned generation(const SimDevice& device) { return device.generation_; }
    static int descriptorResult(const SimDevice& device) { return device.descriptorResult_; }
    static int openResult(const SimDevice& device) { return device.openResult_; }
    static int claimResult(const SimDevice& device) { return device.claimResult_; }
    static int detachResult(const SimDevice& device) { return device.detachResult_; }
    static int& openHandles(SimDevice& device) { return device.openHandles_; }
    static std::map<int, bool>& kernelDriver(SimDevice& device) { return device.kernelDriver_; }
    static std::map<int, int>& claims(SimDevice& device) { return device.claims_; }
    static std::map<uint8_t, EndpointHandler>& handlers(SimDevice& device) {
        return device.handlers_;
    }
    static std::map<uint8_t, std::deque<Reply>>& queues(SimDevice& device) {
        return device.queues_;
    }
    // The fault due on this transfer, if one is: counts the transfer towards it otherwise.
    static std::optional<TransferFault> takeTransferFault(SimDevice& device) {
        auto& due = device.transferFault_;
        if (!due) {
            return std::nullopt;
        }
        if (due->first > 0) {
            --due->first;
            return std::nullopt;
        }
        return std::exchange(due, std::nullopt)->second;
    }
};

} // namespace sim
