// The simulated bus as a libusb stand-in: enumeration and reference counting, contexts,
// interface claims, transfers (queued replies, handlers, defaults), plugging and the records.

#include "SimBus.h"

#include <gtest/gtest.h>

#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#ifdef __SANITIZE_ADDRESS__
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*,
                                                                  std::size_t),
                                                         void (*)(const volatile void*));
#endif

namespace {

using sim::Call;
using sim::Outcome;
using sim::Reply;
using sim::SimBus;
using sim::Transfer;
using Bytes = std::vector<uint8_t>;

struct ContextDeleter {
    void operator()(libusb_context* ctx) const { libusb_exit(ctx); }
};
using Context = std::unique_ptr<libusb_context, ContextDeleter>;
struct ListDeleter {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};
using DeviceList = std::unique_ptr<libusb_device*[], ListDeleter>;
struct HandleDeleter {
    void operator()(libusb_device_handle* h) const { libusb_close(h); }
};
using Handle = std::unique_ptr<libusb_device_handle, HandleDeleter>;

Context makeContext() {
    libusb_context* raw = nullptr;
    EXPECT_EQ(libusb_init(&raw), LIBUSB_SUCCESS);
    return Context(raw);
}

struct Result {
    int status;
    int transferred;
};

Result bulk(libusb_device_handle* h, uint8_t endpoint, Bytes& buffer, unsigned timeout = 100) {
    int transferred = -12345; // must always be overwritten
    const int status = libusb_bulk_transfer(h, endpoint, buffer.data(),
                                            static_cast<int>(buffer.size()), &transferred, timeout);
    return {status, transferred};
}

class SimBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus.reset();
        ctx = makeContext();
    }

    DeviceList list(ssize_t& count) {
        libusb_device** raw = nullptr;
        count = libusb_get_device_list(ctx.get(), &raw);
        return DeviceList(raw);
    }

    // Opens the index-th listed device. The list is freed (and its devices unreferenced) before
    // the handle is used, so every test also checks that a handle outlives its list; a
    // reference left over would be reported by LeakSanitizer.
    Handle open(std::size_t index = 0) {
        ssize_t count = 0;
        DeviceList devices = list(count);
        libusb_device_handle* raw = nullptr;
        if (count <= static_cast<ssize_t>(index) ||
            libusb_open(devices[index], &raw) != LIBUSB_SUCCESS) {
            return Handle();
        }
        return Handle(raw);
    }

    SimBus& bus = SimBus::instance();
    Context ctx;
};

// --- enumeration and reference counting ------------------------------------------------------

