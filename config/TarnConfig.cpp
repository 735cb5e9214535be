#include "TarnConfig.h"

#include "ConfigFileIO.h"
#include "ValueText.h"
#include "XmlDocument.h"

#include <pugixml.hpp>

#include <array>
#include <string_view>
#include <utility>

namespace Corvane {
namespace {

std::locale userLocale() {
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic();
    }
}

// ---- element names: one table for the writer and the reader ----

constexpr const char* kRoot = "TarnConfig";

enum TopItem : std::size_t {
    ITEM_MODE,
    ITEM_UNIT_ID,
    ITEM_PIN,
    ITEM_PIN_ENABLED,
    ITEM_BLUETOOTH_ENABLED,
    ITEM_IP,
    ITEM_SWITCH_BOARD,
    ITEM_STARTUP_SCRIPT,
    ITEM_SHUTDOWN_SCRIPT,
    ITEM_VALET_STARTUP_SCRIPT,
    ITEM_VALET_SHUTDOWN_SCRIPT,
    ITEM_CHANNELS,
    ITEM_COUNT
};

// The root's children, in the order they are written.
constexpr std::array<const char*, ITEM_COUNT> kTopItems = {"Mode",
                                                           "UnitId",
                                                           "PIN",
                                                           "PINEnabled",
                                                           "BluetoothEnabled",
                                                           "IP",
                                                           "SwitchBoard",
                                                           "StartupScript",
                                                           "ShutdownScript",
                                                           "ValetStartupScript",
                                                           "ValetShutdownScript",
                                                           "Channels"};

// One child of a record's element, and the record's field its text goes to.
template <typename Record, typename Value>
struct FieldElement {
    const char* name;
    std::optional<Value> Record::*field;
};

// The children of "IP", in the order they are written: the six addresses, then the port and
// the DHCP flag.
constexpr std::array<FieldElement<IPSettings, Ipv4Address>, 6> kAddressElements = {{
    {"Address", &IPSettings::address},
    {"Subnet", &IPSettings::subnet},
    {"Gateway", &IPSettings::gateway},
    {"PrimaryDNS", &IPSettings::dns1},
    {"AlternateDNS", &IPSettings::dns2},
    {"LCMAddress", &IPSettings::lcmAddress},
}};
constexpr FieldElement<IPSettings, std::uint16_t> kLcmPort{"LCMPort", &IPSettings::lcmPort};
constexpr FieldElement<IPSettings, bool> kUseDhcp{"UseDHCP", &IPSettings::dhcp};

// The children of "SwitchBoard", in the order they are written.
constexpr std::array<FieldElement<SwitchBoardSettings, std::uint8_t>, 10> kButtonElements = {{
    {"ModeSelect", &SwitchBoardSettings::modeSelect},
    {"Startup", &SwitchBoardSettings::startup},
    {"Shutdown", &SwitchBoardSettings::shutdown},
    {"ValetStartup", &SwitchBoardSettings::valetStartup},
    {"ValetShutdown", &SwitchBoardSettings::valetShutdown},
    {"Auto", &SwitchBoardSettings::autoBtn},
    {"Manual", &SwitchBoardSettings::manual},
    {"Valet", &SwitchBoardSettings::valet},
    {"InverterMaster", &SwitchBoardSettings::inverterMaster},
    {"InverterSlave", &SwitchBoardSettings::inverterSlave},
}};

// One child of "Channels", and its children in the order they are written.
constexpr const char* kChannel = "Channel";
constexpr const char* kNumber = "Number";
constexpr const char* kName = "Name";
constexpr const char* kFuse = "Fuse";
constexpr const char* kI2t = "I2T";
constexpr const char* kProtect = "Protect";
constexpr const char* kGroup = "Group";

// ---- writing ----

void appendText(pugi::xml_node parent, const char* name, const std::string& text) {
    // Setting even an empty text gives the element a text child, which the writer shows as a
    // start and an end tag; only an element without children becomes a self-closing tag.
    parent.append_child(name).text().set(text.c_str());
}

std::string addressText(const std::optional<Ipv4Address>& a) {
    return a ? a->toString() : "";
}

std::string byteText(const std::optional<std::uint8_t>& v) {
    return v ? std::to_string(*v) : "";
}

std::string flagOrEmpty(const std::optional<bool>& v) {
    return v ? flagText(*v) : "";
}

std::string padPin(const std::string& pin) {
    // Counted in characters, not bytes, so a non-ASCII PIN is padded like an ASCII one.
    std::size_t characters = 0;
    for (const char c : pin) {
        if ((static_cast<unsigned char>(c) & 0xC0u) != 0x80u) {
            ++characters;
        }
    }
    return characters >= 4 ? pin : std::string(4 - characters, ' ') + pin;
}

// ---- reading ----

std::string textOf(pugi::xml_node element) {
    std::string text = innerText(element);
    return isBlank(text) ? std::string() : text;
}

// Takes the text of `child` into the field of `e` when the child has that name and `parse`
// accepts the text; other texts leave the field as it was.
template <typename Record, typename Value, typename Parse>
void take(pugi::xml_node child, const FieldElement<Record, Value>& e, Record& record,
          Parse&& parse) {
    if (std::string_view(child.name()) == e.name) {
        if (const auto value = parse(innerText(child))) {
            record.*e.field = static_cast<Value>(*value);
        }
    }
}

// Runs `read` on each child element of `element`, in document order.
template <typename Read>
void forEachChildElement(pugi::xml_node element, Read&& read) {
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            read(child);
        }
    }
}

