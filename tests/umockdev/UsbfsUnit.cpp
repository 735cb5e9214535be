#include "UsbfsUnit.h"

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace usbfs {

namespace {

// Device descriptor, then configuration 1 with interface 0 (vendor class) and its four bulk
// endpoints: 0x01/0x81 the configuration pipe, 0x02/0x82 the stream pipe, 64 bytes each.
Bytes descriptors(uint16_t vid, uint16_t pid) {
    const auto lo = [](uint16_t v) { return static_cast<uint8_t>(v & 0xFFu); };
    const auto hi = [](uint16_t v) { return static_cast<uint8_t>(v >> 8); };
    Bytes d = {18,      1,       0x00,    0x02, 0,    0, 0, 64, lo(vid),
               hi(vid), lo(pid), hi(pid), 0x00, 0x01, 1, 2, 3,  1};
    const Bytes config = {9, 2, 46, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 4, 0xFF, 0, 0, 0};
    d.insert(d.end(), config.begin(), config.end());
    for (const uint8_t ep : {uint8_t{0x01}, uint8_t{0x81}, uint8_t{0x02}, uint8_t{0x82}}) {
        const Bytes endpoint = {7, 5, ep, 0x02, 64, 0, 0};
        d.insert(d.end(), endpoint.begin(), endpoint.end());
    }
    return d;
}

std::string threeDigits(unsigned n) {
    char text[8];
    std::snprintf(text, sizeof text, "%03u", n);
    return text;
}

std::string hex4(uint16_t v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", v);
    return text;
}

UMockdevIoctlData* resolve(UMockdevIoctlData* data, std::size_t offset, std::size_t length) {
    GError* error = nullptr;
    UMockdevIoctlData* child = umockdev_ioctl_data_resolve(data, offset, length, &error);
    if (child == nullptr) {
        const std::string what = error != nullptr ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("umockdev cannot resolve ioctl memory: " + what);
    }
    return child;
}

template <typename T>
T* as(UMockdevIoctlData* data) {
    return reinterpret_cast<T*>(data->data);
}

const char* nameOf(unsigned long request) {
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES:
        return "GET_CAPABILITIES";
    case USBDEVFS_GETDRIVER:
        return "GETDRIVER";
    case USBDEVFS_IOCTL:
        return "IOCTL";
    case USBDEVFS_CLAIMINTERFACE:
        return "CLAIMINTERFACE";
    case USBDEVFS_RELEASEINTERFACE:
        return "RELEASEINTERFACE";
    case USBDEVFS_SUBMITURB:
        return "SUBMITURB";
    case USBDEVFS_REAPURBNDELAY:
        return "REAPURBNDELAY";
    case USBDEVFS_REAPURB:
        return "REAPURB";
    case USBDEVFS_DISCARDURB:
        return "DISCARDURB";
    default:
        return "OTHER";
    }
}

} // namespace

UsbfsUnit::UsbfsUnit(UMockdevTestbed* testbed, uint16_t vid, uint16_t pid, uint8_t port,
                     uint8_t address)
    : testbed_(testbed) {
    const std::string name = "1-" + std::to_string(port);
    devnode_ = "/dev/bus/usb/001/" + threeDigits(address);
    const std::string devnum = std::to_string(address);
    // A "dev" number makes the test bed create the node that DEVNAME names (USB devices are
    // major 189, minor (bus - 1) * 128 + address - 1).
    const std::string dev = "189:" + std::to_string(address - 1);
    gchar* path = umockdev_testbed_add_device(
        testbed_, "usb", name.c_str(), nullptr,
        // sysfs attributes
        "dev", dev.c_str(), "busnum", "1", "devnum", devnum.c_str(), "idVendor", hex4(vid).c_str(),
        "idProduct", hex4(pid).c_str(), "speed", "12", "bConfigurationValue", "1", "bNumInterfaces",
        " 1", nullptr,
        // udev properties
        "DEVNAME", devnode_.c_str(), "DEVTYPE", "usb_device", "BUSNUM", "001", "DEVNUM",
        threeDigits(address).c_str(), "ID_VENDOR_ID", hex4(vid).c_str(), "ID_MODEL_ID",
        hex4(pid).c_str(), nullptr);
    if (path == nullptr) {
        throw std::runtime_error("umockdev cannot add the USB device");
    }
    syspath_ = path;
    g_free(path);
    Bytes d = descriptors(vid, pid);
    umockdev_testbed_set_attribute_binary(testbed_, syspath_.c_str(), "descriptors", d.data(),
                                          static_cast<gint>(d.size()));

    // The test bed leaves /dev to its user: the node is a plain file that umockdev turns into
    // the emulated device once the ioctl handler is attached.
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    nodeFile_ = std::filesystem::path(root) / devnode_.substr(1);
    g_free(root);
    std::filesystem::create_directories(nodeFile_.parent_path());
    std::ofstream{nodeFile_};

    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbfsUnit::onIoctl), this);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_, devnode_.c_str(), handler_, &error)) {
        const std::string what = error != nullptr ? error->message : "unknown error";
        g_clear_error(&error);
        throw std::runtime_error("umockdev cannot emulate " + devnode_ + ": " + what);
    }
    // Announce it, as the kernel does, to libusb contexts that watch for new devices.
    umockdev_testbed_uevent(testbed_, syspath_.c_str(), "add");
}

