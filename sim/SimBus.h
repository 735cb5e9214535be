#pragma once

// An in-process USB bus that stands behind the libusb functions defined in SimLibusb*.cpp.
// Code compiled against <libusb-1.0/libusb.h> runs unchanged on top of it: linking tarn_sim
// instead of libusb-1.0 swaps the real bus for this one. Tests attach devices, give them
// endpoint handlers or queue exact replies, script faults, and read back every call made.
//
// The bus is one object for the process (SimBus::instance()), as the real bus is. It is used
// from one thread at a time.

#include <libusb-1.0/libusb.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace sim {

enum class TransferType { Bulk, Interrupt };

// One transfer as a device sees it.
struct Transfer {
    uint8_t endpoint = 0; // full address: bit 7 set for IN
    TransferType type = TransferType::Bulk;
    // OUT: the bytes the host sends. IN: room for the reply; its size is the requested length.
    std::span<uint8_t> buffer;
    unsigned timeout = 0; // milliseconds, as the caller passed it
};

// How a device completes a transfer.
struct Outcome {
    int status = LIBUSB_SUCCESS; // libusb result code
    int transferred = 0;         // bytes taken (OUT) or written into the buffer (IN)
};

// Answers transfers on one endpoint address. An IN handler writes its reply into
// Transfer::buffer and reports the count; a reply longer than the buffer is the handler's to
// report as LIBUSB_ERROR_OVERFLOW.
using EndpointHandler = std::function<Outcome(const Transfer&)>;

// A transfer result queued by a test. Queued results on an endpoint are used, oldest first,
// before its handler is asked; the handler does not see a transfer answered from the queue.
struct Reply {
    int status = LIBUSB_SUCCESS;
    // IN: bytes delivered into the caller's buffer (cut to the buffer; longer gives OVERFLOW).
    std::vector<uint8_t> data;
    // The transferred count reported. Unset: OUT reports the whole length, IN the bytes
    // delivered. Set, it is reported as is (a short write: status 0 with length - 1).
    std::optional<int> transferred;
    // The device is unplugged as this transfer is made; status becomes NO_DEVICE unless set.
    bool unplug = false;
};

// How one transfer goes wrong (SimDevice::failTransfer), whoever would have answered it.
enum class TransferFault {
    Timeout,  // nothing moves and the call reports a timeout at once
    NoDevice, // the device is unplugged as the transfer is made
    Io,       // the transfer fails with an I/O error; the device stays on the bus
    Pipe,     // the endpoint stalls; nothing moves
    Short,    // one byte fewer moves: the device sees the request cut (OUT) or its reply is (IN)
    WrongId,  // IN only: the first byte of the reply, where replies echo their command, changes
};

class SimDevice {
public:
    int id() const { return id_; }
    uint16_t vendorId() const { return vid_; }
    uint16_t productId() const { return pid_; }
    uint8_t busNumber() const { return bus_; }
    uint8_t portNumber() const { return port_; }
    uint8_t address() const { return address_; }
    bool attached() const { return attached_; }

    // Enumeration and opening behaviour (all default to success).
    void setDescriptorResult(int code) { descriptorResult_ = code; }
    void setOpenResult(int code) { openResult_ = code; }
    void setClaimResult(int code) { claimResult_ = code; }
    void setKernelDriverActive(int interface, bool active);
    void setDetachResult(int code) { detachResult_ = code; }
    bool kernelDriverActive(int interface) const;
    bool claimed(int interface) const;
    int openHandles() const { return openHandles_; }

    // Transfers. Without a queued reply or a handler, OUT takes every byte and IN times out.
    void setHandler(uint8_t endpointAddress, EndpointHandler handler);
    void queue(uint8_t endpointAddress, Reply reply);
    std::size_t queued(uint8_t endpointAddress) const;
    void clearQueues();

    // The transfer `index` transfers from now on this device (0: the next one), counted over
    // every endpoint, goes wrong as `fault` says; the others go as they would have. A second
    // call replaces a fault not yet reached. transferFaultPending() tells whether it still is.
    void failTransfer(std::size_t index, TransferFault fault);
    bool transferFaultPending() const { return transferFault_.has_value(); }

