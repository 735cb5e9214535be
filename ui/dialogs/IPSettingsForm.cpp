#include "IPSettingsForm.h"

#include "DesignScale.h"
#include "HandlerGuard.h"
#include "IPAddressControl.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace Corvane {

namespace {

using MarlinIPAddressControlLib::BorderStyle;

// A decimal integer as typed: surrounding white space and one leading sign allowed, digits
// 0 to 9 only, inside [lower, upper]. Anything else gives nothing.
constexpr long kBeyondEveryRange = 1'000'000;

std::optional<long> parseInteger(const QString& text, long lower, long upper) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
    }
    if (i == t.size()) {
        return std::nullopt;
    }
    long magnitude = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        magnitude = magnitude * 10 + (c - u'0');
        if (magnitude > kBeyondEveryRange) {
            return std::nullopt; // stops long digit runs before they overflow
        }
    }
    const long value = negative ? -magnitude : magnitude;
    if (value < lower || value > upper) {
        return std::nullopt;
    }
    return value;
}

} // namespace

IPSettingsForm::IPSettingsForm(QWidget* parent)
    : QDialog(parent) {
    build();
}

IPSettingsForm::IPSettingsForm(const Address& address, const Address& subnet,
                               const Address& gateway, const Address& dns1, const Address& dns2,
                               const Address& lcmIPAddress, std::uint16_t lcmPort, bool dhcp,
                               QWidget* parent)
    : QDialog(parent) {
    build();
    setIPAddress(address);
    setSubnet(subnet);
    setGateway(gateway);
    setDNS1(dns1);
    setDNS2(dns2);
    setLcmAddress(lcmIPAddress);
    setLcmPort(lcmPort);
    setDhcp(dhcp);
}

void IPSettingsForm::build() {
    setObjectName(QStringLiteral("IPSettingsForm"));
    setWindowTitle(QStringLiteral("IPv4 Settings"));
    // A resizable dialog frame with a close box only. A transparent icon, because an empty one
    // would fall back to the application's.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QImage blank(16, 16, QImage::Format_ARGB32);
    blank.fill(Qt::transparent);
    setWindowIcon(QPixmap::fromImage(blank));

    buildIPGroup();
    buildLcmGroup();

    chkDhcp_ = new QCheckBox(QStringLiteral("Use DHCP"), this);
    chkDhcp_->setObjectName(QStringLiteral("chkDhcp"));

    btnOk_ = new QPushButton(QStringLiteral("OK"), this);
    btnOk_->setObjectName(QStringLiteral("btnOk"));
    btnOk_->setDefault(true);
    connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);

    // Esc reaches QDialog::reject, which is what this button does too.
    btnCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel_->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);

    placeControls();
    applyTabOrder();
    // The first control in tab order starts with the focus, its first field selected.
    ipaIPAddress_->setFocus(Qt::TabFocusReason);
}

IPSettingsForm::AddressBox* IPSettingsForm::addAddressBox(QGroupBox* group, const char* name,
                                                          const QString& label,
                                                          const char* labelName) {
    auto* text = new QLabel(label, group);
    text->setObjectName(QString::fromLatin1(labelName));

    auto* box = new AddressBox(group);
    box->setObjectName(QString::fromLatin1(name));
    box->SetAllowInternalTab(false);
    box->SetAutoHeight(true);
    box->SetBackColor(palette().color(QPalette::Base));
    box->SetBorderStyle(BorderStyle::Fixed3D);
    box->setCursor(Qt::IBeamCursor);
    box->SetReadOnly(false);
    box->SetText(QStringLiteral("..."));
    return box;
}

void IPSettingsForm::buildIPGroup() {
    grpIP_ = new QGroupBox(QStringLiteral("IP Settings"), this);
    grpIP_->setObjectName(QStringLiteral("grpIP"));
    ipaIPAddress_ =
        addAddressBox(grpIP_, "ipaIPAddress", QStringLiteral("IP Address"), "lblIPAddress");
    ipaSubnet_ = addAddressBox(grpIP_, "ipaSubnet", QStringLiteral("Subnet mask"), "lblSubnet");
    ipaGateway_ = addAddressBox(grpIP_, "ipaGateway", QStringLiteral("Gateway"), "lblGateway");
    ipaDNS1_ = addAddressBox(grpIP_, "ipaDNS1", QStringLiteral("Primary DNS"), "lblDNS1");
    ipaDNS2_ = addAddressBox(grpIP_, "ipaDNS2", QStringLiteral("Alternate DNS"), "lblDNS2");
}

void IPSettingsForm::buildLcmGroup() {
    grpLCM_ = new QGroupBox(QStringLiteral("LCM Settings"), this);
    grpLCM_->setObjectName(QStringLiteral("grpLCM"));
    ipaLcmIP_ =
        addAddressBox(grpLCM_, "ipaLcmIP", QStringLiteral("LCM IP Address"), "lblLcmAddress");

    auto* lblPort = new QLabel(QStringLiteral("LCM Port"), grpLCM_);
    lblPort->setObjectName(QStringLiteral("lblPort"));

    txtLcmPort_ = new QLineEdit(grpLCM_);
    txtLcmPort_->setObjectName(QStringLiteral("txtLcmPort"));
    txtLcmPort_->setMaxLength(5);
    txtLcmPort_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(txtLcmPort_, &QLineEdit::textChanged, this,
            guarded(this, [this](const QString& text) { txtLcmPort_TextChanged(text); }));
}