UsbfsUnit::~UsbfsUnit() {
    umockdev_testbed_detach_ioctl(testbed_, devnode_.c_str(), nullptr);
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
    const std::lock_guard lock(mutex_);
    for (Urb& u : waiting_) {
        g_object_unref(u.urb);
    }
    for (Urb& u : done_) {
        g_object_unref(u.urb);
    }
}

void UsbfsUnit::reply(uint8_t endpoint, Bytes data) {
    const std::lock_guard lock(mutex_);
    auto waiting = std::find_if(waiting_.begin(), waiting_.end(), [&](const Urb& u) {
        return as<usbdevfs_urb>(u.urb)->endpoint == endpoint;
    });
    if (waiting != waiting_.end()) {
        Urb u = *waiting;
        waiting_.erase(waiting);
        fill(u, data, 0);
        finish(u);
        return;
    }
    replies_[endpoint].push_back(std::move(data));
}

std::vector<Bytes> UsbfsUnit::sent(uint8_t endpoint) const {
    const std::lock_guard lock(mutex_);
    const auto it = sent_.find(endpoint);
    return it == sent_.end() ? std::vector<Bytes>{} : it->second;
}

void UsbfsUnit::setKernelDriver(bool attached) {
    const std::lock_guard lock(mutex_);
    driver_ = attached;
}

void UsbfsUnit::setHeldElsewhere(bool held) {
    const std::lock_guard lock(mutex_);
    heldElsewhere_ = held;
}

bool UsbfsUnit::kernelDriverAttached() const {
    const std::lock_guard lock(mutex_);
    return driver_;
}

bool UsbfsUnit::claimed() const {
    const std::lock_guard lock(mutex_);
    return claimed_;
}

std::vector<std::string> UsbfsUnit::calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
}

bool UsbfsUnit::waitForPendingRead(uint8_t endpoint) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] {
        return std::any_of(waiting_.begin(), waiting_.end(), [&](const Urb& u) {
            return as<usbdevfs_urb>(u.urb)->endpoint == endpoint;
        });
    });
}

void UsbfsUnit::unplug() {
    {
        const std::lock_guard lock(mutex_);
        gone_ = true;
        claimed_ = false;
        for (Urb& u : waiting_) {
            fill(u, {}, -ESHUTDOWN);
            finish(u);
        }
        waiting_.clear();
    }
    umockdev_testbed_uevent(testbed_, syspath_.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, syspath_.c_str());
    std::error_code ignored;
    std::filesystem::remove(nodeFile_, ignored);
}

gboolean UsbfsUnit::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    try {
        return static_cast<UsbfsUnit*>(self)->handle(client) ? TRUE : FALSE;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "usbfs unit: %s\n", e.what());
        umockdev_ioctl_client_complete(client, -1, EIO);
        return TRUE;
    }
}