TEST_F(SimBusTest, ListsAttachedDevicesInAttachOrderWithDescriptorAndLocation) {
    bus.attach(0xA37C, 0x010F);
    bus.attach(0x1234, 0x5678, 2, 3, 9);
    ssize_t count = 0;
    DeviceList devices = list(count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(devices[2], nullptr);
    const std::vector<std::vector<int>> expected = {{0xA37C, 0x010F, 1, 1, 1, 18, 1, 0x200, 1},
                                                    {0x1234, 0x5678, 2, 3, 9, 18, 1, 0x200, 1}};
    for (std::size_t i = 0; i < 2; ++i) {
        libusb_device_descriptor d{};
        ASSERT_EQ(libusb_get_device_descriptor(devices[i], &d), LIBUSB_SUCCESS);
        EXPECT_EQ((std::vector<int>{d.idVendor, d.idProduct, libusb_get_bus_number(devices[i]),
                                    libusb_get_port_number(devices[i]),
                                    libusb_get_device_address(devices[i]), d.bLength,
                                    d.bDescriptorType, d.bcdUSB, d.bNumConfigurations}),
                  expected[i]);
    }
}

TEST_F(SimBusTest, ScriptedFaultsOnEnumerationAndOpen) {
    auto device = bus.attach(0xA37C, 0x010F);
    bus.failNextDeviceList(LIBUSB_ERROR_NO_MEM);
    ssize_t count = 0;
    EXPECT_EQ(list(count), nullptr);
    EXPECT_EQ(count, LIBUSB_ERROR_NO_MEM);
    DeviceList devices = list(count); // for one call only
    ASSERT_EQ(count, 1);

    device->setDescriptorResult(LIBUSB_ERROR_IO);
    libusb_device_descriptor d{};
    EXPECT_EQ(libusb_get_device_descriptor(devices[0], &d), LIBUSB_ERROR_IO);
    device->setOpenResult(LIBUSB_ERROR_ACCESS);
    libusb_device_handle* raw = nullptr;
    EXPECT_EQ(libusb_open(devices[0], &raw), LIBUSB_ERROR_ACCESS);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(device->openHandles(), 0);
}

TEST_F(SimBusTest, AddressesAreHandedOutInTurnSkippingThoseInUse) {
    EXPECT_EQ(bus.attach(1, 1, 1, 1, 2)->address(), 2); // explicit
    EXPECT_EQ(bus.attach(1, 1)->address(), 1);
    EXPECT_EQ(bus.attach(1, 1)->address(), 3);    // 2 is taken
    EXPECT_EQ(bus.attach(1, 1, 2)->address(), 1); // each bus counts on its own
    std::vector<std::shared_ptr<sim::SimDevice>> fill;
    for (int a = 4; a <= 127; ++a) {
        fill.push_back(bus.attach(1, 1));
    }
    EXPECT_EQ(fill.back()->address(), 127);
    // The bus is full, so after wrapping the only free address is the one just given up.
    fill[10]->replug();
    EXPECT_EQ(fill[10]->address(), 14);
}

// --- contexts --------------------------------------------------------------------------------

TEST_F(SimBusTest, InitFailureYieldsNoContextOnce) {
    bus.clearCalls();
    bus.failNextInit(LIBUSB_ERROR_ACCESS);
    libusb_context* raw = reinterpret_cast<libusb_context*>(&bus); // must be cleared
    EXPECT_EQ(libusb_init(&raw), LIBUSB_ERROR_ACCESS);
    EXPECT_EQ(raw, nullptr);
    Context second = makeContext();
    libusb_set_option(second.get(), LIBUSB_OPTION_LOG_LEVEL, 0);
    EXPECT_EQ(bus.liveContexts(), 2);
    const libusb_context* made = second.get();
    second.reset();
    EXPECT_EQ(bus.liveContexts(), 1);
    std::vector<std::tuple<Call, const libusb_context*, int>> seen;
    for (const auto& r : bus.calls()) {
        seen.emplace_back(r.call, r.context, r.result);
    }
    EXPECT_EQ(seen, (std::vector<std::tuple<Call, const libusb_context*, int>>{
                        {Call::Init, nullptr, LIBUSB_ERROR_ACCESS},
                        {Call::Init, made, 0},
                        {Call::SetOption, made, 0},
                        {Call::Exit, made, 0}}));
}

TEST_F(SimBusTest, NullContextIsRefusedAndRecorded) {
    bus.attach(0xA37C, 0x010F);
    bus.clearCalls();
    libusb_device** devices = reinterpret_cast<libusb_device**>(&bus);
    EXPECT_EQ(libusb_init(nullptr), LIBUSB_ERROR_INVALID_PARAM);
    EXPECT_EQ(libusb_set_option(nullptr, LIBUSB_OPTION_LOG_LEVEL, 0), LIBUSB_ERROR_INVALID_PARAM);
    EXPECT_EQ(libusb_get_device_list(nullptr, &devices), LIBUSB_ERROR_INVALID_PARAM);
    EXPECT_EQ(devices, nullptr);
    libusb_exit(nullptr);
    std::vector<std::pair<Call, const libusb_context*>> seen;
    for (const auto& r : bus.calls()) {
        seen.emplace_back(r.call, r.context);
    }
    EXPECT_EQ(seen,
              (std::vector<std::pair<Call, const libusb_context*>>{{Call::Init, nullptr},
                                                                   {Call::SetOption, nullptr},
                                                                   {Call::GetDeviceList, nullptr},
                                                                   {Call::Exit, nullptr}}));
    EXPECT_EQ(bus.liveContexts(), 1);
}

TEST_F(SimBusTest, LogLevelIsKeptPerContext) {
    Context other = makeContext();
    EXPECT_EQ(bus.logLevel(ctx.get()), -1);
    EXPECT_EQ(libusb_set_option(ctx.get(), LIBUSB_OPTION_LOG_LEVEL, 0), LIBUSB_SUCCESS);
    EXPECT_EQ(libusb_set_option(other.get(), LIBUSB_OPTION_LOG_LEVEL, 3), LIBUSB_SUCCESS);
    EXPECT_EQ(libusb_set_option(other.get(), LIBUSB_OPTION_LOG_LEVEL, 9),
              LIBUSB_ERROR_INVALID_PARAM);
    EXPECT_EQ(bus.logLevel(ctx.get()), 0);
    EXPECT_EQ(bus.logLevel(other.get()), 3);
    const auto last = bus.calls(Call::SetOption).back();
    EXPECT_EQ(last.option, LIBUSB_OPTION_LOG_LEVEL);
    EXPECT_EQ(last.value, 9);
    EXPECT_EQ(last.context, other.get());
}

TEST_F(SimBusTest, UsingAnEndedContextAborts) {
    libusb_context* raw = makeContext().release();
    libusb_exit(raw);
    libusb_device** devices = nullptr;
    EXPECT_DEATH(libusb_get_device_list(raw, &devices), "not live");
}

// --- interfaces and kernel drivers -----------------------------------------------------------

TEST_F(SimBusTest, KernelDriverBlocksClaimUntilDetached) {
    auto device = bus.attach(0xA37C, 0x010F);
    device->setKernelDriverActive(0, true);
    Handle h = open();
    ASSERT_TRUE(h);
    EXPECT_EQ(libusb_kernel_driver_active(h.get(), 0), 1);
    EXPECT_EQ(libusb_kernel_driver_active(h.get(), 1), 0);
    EXPECT_EQ(libusb_claim_interface(h.get(), 0), LIBUSB_ERROR_BUSY);
    EXPECT_EQ(libusb_detach_kernel_driver(h.get(), 1), LIBUSB_ERROR_NOT_FOUND);
    device->setDetachResult(LIBUSB_ERROR_ACCESS);
    EXPECT_EQ(libusb_detach_kernel_driver(h.get(), 0), LIBUSB_ERROR_ACCESS);
    EXPECT_TRUE(device->kernelDriverActive(0));
    device->setDetachResult(LIBUSB_SUCCESS);
    EXPECT_EQ(libusb_detach_kernel_driver(h.get(), 0), LIBUSB_SUCCESS);
    EXPECT_FALSE(device->kernelDriverActive(0));
    EXPECT_EQ(libusb_claim_interface(h.get(), 0), LIBUSB_SUCCESS);
    EXPECT_TRUE(device->claimed(0));

    Handle other = open();
    EXPECT_EQ(libusb_release_interface(other.get(), 0), LIBUSB_ERROR_NOT_FOUND);
    h.reset(); // closing releases what the handle still holds
    EXPECT_FALSE(device->claimed(0));
    device->setClaimResult(LIBUSB_ERROR_BUSY);
    EXPECT_EQ(libusb_claim_interface(other.get(), 0), LIBUSB_ERROR_BUSY);
    EXPECT_FALSE(device->claimed(0));
}

// --- transfers -------------------------------------------------------------------------------

TEST_F(SimBusTest, QueuedRepliesCompleteTransfersAsScripted) {
    const struct {
        const char* name;
        uint8_t endpoint;
        std::size_t room;
        int replyStatus; // the queued reply, as Reply's fields
        Bytes data;
        std::optional<int> count;
        bool unplug;
        int status;
        int transferred;
        Bytes delivered; // the start of the IN buffer afterwards
    } cases[] = {
        {"in, fits", 0x81, 8, 0, {1, 2, 3}, {}, false, 0, 3, {1, 2, 3, 0}},
        {"in, cut to buffer", 0x81, 2, 0, {1, 2, 3}, {}, false, LIBUSB_ERROR_OVERFLOW, 2, {1, 2}},
        {"in, scripted count", 0x81, 4, 0, {1, 2, 3, 4}, 1, false, 0, 1, {1, 2, 3, 4}},
        {"in, timeout", 0x81, 4, LIBUSB_ERROR_TIMEOUT, {}, {}, false, LIBUSB_ERROR_TIMEOUT, 0, {}},
        {"out, whole", 0x01, 64, 0, {}, {}, false, 0, 64, {}},
        {"out, short", 0x01, 64, 0, {}, 63, false, 0, 63, {}},
        {"out, pipe", 0x01, 64, LIBUSB_ERROR_PIPE, {}, {}, false, LIBUSB_ERROR_PIPE, 0, {}},
        {"out, unplug", 0x01, 64, 0, {}, {}, true, LIBUSB_ERROR_NO_DEVICE, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bus.reset();
        auto device = bus.attach(0xA37C, 0x010F);
        int handled = 0;
        device->setHandler(c.endpoint, [&](const Transfer&) { return ++handled, Outcome{}; });
        device->queue(c.endpoint, Reply{c.replyStatus, c.data, c.count, c.unplug});
        Handle h = open();
        ASSERT_TRUE(h);
        Bytes buffer(c.room, 0);
        const Result r = bulk(h.get(), c.endpoint, buffer);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.transferred, c.transferred);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + static_cast<long>(c.delivered.size())),
                  c.delivered);
        EXPECT_EQ(handled, 0); // the queue answered, not the handler
        EXPECT_EQ(device->queued(c.endpoint), 0u);
        EXPECT_EQ(device->attached(), !c.unplug);
    }
}