// The first element of each top-level name anywhere in the document, in one document-order
// walk without recursion (a hostile file may nest arbitrarily deep).
std::array<pugi::xml_node, ITEM_COUNT> findTopItems(const pugi::xml_document& doc) {
    std::array<pugi::xml_node, ITEM_COUNT> found{};
    std::size_t missing = ITEM_COUNT;
    pugi::xml_node node = doc.first_child();
    while (node && missing > 0) {
        if (node.type() == pugi::node_element) {
            const std::string_view name = node.name();
            for (std::size_t i = 0; i < ITEM_COUNT; ++i) {
                if (!found[i] && name == std::string_view(kTopItems[i])) {
                    found[i] = node;
                    --missing;
                    break;
                }
            }
            if (node.first_child()) {
                node = node.first_child();
                continue;
            }
        }
        while (node && node != doc && !node.next_sibling()) {
            node = node.parent();
        }
        if (!node || node == doc) {
            break;
        }
        node = node.next_sibling();
    }
    return found;
}

std::optional<std::int32_t> modeFromText(const std::string& text) {
    for (std::int32_t mode = 0; mode <= 2; ++mode) {
        if (text == getModeString(mode)) {
            return mode;
        }
    }
    return std::nullopt;
}

// The ids as written, and the slaves also without the space.
std::optional<std::int32_t> idFromText(const std::string& text) {
    for (std::int32_t id = 0; id <= 3; ++id) {
        if (text == getIdString(id) || (id > 0 && text == "Slave" + std::to_string(id))) {
            return id;
        }
    }
    return std::nullopt;
}

} // namespace

std::string getModeString(std::int32_t mode) {
    switch (mode) {
    case 0:
        return "Auto";
    case 1:
        return "Manual";
    case 2:
        return "Valet";
    default:
        return "";
    }
}

std::string getIdString(std::int32_t id) {
    switch (id) {
    case 0:
        return "Master";
    case 1:
        return "Slave 1";
    case 2:
        return "Slave 2";
    case 3:
        return "Slave 3";
    default:
        return "";
    }
}

TarnConfig::TarnConfig()
    : locale_(userLocale()) {}

TarnConfig::TarnConfig(const std::locale& numberLocale)
    : locale_(numberLocale) {}

void TarnConfig::setChannel(std::int32_t channelNum, ChannelSettings settings) {
    if (!chSettings_) {
        chSettings_.emplace();
    }
    if (FindChannel(channelNum) == nullptr) {
        chSettings_->push_back(std::move(settings));
    }
}

std::optional<ChannelSettings> TarnConfig::getChannel(std::int32_t channelNum) const {
    const ChannelSettings* found = FindChannel(channelNum);
    if (found == nullptr) {
        return std::nullopt;
    }
    return *found;
}

bool TarnConfig::channelHasValue(std::int32_t channelNum) const {
    return FindChannel(channelNum) != nullptr;
}

const ChannelSettings* TarnConfig::FindChannel(std::int32_t channel) const {
    if (!chSettings_) {
        return nullptr;
    }
    for (const ChannelSettings& entry : *chSettings_) {
        if (entry.channel == channel) {
            return &entry;
        }
    }
    return nullptr;
}