bool UsbfsUnit::handle(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::lock_guard lock(mutex_);
    calls_.emplace_back(nameOf(request));
    // After a disconnect the kernel still hands out the URBs that ended with it, then refuses
    // everything (the REAP_AFTER_DISCONNECT capability).
    const bool reaping = request == USBDEVFS_REAPURBNDELAY || request == USBDEVFS_REAPURB;
    if (gone_ && !(reaping && !done_.empty())) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return true;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES:
        *as<uint32_t>(resolve(arg, 0, sizeof(uint32_t))) = USBDEVFS_CAP_BULK_CONTINUATION |
                                                           USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                                           USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        umockdev_ioctl_client_complete(client, 0, 0);
        return true;
    case USBDEVFS_GETDRIVER: {
        auto* query = as<usbdevfs_getdriver>(resolve(arg, 0, sizeof(usbdevfs_getdriver)));
        if ((!driver_ && !heldElsewhere_) || query->interface != 0) {
            umockdev_ioctl_client_complete(client, -1, ENODATA);
        } else {
            std::snprintf(query->driver, sizeof query->driver, "%s",
                          heldElsewhere_ ? "usbfs" : "tarn_kernel");
            umockdev_ioctl_client_complete(client, 0, 0);
        }
        return true;
    }
    case USBDEVFS_IOCTL: {
        const auto* command = as<usbdevfs_ioctl>(resolve(arg, 0, sizeof(usbdevfs_ioctl)));
        if (command->ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT) && command->ifno == 0 &&
            driver_) {
            driver_ = false;
            calls_.back() = "DISCONNECT";
            umockdev_ioctl_client_complete(client, 0, 0);
        } else {
            umockdev_ioctl_client_complete(client, -1, ENODATA);
        }
        return true;
    }
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE: {
        const unsigned interface = *as<unsigned>(resolve(arg, 0, sizeof(unsigned)));
        const bool claim = request == USBDEVFS_CLAIMINTERFACE;
        if (interface != 0) {
            umockdev_ioctl_client_complete(client, -1, EINVAL);
        } else if (claim && (driver_ || heldElsewhere_)) {
            umockdev_ioctl_client_complete(client, -1, EBUSY); // a driver or program holds it
        } else {
            claimed_ = claim;
            umockdev_ioctl_client_complete(client, 0, 0);
        }
        return true;
    }
    case USBDEVFS_SUBMITURB:
        submit(client, arg);
        return true;
    case USBDEVFS_REAPURBNDELAY:
    case USBDEVFS_REAPURB:
        reap(client, arg);
        return true;
    case USBDEVFS_DISCARDURB:
        discard(client, arg);
        return true;
    default:
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return true;
    }
}

void UsbfsUnit::submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* urbData = resolve(arg, 0, sizeof(usbdevfs_urb));
    auto* urb = as<usbdevfs_urb>(urbData);
    if (urb->type != USBDEVFS_URB_TYPE_BULK || urb->buffer_length < 0) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    Urb u{static_cast<UMockdevIoctlData*>(g_object_ref(urbData)),
          resolve(urbData, offsetof(usbdevfs_urb, buffer),
                  static_cast<std::size_t>(urb->buffer_length))};
    const uint8_t endpoint = urb->endpoint;
    calls_.back()
        .append(" ")
        .append(std::to_string(endpoint >> 4))
        .append(std::to_string(endpoint & 0xFu));
    if ((endpoint & 0x80u) == 0) {
        const auto* bytes = u.buffer->data;
        sent_[endpoint].emplace_back(bytes, bytes + urb->buffer_length);
        fill(u, Bytes(bytes, bytes + urb->buffer_length), 0);
        finish(u);
    } else if (auto& queue = replies_[endpoint]; !queue.empty()) {
        fill(u, queue.front(), 0);
        queue.pop_front();
        finish(u);
    } else {
        waiting_.push_back(u);
        changed_.notify_all();
    }
    umockdev_ioctl_client_complete(client, 0, 0);
}

void UsbfsUnit::fill(Urb& u, const Bytes& data, int status) {
    auto* urb = as<usbdevfs_urb>(u.urb);
    const bool in = (urb->endpoint & 0x80u) != 0;
    const auto room = static_cast<std::size_t>(urb->buffer_length);
    const std::size_t n = std::min(data.size(), room);
    if (in) {
        std::copy_n(data.begin(), n, u.buffer->data);
    }
    urb->status = data.size() > room && in ? -EOVERFLOW : status;
    urb->actual_length = status == 0 ? static_cast<int>(n) : 0;
}

void UsbfsUnit::finish(Urb u) {
    done_.push_back(u);
    changed_.notify_all();
}

void UsbfsUnit::reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    if (done_.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return;
    }
    const Urb u = done_.front();
    done_.pop_front();
    // The argument points at the caller's URB pointer, which is made to point at its URB.
    umockdev_ioctl_data_set_ptr(resolve(arg, 0, sizeof(void*)), 0, u.urb);
    umockdev_ioctl_client_complete(client, 0, 0);
    g_object_unref(u.urb);
}

void UsbfsUnit::discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    // The argument is the client's own address of the URB to cancel.
    gulong address = 0;
    std::memcpy(&address, arg->data,
                std::min(sizeof address, static_cast<std::size_t>(arg->data_len)));
    const auto found = std::find_if(waiting_.begin(), waiting_.end(),
                                    [&](const Urb& u) { return u.urb->client_addr == address; });
    if (found == waiting_.end()) {
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return;
    }
    Urb u = *found;
    waiting_.erase(found);
    fill(u, {}, -ENOENT);
    finish(u);
    umockdev_ioctl_client_complete(client, 0, 0);
}

} // namespace usbfs