TEST_F(SimBusTest, QueueIsOldestFirstPerEndpointThenHandler) {
    auto device = bus.attach(0xA37C, 0x010F);
    std::vector<Transfer> seen;
    device->setHandler(0x81, [&](const Transfer& t) {
        seen.push_back(t);
        t.buffer[0] = 0xEE;
        return Outcome{LIBUSB_SUCCESS, 1000}; // more than the buffer holds
    });
    device->queue(0x81, Reply{0, {1}, {}, false});
    device->queue(0x81, Reply{0, {2}, {}, false});
    device->queue(0x82, Reply{0, {3}, {}, false});
    Handle h = open();
    ASSERT_TRUE(h);
    Bytes buffer(4);
    for (const int expected : {1, 2, 0xEE}) {
        ASSERT_EQ(bulk(h.get(), 0x81, buffer).status, LIBUSB_SUCCESS);
        EXPECT_EQ(buffer[0], expected);
    }
    int transferred = 0;
    EXPECT_EQ(libusb_interrupt_transfer(h.get(), 0x81, buffer.data(), 2, &transferred, 7), 0);
    EXPECT_EQ(transferred, 2); // kept within the buffer
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].type, sim::TransferType::Bulk);
    EXPECT_EQ(std::tuple(seen[1].type, seen[1].endpoint, seen[1].timeout, seen[1].buffer.size()),
              std::tuple(sim::TransferType::Interrupt, uint8_t{0x81}, 7u, std::size_t{2}));
    EXPECT_EQ(device->queued(0x82), 1u);
}