    // Unplugging fails every transfer on handles opened before it with NO_DEVICE and takes the
    // device off the device list. Replugging puts it back under a new address; handles opened
    // before stay dead. The hook runs after the device is back (a unit resets its state there).
    void unplug();
    void replug();
    void setReplugHook(std::function<void()> hook) { replugHook_ = std::move(hook); }

private:
    friend class SimBus;
    friend struct SimAccess;
    SimDevice(int id, uint16_t vid, uint16_t pid, uint8_t bus, uint8_t port, uint8_t address);

    int id_;
    uint16_t vid_;
    uint16_t pid_;
    uint8_t bus_;
    uint8_t port_;
    uint8_t address_;
    bool attached_ = true;
    unsigned generation_ = 0; // bumped by each unplug; a handle remembers the one it opened
    int descriptorResult_ = LIBUSB_SUCCESS;
    int openResult_ = LIBUSB_SUCCESS;
    int claimResult_ = LIBUSB_SUCCESS;
    int detachResult_ = LIBUSB_SUCCESS;
    int openHandles_ = 0;
    std::map<int, bool> kernelDriver_;
    std::map<int, int> claims_; // interface -> number of handles holding it
    std::map<uint8_t, EndpointHandler> handlers_;
    std::map<uint8_t, std::deque<Reply>> queues_;
    std::optional<std::pair<std::size_t, TransferFault>> transferFault_; // countdown, fault
    std::function<void()> replugHook_;
};

enum class Call {
    Init,
    Exit,
    SetOption,
    GetDeviceList,
    FreeDeviceList,
    GetDeviceDescriptor,
    GetBusNumber,
    GetPortNumber,
    GetDeviceAddress,
    Open,
    Close,
    KernelDriverActive,
    DetachKernelDriver,
    ClaimInterface,
    ReleaseInterface,
    BulkTransfer,
    InterruptTransfer,
};

// One libusb call as the bus saw it.
struct CallRecord {
    Call call = Call::Init;
    const libusb_context* context =
        nullptr;               // Init (the context made), Exit, SetOption, GetDeviceList
    int device = -1;           // SimDevice::id() concerned, -1 when none
    int interface = -1;        // claim, release and kernel-driver calls
    int option = -1;           // SetOption: the option
    int value = -1;            // SetOption: its integer argument
    uint8_t endpoint = 0;      // transfers: full endpoint address
    std::vector<uint8_t> data; // transfers: OUT bytes offered, IN bytes delivered
    int length = 0;            // transfers: requested length
    unsigned timeout = 0;      // transfers
    int result = 0;            // the value returned (the count for GetDeviceList)
    int transferred = 0;       // transfers: the count reported
    bool unref = false;        // FreeDeviceList: the unref argument
};

class SimBus {
public:
    static SimBus& instance();

    // Attaches a device. Address 0 takes the next free address on that bus.
    std::shared_ptr<SimDevice> attach(uint16_t vid, uint16_t pid, uint8_t bus = 1, uint8_t port = 1,
                                      uint8_t address = 0);
    // Devices currently on the bus, in enumeration order (the order they were attached).
    std::vector<std::shared_ptr<SimDevice>> devices() const;

    // Removes every device, queued reply, scripted fault and record. Tests call it first.
    // Recording is switched back on; contexts still alive stay alive.
    void reset();

    // The next libusb_init fails with `code` and yields no context.
    void failNextInit(int code);
    // The next libusb_get_device_list returns `code` (negative) and no list.
    void failNextDeviceList(int code);

    // Contexts made by libusb_init and not yet ended by libusb_exit.
    int liveContexts() const;
    // The log level last set on `ctx` through libusb_set_option, or -1.
    int logLevel(const libusb_context* ctx) const;

    const std::vector<CallRecord>& calls() const { return calls_; }
    std::vector<CallRecord> calls(Call kind) const;
    std::vector<CallRecord> transfers() const; // bulk and interrupt only, in order
    void clearCalls() { calls_.clear(); }
    // Recording costs an allocation per call; benchmarks switch it off.
    void setRecording(bool on) { recording_ = on; }

private:
    friend struct SimAccess;
    SimBus() = default;
    void record(CallRecord record);
    uint8_t nextAddress(uint8_t bus);

    std::vector<std::shared_ptr<SimDevice>> devices_;
    std::vector<CallRecord> calls_;
    std::map<const libusb_context*, int> contexts_; // live context -> log level
    std::map<uint8_t, uint8_t> lastAddress_;
    std::optional<int> initFailure_;
    std::optional<int> deviceListFailure_;
    int nextId_ = 1;
    bool recording_ = true;
};

} // namespace sim