void IPSettingsForm::placeControls() {
    const DesignScale scale = DesignScale::of(*this);
    // An address box is as wide as its four fields need, which under fonts with wide digits is
    // more than the design's 100 pixels. Its column then widens by the difference and what
    // stands right of it moves along, so that nothing is clipped.
    const int widen = std::max(0, ipaIPAddress_->MinimumSize().width() - scale.x(100));
    const auto place = [&scale](QWidget* w, QRect design, int shift, int grow) {
        const QRect r = scale.rect(design.x(), design.y(), design.width(), design.height());
        w->setGeometry(r.translated(shift, 0).adjusted(0, 0, grow, 0));
    };
    const auto label = [&scale](QWidget* group, const char* name, int y) {
        auto* l = group->findChild<QLabel*>(QString::fromLatin1(name));
        l->move(scale.point(6, y));
        l->adjustSize();
    };

    resize(scale.size(417, 177) + QSize(2 * widen, 0));
    place(grpIP_, {12, 12, 189, 156}, 0, widen);
    const std::array<AddressBox*, 5> column{ipaIPAddress_, ipaSubnet_, ipaGateway_, ipaDNS1_,
                                            ipaDNS2_};
    const std::array<const char*, 5> labels{"lblIPAddress", "lblSubnet", "lblGateway", "lblDNS1",
                                            "lblDNS2"};
    for (std::size_t i = 0; i < column.size(); ++i) {
        const int y = 19 + 27 * static_cast<int>(i);
        label(grpIP_, labels[i], y + 3);
        // Automatic height: the box keeps the height its font needs.
        place(column[i], {83, y, 100, 20}, 0, widen);
    }

    place(grpLCM_, {207, 12, 199, 73}, widen, widen);
    label(grpLCM_, "lblLcmAddress", 22);
    place(ipaLcmIP_, {93, 19, 100, 20}, 0, widen);
    label(grpLCM_, "lblPort", 49);
    place(txtLcmPort_, {93, 46, 100, 20}, 0, widen);

    chkDhcp_->move(scale.point(215, 94) + QPoint(widen, 0));
    chkDhcp_->adjustSize();
    place(btnOk_, {250, 145, 75, 23}, 2 * widen, 0);
    place(btnCancel_, {331, 145, 75, 23}, 2 * widen, 0);
}

void IPSettingsForm::applyTabOrder() {
    // By tab index, groups taking their place with their children in order: the five IP
    // boxes (group 0), OK (7), the LCM group (8: port 5, address 6), Cancel (8, after the
    // group) and the DHCP box (9).
    const std::array<QWidget*, 10> order{ipaIPAddress_, ipaSubnet_, ipaGateway_, ipaDNS1_,
                                         ipaDNS2_,      btnOk_,     txtLcmPort_, ipaLcmIP_,
                                         btnCancel_,    chkDhcp_};
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget::setTabOrder(order[i], order[i + 1]);
    }
}

IPSettingsForm::Address IPSettingsForm::getIPAddress() const {
    return ipaIPAddress_->IPAddress();
}
IPSettingsForm::Address IPSettingsForm::getSubnet() const {
    return ipaSubnet_->IPAddress();
}
IPSettingsForm::Address IPSettingsForm::getGateway() const {
    return ipaGateway_->IPAddress();
}
IPSettingsForm::Address IPSettingsForm::getDNS1() const {
    return ipaDNS1_->IPAddress();
}
IPSettingsForm::Address IPSettingsForm::getDNS2() const {
    return ipaDNS2_->IPAddress();
}
IPSettingsForm::Address IPSettingsForm::getLcmAddress() const {
    return ipaLcmIP_->IPAddress();
}

std::uint16_t IPSettingsForm::getLcmPort() const {
    const auto port = parseInteger(txtLcmPort_->text(), 0, std::numeric_limits<uint16_t>::max());
    return static_cast<std::uint16_t>(port.value_or(0));
}

bool IPSettingsForm::getDhcp() const {
    return chkDhcp_->isChecked();
}

void IPSettingsForm::setIPAddress(const Address& address) {
    ipaIPAddress_->SetIPAddress(address);
}
void IPSettingsForm::setSubnet(const Address& address) {
    ipaSubnet_->SetIPAddress(address);
}
void IPSettingsForm::setGateway(const Address& address) {
    ipaGateway_->SetIPAddress(address);
}
void IPSettingsForm::setDNS1(const Address& address) {
    ipaDNS1_->SetIPAddress(address);
}
void IPSettingsForm::setDNS2(const Address& address) {
    ipaDNS2_->SetIPAddress(address);
}
void IPSettingsForm::setLcmAddress(const Address& address) {
    ipaLcmIP_->SetIPAddress(address);
}

void IPSettingsForm::setLcmPort(std::uint16_t port) {
    txtLcmPort_->setText(QString::number(port));
}

void IPSettingsForm::setDhcp(bool dhcp) {
    chkDhcp_->setChecked(dhcp);
}

void IPSettingsForm::txtLcmPort_TextChanged(const QString& text) {
    if (parseInteger(text, std::numeric_limits<int16_t>::min(),
                     std::numeric_limits<int16_t>::max())) {
        return;
    }
    QString digits;
    int caret = txtLcmPort_->cursorPosition();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] >= u'0' && text[i] <= u'9') {
            digits += text[i];
        } else if (i < caret) {
            --caret; // the caret stays after the same digit it followed
        }
    }
    if (digits != text) {
        // The box's length limit also holds for this replacement, which only ever shortens.
        txtLcmPort_->setText(digits.left(txtLcmPort_->maxLength()));
        txtLcmPort_->setCursorPosition(caret);
    }
}

} // namespace Corvane