TEST_F(SimBusTest, HandlerMayReplaceItselfWhileRunning) {
    auto device = bus.attach(0xA37C, 0x010F);
    auto* raw = device.get();
    device->setHandler(0x81, [raw, big = std::vector<int>(64, 1)](const Transfer& t) {
        raw->setHandler(0x81, [](const Transfer& u) { return u.buffer[0] = 2, Outcome{0, 1}; });
        t.buffer[0] = static_cast<uint8_t>(big.at(63)); // still alive after the replacement
        return Outcome{LIBUSB_SUCCESS, 1};
    });
    Handle h = open();
    ASSERT_TRUE(h);
    Bytes buffer(1);
    bulk(h.get(), 0x81, buffer);
    EXPECT_EQ(buffer[0], 1);
    bulk(h.get(), 0x81, buffer);
    EXPECT_EQ(buffer[0], 2);
}

TEST_F(SimBusTest, WithoutAnswerOutTakesAllAndInTimesOut) {
    bus.attach(0xA37C, 0x010F);
    Handle h = open();
    ASSERT_TRUE(h);
    Bytes buffer(64);
    EXPECT_EQ(bulk(h.get(), 0x01, buffer).transferred, 64);
    const Result in = bulk(h.get(), 0x81, buffer, 5000);
    EXPECT_EQ(in.status, LIBUSB_ERROR_TIMEOUT);
    EXPECT_EQ(in.transferred, 0);

    const struct {
        libusb_device_handle* handle;
        uint8_t* data;
        int length;
        int status;
    } args[] = {{h.get(), buffer.data(), -1, LIBUSB_ERROR_INVALID_PARAM},
                {h.get(), nullptr, 4, LIBUSB_ERROR_INVALID_PARAM},
                {h.get(), nullptr, 0, LIBUSB_SUCCESS},
                {nullptr, buffer.data(), 4, LIBUSB_ERROR_INVALID_PARAM}};
    for (const auto& a : args) {
        int transferred = 99;
        EXPECT_EQ(libusb_bulk_transfer(a.handle, 0x01, a.data, a.length, &transferred, 0),
                  a.status);
        EXPECT_EQ(transferred, 0);
    }
}

