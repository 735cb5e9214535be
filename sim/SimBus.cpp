#include "SimBus.h"

#include "SimBusAccess.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace sim {

namespace {

// USB gives a device one of the addresses 1 to 127 on its bus; 0 is the address of a device
// that has not been enumerated yet.
constexpr int kMaxAddress = 127;

[[noreturn]] void testBug(const char* what) {
    std::fprintf(stderr, "tarn_sim: %s\n", what);
    std::abort();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// SimDevice

SimDevice::SimDevice(int id, uint16_t vid, uint16_t pid, uint8_t bus, uint8_t port, uint8_t address)
    : id_(id)
    , vid_(vid)
    , pid_(pid)
    , bus_(bus)
    , port_(port)
    , address_(address) {}

void SimDevice::setKernelDriverActive(int interface, bool active) {
    kernelDriver_[interface] = active;
}

bool SimDevice::kernelDriverActive(int interface) const {
    const auto it = kernelDriver_.find(interface);
    return it != kernelDriver_.end() && it->second;
}

bool SimDevice::claimed(int interface) const {
    const auto it = claims_.find(interface);
    return it != claims_.end() && it->second > 0;
}

void SimDevice::setHandler(uint8_t endpointAddress, EndpointHandler handler) {
    // An empty handler is kept as an empty slot, never erased: a transfer may be running the
    // old handler of this very slot (see SimLibusbTransfer.cpp) and puts it back by key afterwards.
    handlers_[endpointAddress] = std::move(handler);
}

void SimDevice::queue(uint8_t endpointAddress, Reply reply) {
    queues_[endpointAddress].push_back(std::move(reply));
}

std::size_t SimDevice::queued(uint8_t endpointAddress) const {
    const auto it = queues_.find(endpointAddress);
    return it == queues_.end() ? 0 : it->second.size();
}

void SimDevice::clearQueues() {
    queues_.clear();
}

void SimDevice::failTransfer(std::size_t index, TransferFault fault) {
    transferFault_.emplace(index, fault);
}

void SimDevice::unplug() {
    if (!attached_) {
        return;
    }
    attached_ = false;
    // Handles and device-list entries remember the generation they were made in; a new one
    // makes all of them stale at once, even after the device comes back.
    ++generation_;
}

void SimDevice::replug() {
    SimBus& bus = SimBus::instance();
    auto& all = SimAccess::allDevices(bus);
    const auto self =
        std::find_if(all.begin(), all.end(), [this](const auto& d) { return d.get() == this; });
    if (self == all.end()) {
        // Taken off the bus for good by SimBus::reset(): nothing to plug back into.
        return;
    }
    // Replugging a device that is still attached is a quick unplug and replug, as when a unit
    // restarts and enumerates again.
    unplug();

    // The bus enumerates it as a newly arrived device: last in order, with a fresh address.
    std::shared_ptr<SimDevice> keep = *self;
    all.erase(self);
    address_ = SimAccess::nextAddress(bus, bus_);
    all.push_back(std::move(keep));
    attached_ = true;

    if (replugHook_) {
        // The hook may replace itself; run it from a local so that does not destroy it mid-call.
        std::function<void()> hook = std::move(replugHook_);
        hook();
        if (!replugHook_) {
            replugHook_ = std::move(hook);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// SimBus

SimBus& SimBus::instance() {
    static SimBus bus;
    return bus;
}

std::shared_ptr<SimDevice> SimBus::attach(uint16_t vid, uint16_t pid, uint8_t bus, uint8_t port,
                                          uint8_t address) {
    if (address == 0) {
        address = nextAddress(bus);
    }
    // The constructor is private to the bus, so make_shared cannot reach it.
    std::shared_ptr<SimDevice> device(new SimDevice(nextId_++, vid, pid, bus, port, address));
    devices_.push_back(device);
    return device;
}

std::vector<std::shared_ptr<SimDevice>> SimBus::devices() const {
    std::vector<std::shared_ptr<SimDevice>> attached;
    for (const auto& device : devices_) {
        if (device->attached()) {
            attached.push_back(device);
        }
    }
    return attached;
}

void SimBus::reset() {
    for (const auto& device : devices_) {
        // Whoever still holds the device or a handle to it sees it unplugged; nothing dangles,
        // since handles share ownership of it.
        device->unplug();
        device->clearQueues();
    }
    devices_.clear();
    calls_.clear();
    lastAddress_.clear();
    initFailure_.reset();
    deviceListFailure_.reset();
    nextId_ = 1;
    // Each test starts recording, whatever the test before it switched off.
    recording_ = true;
    // contexts_ stays: contexts still alive (a UsbDevice that outlives a test) keep working.
}

void SimBus::failNextInit(int code) {
    if (code >= 0) {
        testBug("failNextInit needs a negative libusb error code");
    }
    initFailure_ = code;
}

void SimBus::failNextDeviceList(int code) {
    if (code >= 0) {
        testBug("failNextDeviceList needs a negative libusb error code");
    }
    deviceListFailure_ = code;
}

int SimBus::liveContexts() const {
    return static_cast<int>(contexts_.size());
}

int SimBus::logLevel(const libusb_context* ctx) const {
    const auto it = contexts_.find(ctx);
    return it == contexts_.end() ? -1 : it->second;
}

std::vector<CallRecord> SimBus::calls(Call kind) const {
    std::vector<CallRecord> matching;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(matching),
                 [kind](const CallRecord& r) { return r.call == kind; });
    return matching;
}

std::vector<CallRecord> SimBus::transfers() const {
    std::vector<CallRecord> matching;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(matching),
                 [](const CallRecord& r) {
                     return r.call == Call::BulkTransfer || r.call == Call::InterruptTransfer;
                 });
    return matching;
}

void SimBus::record(CallRecord record) {
    if (recording_) {
        calls_.push_back(std::move(record));
    }
}

uint8_t SimBus::nextAddress(uint8_t bus) {
    // Like a host controller: addresses are handed out in turn and wrap after 127, skipping any
    // held by a device on this bus.
    const auto inUse = [&](int address) {
        return std::any_of(devices_.begin(), devices_.end(), [&](const auto& d) {
            return d->attached() && d->busNumber() == bus && d->address() == address;
        });
    };
    uint8_t& last = lastAddress_[bus];
    for (int step = 1; step <= kMaxAddress; ++step) {
        const int candidate = (last + step - 1) % kMaxAddress + 1;
        if (!inUse(candidate)) {
            last = static_cast<uint8_t>(candidate);
            return last;
        }
    }
    testBug("no free address left on the bus (127 devices attached)");
}

} // namespace sim