ChannelSettings* TarnConfig::FindChannel(std::int32_t channel) {
    return const_cast<ChannelSettings*>(std::as_const(*this).FindChannel(channel));
}

pugi::xml_node TarnConfig::createIpElement(pugi::xml_node parent) const {
    const IPSettings& ip = *ipSettings_;
    pugi::xml_node element = parent.append_child(kTopItems[ITEM_IP]);
    for (const auto& a : kAddressElements) {
        appendText(element, a.name, addressText(ip.*a.field));
    }
    appendText(element, kLcmPort.name, ip.lcmPort ? std::to_string(*ip.lcmPort) : "");
    appendText(element, kUseDhcp.name, flagOrEmpty(ip.dhcp));
    return element;
}

pugi::xml_node TarnConfig::createSwitchBoardElement(pugi::xml_node parent) const {
    const SwitchBoardSettings& sb = *sbSettings_;
    pugi::xml_node element = parent.append_child(kTopItems[ITEM_SWITCH_BOARD]);
    for (const auto& b : kButtonElements) {
        appendText(element, b.name, byteText(sb.*b.field));
    }
    return element;
}

pugi::xml_node TarnConfig::createChannelElement(pugi::xml_node parent,
                                                const ChannelSettings& ch) const {
    pugi::xml_node element = parent.append_child(kChannel);
    appendText(element, kNumber, std::to_string(ch.channel + 1));
    appendText(element, kName, ch.name);
    appendText(element, kFuse, ch.fuse ? formatNumber(*ch.fuse, locale_) : "");
    appendText(element, kI2t, ch.I2T ? formatNumber(*ch.I2T, locale_) : "");
    appendText(element, kProtect, flagOrEmpty(ch.protect));
    appendText(element, kGroup, flagOrEmpty(ch.group));
    return element;
}

std::string TarnConfig::toFileBytes() const {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("utf-8");
    pugi::xml_node root = doc.append_child(kRoot);

    if (mode_) {
        appendText(root, kTopItems[ITEM_MODE], getModeString(*mode_));
    }
    if (id_) {
        appendText(root, kTopItems[ITEM_UNIT_ID], getIdString(*id_));
    }
    if (pin_) {
        appendText(root, kTopItems[ITEM_PIN], padPin(*pin_));
    }
    if (pin_enabled_) {
        appendText(root, kTopItems[ITEM_PIN_ENABLED], flagText(*pin_enabled_));
    }
    if (bt_enabled_) {
        appendText(root, kTopItems[ITEM_BLUETOOTH_ENABLED], flagText(*bt_enabled_));
    }
    if (ipSettings_) {
        createIpElement(root);
    }
    if (sbSettings_) {
        createSwitchBoardElement(root);
    }
    if (startupScript_) {
        appendText(root, kTopItems[ITEM_STARTUP_SCRIPT], *startupScript_);
    }
    if (shutdownScript_) {
        appendText(root, kTopItems[ITEM_SHUTDOWN_SCRIPT], *shutdownScript_);
    }
    if (valetStartupScript_) {
        appendText(root, kTopItems[ITEM_VALET_STARTUP_SCRIPT], *valetStartupScript_);
    }
    if (valetShutdownScript_) {
        appendText(root, kTopItems[ITEM_VALET_SHUTDOWN_SCRIPT], *valetShutdownScript_);
    }
    if (chSettings_) {
        pugi::xml_node channels = root.append_child(kTopItems[ITEM_CHANNELS]);
        for (std::int32_t index = 0; index < 12; ++index) {
            if (const ChannelSettings* ch = FindChannel(index)) {
                createChannelElement(channels, *ch);
            }
        }
    }

    return documentBytes(doc);
}

void TarnConfig::writeConfigFile(const std::string& path) const {
    writeWholeFileAtomically(path, toFileBytes());
}

void TarnConfig::readConfigFile(const std::string& path) {
    readConfigBytes(readWholeFile(path), path);
}