// --- unplug, replug, reset -------------------------------------------------------------------

TEST_F(SimBusTest, UnplugKillsOldHandlesAndReplugComesBackUnderANewAddress) {
    auto device = bus.attach(0xA37C, 0x010F);
    bus.attach(0x1111, 0x2222);
    int hooked = 0;
    device->setReplugHook([&] { ++hooked; });
    Handle stale = open();
    ASSERT_TRUE(stale);
    ASSERT_EQ(libusb_claim_interface(stale.get(), 0), LIBUSB_SUCCESS);
    ssize_t count = 0;
    DeviceList before = list(count);
    libusb_device_handle* raw = nullptr;
    Bytes buffer(8);
    const auto expectDead = [&] {
        EXPECT_EQ(bulk(stale.get(), 0x01, buffer).status, LIBUSB_ERROR_NO_DEVICE);
        EXPECT_EQ(libusb_kernel_driver_active(stale.get(), 0), LIBUSB_ERROR_NO_DEVICE);
        EXPECT_EQ(libusb_release_interface(stale.get(), 0), LIBUSB_ERROR_NO_DEVICE);
        EXPECT_EQ(libusb_open(before[0], &raw), LIBUSB_ERROR_NO_DEVICE);
    };
    device->unplug();
    EXPECT_EQ(bus.devices().size(), 1u);
    expectDead();

    device->replug();
    EXPECT_EQ(hooked, 1);
    EXPECT_EQ(device->address(), 3);
    ASSERT_EQ(bus.devices().size(), 2u);
    EXPECT_EQ(bus.devices()[1], device); // enumerated as the newest arrival
    expectDead();                        // what was opened or listed before stays dead

    Handle fresh = open(1);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(bulk(fresh.get(), 0x01, buffer).status, LIBUSB_SUCCESS);
    EXPECT_EQ(device->openHandles(), 2);
    stale.reset();
    EXPECT_EQ(device->openHandles(), 1);
    EXPECT_FALSE(device->claimed(0));
}

