#pragma once

#include "HostAddress.h"

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;

namespace MarlinIPAddressControlLib {
class IPAddressControl;
}

namespace Corvane {

// The unit's IPv4 settings and its LCM peer, presented for editing: six address boxes, the LCM
// port and the DHCP switch. It holds no logic beyond presenting and returning the eight values
// and keeping the port box to digits; the caller reads the unit and writes back on OK.
class IPSettingsForm : public QDialog {
    Q_OBJECT
public:
    using Address = MarlinIPAddressControlLib::HostAddress;

    explicit IPSettingsForm(QWidget* parent = nullptr);
    IPSettingsForm(const Address& address, const Address& subnet, const Address& gateway,
                   const Address& dns1, const Address& dns2, const Address& lcmIPAddress,
                   std::uint16_t lcmPort, bool dhcp, QWidget* parent = nullptr);

    // Blank fields read as their lower limit, so a blank box gives 0.0.0.0.
    Address getIPAddress() const;
    Address getSubnet() const;
    Address getGateway() const;
    Address getDNS1() const;
    Address getDNS2() const;
    Address getLcmAddress() const;
    // The port box as a decimal number 0 to 65535; any other text (empty, negative, too large)
    // gives 0.
    std::uint16_t getLcmPort() const;
    bool getDhcp() const;

    void setIPAddress(const Address& address);
    void setSubnet(const Address& address);
    void setGateway(const Address& address);
    void setDNS1(const Address& address);
    void setDNS2(const Address& address);
    void setLcmAddress(const Address& address);
    void setLcmPort(std::uint16_t port);
    void setDhcp(bool dhcp);

    // Keeps the port box to a number: a text that is not a signed 16-bit decimal loses every
    // character that is not a digit.
    void txtLcmPort_TextChanged(const QString& text);

private:
    using AddressBox = MarlinIPAddressControlLib::IPAddressControl;

    void build();
    void buildIPGroup();
    void buildLcmGroup();
    void placeControls();
    void applyTabOrder();
    AddressBox* addAddressBox(QGroupBox* group, const char* name, const QString& label,
                              const char* labelName);

    QGroupBox* grpIP_ = nullptr;
    QGroupBox* grpLCM_ = nullptr;
    AddressBox* ipaIPAddress_ = nullptr;
    AddressBox* ipaSubnet_ = nullptr;
    AddressBox* ipaGateway_ = nullptr;
    AddressBox* ipaDNS1_ = nullptr;
    AddressBox* ipaDNS2_ = nullptr;
    AddressBox* ipaLcmIP_ = nullptr;
    QLineEdit* txtLcmPort_ = nullptr;
    QCheckBox* chkDhcp_ = nullptr;
    QPushButton* btnOk_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

} // namespace Corvane
