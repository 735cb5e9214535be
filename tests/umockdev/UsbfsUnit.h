#pragma once

// The unit as the kernel's usbfs shows it to libusb, inside a umockdev test bed: a USB device in
// the mocked sysfs and udev database with the unit's descriptors, and a device node whose ioctls
// (capabilities, kernel driver query and detach, claim and release, URB submit, reap and
// discard) are answered here. Bulk transfers are answered from scripted replies per endpoint;
// an IN transfer without a reply waits, as on the wire, until libusb gives up on it.
//
// The ioctl handler runs on umockdev's worker thread; the test thread scripts and inspects the
// unit under the same lock.

#include <umockdev.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace usbfs {

using Bytes = std::vector<uint8_t>;

class UsbfsUnit {
public:
    // Adds the device (bus 1, port `port`, address `address`) with the given ids.
    UsbfsUnit(UMockdevTestbed* testbed, uint16_t vid, uint16_t pid, uint8_t port, uint8_t address);
    ~UsbfsUnit();
    UsbfsUnit(const UsbfsUnit&) = delete;
    UsbfsUnit& operator=(const UsbfsUnit&) = delete;

    // The next IN transfer on `endpoint` (full address, 0x81 or 0x82) gets these bytes.
    void reply(uint8_t endpoint, Bytes data);
    // What the console sent on an OUT endpoint (0x01 or 0x02), one entry per transfer.
    std::vector<Bytes> sent(uint8_t endpoint) const;
    void setKernelDriver(bool attached);
    // Another program has the interface claimed through usbfs: no driver to detach, and a
    // claim fails with EBUSY.
    void setHeldElsewhere(bool held);
    bool kernelDriverAttached() const;
    bool claimed() const;
    // The ioctl names in the order libusb made them ("CLAIMINTERFACE", "SUBMITURB 81" ...).
    std::vector<std::string> calls() const;
    // Blocks until an IN transfer on `endpoint` is waiting for its reply (false after 10 s).
    bool waitForPendingRead(uint8_t endpoint);
    // The cable is pulled: waiting transfers end with ESHUTDOWN, every later ioctl fails with
    // ENODEV, and the device leaves sysfs with a "remove" uevent.
    void unplug();

private:
    struct Urb {
        UMockdevIoctlData* urb = nullptr;    // our reference to the client's struct usbdevfs_urb
        UMockdevIoctlData* buffer = nullptr; // its data buffer, resolved
    };

    static gboolean onIoctl(UMockdevIoctlBase* base, UMockdevIoctlClient* client, gpointer self);
    bool handle(UMockdevIoctlClient* client);
    void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void fill(Urb& urb, const Bytes& data, int status);
    void finish(Urb urb);

    UMockdevTestbed* testbed_;
    std::string syspath_;
    std::string devnode_;
    std::filesystem::path nodeFile_;
    UMockdevIoctlBase* handler_ = nullptr;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool driver_ = true;
    bool heldElsewhere_ = false;
    bool claimed_ = false;
    bool gone_ = false;
    std::map<uint8_t, std::deque<Bytes>> replies_;
    std::map<uint8_t, std::vector<Bytes>> sent_;
    std::vector<std::string> calls_;
    std::vector<Urb> waiting_; // IN transfers without a reply yet
    std::deque<Urb> done_;     // transfers ready to be reaped
};

} // namespace usbfs