void TarnConfig::readConfigBytes(std::string_view bytes, const std::string& sourceName) {
    pugi::xml_document doc;
    parseDocument(bytes, sourceName, doc);

    // Items are taken into a copy so that this object changes only as a whole.
    TarnConfig next(*this);
    const std::array<pugi::xml_node, ITEM_COUNT> items = findTopItems(doc);

    if (const pugi::xml_node e = items[ITEM_MODE]) {
        next.mode_ = modeFromText(textOf(e));
    }
    if (const pugi::xml_node e = items[ITEM_UNIT_ID]) {
        next.id_ = idFromText(textOf(e));
    }
    if (const pugi::xml_node e = items[ITEM_PIN]) {
        next.pin_ = textOf(e);
    }
    if (const pugi::xml_node e = items[ITEM_PIN_ENABLED]) {
        if (const auto flag = parseFlag(textOf(e))) {
            next.pin_enabled_ = flag;
        }
    }
    if (const pugi::xml_node e = items[ITEM_BLUETOOTH_ENABLED]) {
        if (const auto flag = parseFlag(textOf(e))) {
            next.bt_enabled_ = flag;
        }
    }
    if (const pugi::xml_node e = items[ITEM_IP]) {
        next.readIp(e);
    }
    if (const pugi::xml_node e = items[ITEM_SWITCH_BOARD]) {
        next.readSwitchBoard(e);
    }
    if (const pugi::xml_node e = items[ITEM_STARTUP_SCRIPT]) {
        next.startupScript_ = textOf(e);
    }
    if (const pugi::xml_node e = items[ITEM_SHUTDOWN_SCRIPT]) {
        next.shutdownScript_ = textOf(e);
    }
    if (const pugi::xml_node e = items[ITEM_VALET_STARTUP_SCRIPT]) {
        next.valetStartupScript_ = textOf(e);
    }
    if (const pugi::xml_node e = items[ITEM_VALET_SHUTDOWN_SCRIPT]) {
        next.valetShutdownScript_ = textOf(e);
    }
    if (const pugi::xml_node e = items[ITEM_CHANNELS]) {
        if (!next.chSettings_) {
            next.chSettings_.emplace();
        }
        for (pugi::xml_node child = e.first_child(); child; child = child.next_sibling()) {
            next.readChannel(child);
        }
    }
    *this = std::move(next);
}

void TarnConfig::readIp(pugi::xml_node element) {
    IPSettings& ip = ipSettings_ ? *ipSettings_ : ipSettings_.emplace();
    forEachChildElement(element, [&ip](pugi::xml_node child) {
        for (const auto& a : kAddressElements) {
            take(child, a, ip, [](const std::string& t) { return Ipv4Address::parse(t); });
        }
        take(child, kLcmPort, ip, [](const std::string& t) { return parseUnsigned(t, 65535); });
        take(child, kUseDhcp, ip, [](const std::string& t) { return parseFlag(t); });
    });
}

void TarnConfig::readSwitchBoard(pugi::xml_node element) {
    SwitchBoardSettings& sb = sbSettings_ ? *sbSettings_ : sbSettings_.emplace();
    forEachChildElement(element, [&sb](pugi::xml_node child) {
        for (const auto& b : kButtonElements) {
            take(child, b, sb, [](const std::string& t) { return parseUnsigned(t, 255); });
        }
    });
}

void TarnConfig::readChannel(pugi::xml_node node) {
    const pugi::xml_node number = node.child(kNumber);
    if (!number) {
        return;
    }
    // "Number" is one-based; 0 and unreadable numbers wrap to index 255, which is kept in the
    // list but never written or applied.
    const std::uint32_t oneBased = parseUnsigned(innerText(number), 255).value_or(0);
    const auto index = static_cast<std::uint8_t>(oneBased - 1u);

    ChannelSettings* existing = FindChannel(index);
    ChannelSettings fresh;
    fresh.channel = index;
    ChannelSettings& ch = existing != nullptr ? *existing : fresh;

    if (const pugi::xml_node e = node.child(kName)) {
        ch.name = textOf(e);
    }
    if (const pugi::xml_node e = node.child(kFuse)) {
        ch.fuse = parseNumber(innerText(e), locale_).value_or(0.0);
    }
    if (const pugi::xml_node e = node.child(kI2t)) {
        ch.I2T = parseNumber(innerText(e), locale_).value_or(0.0);
    }
    if (const pugi::xml_node e = node.child(kProtect)) {
        ch.protect = parseFlag(innerText(e)).value_or(false);
    }
    if (const pugi::xml_node e = node.child(kGroup)) {
        ch.group = parseFlag(innerText(e)).value_or(false);
    }
    if (existing == nullptr) {
        chSettings_->push_back(std::move(fresh));
    }
}

} // namespace Corvane