TEST_F(SimBusTest, ResetLeavesOldHandlesDeadButSafeAndContextsLive) {
    auto device = bus.attach(0xA37C, 0x010F);
    device->queue(0x81, Reply{0, {1}, {}, false});
    Handle h = open();
    ASSERT_TRUE(h);
    bus.failNextDeviceList(LIBUSB_ERROR_IO);
    bus.reset();
    device.reset(); // the handle is now the device's last owner
    Bytes buffer(4);
    EXPECT_EQ(bulk(h.get(), 0x81, buffer).status, LIBUSB_ERROR_NO_DEVICE);
    EXPECT_EQ(bus.liveContexts(), 1);
    ssize_t count = -1;
    DeviceList devices = list(count);
    EXPECT_EQ(count, 0); // neither the device nor the scripted fault survived
    EXPECT_EQ(bus.attach(1, 1)->id(), 1);
}

// --- records ---------------------------------------------------------------------------------

TEST_F(SimBusTest, TransfersAreRecordedWithTheirExactBytes) {
    auto device = bus.attach(0xA37C, 0x010F);
    device->queue(0x81, Reply{0, {9, 8, 7}, {}, false});
    Handle h = open();
    ASSERT_TRUE(h);
    bus.clearCalls();
    Bytes out{0x10, 0x20, 0x30, 0x40};
    bulk(h.get(), 0x01, out, 200);
    Bytes in(64);
    bulk(h.get(), 0x81, in, 100);
    int transferred = 0;
    libusb_interrupt_transfer(h.get(), 0x83, in.data(), 8, &transferred, 5);

    using Row = std::tuple<Call, int, uint8_t, Bytes, int, unsigned, int, int>;
    std::vector<Row> rows;
    for (const auto& r : bus.transfers()) {
        rows.emplace_back(r.call, r.device, r.endpoint, r.data, r.length, r.timeout, r.result,
                          r.transferred);
    }
    const int id = device->id();
    EXPECT_EQ(rows, (std::vector<Row>{
                        {Call::BulkTransfer, id, 0x01, out, 4, 200, 0, 4},
                        {Call::BulkTransfer, id, 0x81, {9, 8, 7}, 64, 100, 0, 3},
                        {Call::InterruptTransfer, id, 0x83, {}, 8, 5, LIBUSB_ERROR_TIMEOUT, 0}}));
}

#ifdef __SANITIZE_ADDRESS__
int allocations = 0;
bool counting = false;
void onMalloc(const volatile void*, std::size_t) {
    allocations += counting ? 1 : 0;
}
void onFree(const volatile void*) {}
#endif

TEST_F(SimBusTest, HandlerAnsweredTransferAllocatesNothingWithRecordingOff) {
#ifdef __SANITIZE_ADDRESS__
    static const int installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
    ASSERT_NE(installed, 0);
    auto device = bus.attach(0xA37C, 0x010F);
    device->setHandler(0x82, [](const Transfer& t) { return t.buffer[0] = 1, Outcome{0, 1}; });
    Handle h = open();
    ASSERT_TRUE(h);
    uint8_t buffer[64];
    int transferred = 0;
    const auto countTransfer = [&] {
        allocations = 0;
        counting = true;
        const int status = libusb_bulk_transfer(h.get(), 0x82, buffer, 64, &transferred, 100);
        counting = false;
        EXPECT_EQ(status, LIBUSB_SUCCESS);
        return allocations;
    };
    EXPECT_GT(countTransfer(), 0); // the hook does see the record being made
    bus.setRecording(false);
    bus.clearCalls();
    EXPECT_EQ(countTransfer(), 0);
    EXPECT_TRUE(bus.calls().empty());
#else
    GTEST_SKIP() << "allocations are counted through AddressSanitizer's hooks";
#endif
}

} // namespace
