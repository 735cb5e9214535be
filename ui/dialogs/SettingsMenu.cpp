#include "SettingsMenu.h"

#include "IPSettingsForm.h"
#include "Ipv4Address.h"
#include "TarnInterface.h"

#include <QEvent>
#include <QWidget>

#include <array>

namespace Corvane {

namespace {

using MarlinIPAddressControlLib::HostAddress;

HostAddress toAddress(uint32_t deviceValue) {
    return HostAddress::FromIPv4(Ipv4Address::fromDeviceValue(deviceValue).octets);
}

uint32_t toDeviceValue(const HostAddress& address) {
    Ipv4Address ipv4;
    const auto bytes = address.GetAddressBytes();
    // The dialog's boxes only ever hold IPv4; anything else is sent as 0.0.0.0.
    if (address.IsIPv4()) {
        std::copy(bytes.begin(), bytes.end(), ipv4.octets.begin());
    }
    return ipv4.toDeviceValue();
}

} // namespace

SettingsMenu::SettingsMenu(const DeviceSlot& dev, QWidget& window)
    : dev_(dev)
    , window_(window) {
    window_.installEventFilter(this);
}

SettingsMenu::~SettingsMenu() {
    closeSwitchBoard();
}

void SettingsMenu::networkSettingsToolStripMenuItem_Click() {
    uint32_t address = 0, subnet = 0, gateway = 0, dns1 = 0, dns2 = 0, lcm = 0;
    uint16_t port = 0;
    bool dhcp = false;
    if (!dev_ ||
        !dev_->getIPSettings(&address, &subnet, &gateway, &dns1, &dns2, &lcm, &port, &dhcp)) {
        return;
    }

    // On the heap with the window as parent: should the window go while the dialog's own
    // event loop runs, the dialog goes with it and nothing here is touched again.
    QPointer<IPSettingsForm> form =
        new IPSettingsForm(toAddress(address), toAddress(subnet), toAddress(gateway),
                           toAddress(dns1), toAddress(dns2), toAddress(lcm), port, dhcp, &window_);
    const int result = form->exec();
    if (form.isNull()) {
        return;
    }
    if (result == QDialog::Accepted && dev_) {
        dev_->setIPSettings(toDeviceValue(form->getIPAddress()), toDeviceValue(form->getSubnet()),
                            toDeviceValue(form->getGateway()), toDeviceValue(form->getDNS1()),
                            toDeviceValue(form->getDNS2()), toDeviceValue(form->getLcmAddress()),
                            form->getLcmPort(), form->getDhcp());
    }
    delete form.data();
}

void SettingsMenu::switchBoardToolStripMenuItem_Click() {
    if (!dev_) {
        return;
    }
    if (SwitchBoardConfig* open = switchBoard()) {
        if (open->isMinimized()) {
            open->showNormal();
        }
        open->show();
        open->raise();
        open->activateWindow();
        return;
    }
    // A dialog closed a moment ago may still await its deferred deletion: it is done with.
    closeSwitchBoard();
    sbc_ = new SwitchBoardConfig(*dev_, &window_);
    sbc_->show();
}

SwitchBoardConfig* SettingsMenu::switchBoard() const {
    // Closing deletes the dialog later; from the moment it is closed it counts as gone.
    SwitchBoardConfig* open = sbc_.data();
    return open != nullptr && open->isVisible() ? open : nullptr;
}

void SettingsMenu::closeSwitchBoard() {
    if (sbc_ != nullptr) {
        delete sbc_.data();
    }
}

bool SettingsMenu::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Close) {
        closeSwitchBoard();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace Corvane
