#include "TarnConfig.h"

#include "ConfigFileError.h"
#include "ConfigFileIO.h"
#include "ValueText.h"
#include "WellFormedXml.h"

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

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
    std::string out;
};

// The file's lines end in CR LF, line breaks inside texts included, so that every line
// break in the file is alike; the reader turns each back into one line feed.
std::string withCrLf(const std::string& lf) {
    std::string out;
    out.reserve(lf.size() + lf.size() / 16);
    for (std::size_t i = 0; i < lf.size(); ++i) {
        const char c = lf[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < lf.size() && lf[i + 1] == '\n') {
                ++i;
            }
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

// ---- reading ----

// All text of an element and its descendants in document order, as one string. Iterative, so
// nesting depth costs no stack.
std::string innerText(pugi::xml_node element) {
    std::string text;
    pugi::xml_node node = element.first_child();
    while (node) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            text += node.value();
        }
        if (node.type() == pugi::node_element && node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != element && !node.next_sibling()) {
            node = node.parent();
        }
        if (node == element) {
            break;
        }
        node = node.next_sibling();
    }
    return text;
}

std::string textOf(pugi::xml_node element) {
    std::string text = innerText(element);
    return isBlank(text) ? std::string() : text;
}

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

constexpr std::array<std::string_view, ITEM_COUNT> topItemNames = {"Mode",
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
                if (!found[i] && name == topItemNames[i]) {
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
    if (text == "Auto") {
        return 0;
    }
    if (text == "Manual") {
        return 1;
    }
    if (text == "Valet") {
        return 2;
    }
    return std::nullopt;
}

std::optional<std::int32_t> idFromText(const std::string& text) {
    if (text == "Master") {
        return 0;
    }
    for (std::int32_t n = 1; n <= 3; ++n) {
        const std::string digit = std::to_string(n);
        if (text == "Slave " + digit || text == "Slave" + digit) {
            return n;
        }
    }
    return std::nullopt;
}

// Parses a whole file into `doc`, or throws ConfigFileError for a file that is too large or not
// well-formed XML.
void parseDocument(std::string_view bytes, const std::string& sourceName, pugi::xml_document& doc) {
    if (bytes.size() > maxConfigFileSize) {
        throw ConfigFileError(sourceName, "the file is larger than the limit of " +
                                              std::to_string(maxConfigFileSize) + " bytes");
    }
    // pugixml accepts some malformed documents (a second root element, a bare '&'), so the
    // whole grammar is checked first and nothing is taken from a file that fails it.
    if (const std::optional<XmlFault> fault = findXmlFault(bytes)) {
        throw ConfigFileError(sourceName, "not well-formed XML: " + fault->reason, fault->position);
    }
    // Default options on purpose: no document type declaration is taken and only XML's own
    // entities are expanded, so a file cannot pull in anything from outside itself. Line
    // breaks come back as single line feeds and white-space-only texts are dropped.
    const pugi::xml_parse_result parsed =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    if (!parsed) {
        const std::size_t offset = parsed.offset < 0 ? 0 : static_cast<std::size_t>(parsed.offset);
        throw ConfigFileError(sourceName,
                              std::string("not well-formed XML: ") + parsed.description(),
                              ConfigFileError::positionAt(bytes, offset));
    }
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
    pugi::xml_node element = parent.append_child("IP");
    appendText(element, "Address", addressText(ip.address));
    appendText(element, "Subnet", addressText(ip.subnet));
    appendText(element, "Gateway", addressText(ip.gateway));
    appendText(element, "PrimaryDNS", addressText(ip.dns1));
    appendText(element, "AlternateDNS", addressText(ip.dns2));
    appendText(element, "LCMAddress", addressText(ip.lcmAddress));
    appendText(element, "LCMPort", ip.lcmPort ? std::to_string(*ip.lcmPort) : "");
    appendText(element, "UseDHCP", flagOrEmpty(ip.dhcp));
    return element;
}

pugi::xml_node TarnConfig::createSwitchBoardElement(pugi::xml_node parent) const {
    const SwitchBoardSettings& sb = *sbSettings_;
    pugi::xml_node element = parent.append_child("SwitchBoard");
    appendText(element, "ModeSelect", byteText(sb.modeSelect));
    appendText(element, "Startup", byteText(sb.startup));
    appendText(element, "Shutdown", byteText(sb.shutdown));
    appendText(element, "ValetStartup", byteText(sb.valetStartup));
    appendText(element, "ValetShutdown", byteText(sb.valetShutdown));
    appendText(element, "Auto", byteText(sb.autoBtn));
    appendText(element, "Manual", byteText(sb.manual));
    appendText(element, "Valet", byteText(sb.valet));
    appendText(element, "InverterMaster", byteText(sb.inverterMaster));
    appendText(element, "InverterSlave", byteText(sb.inverterSlave));
    return element;
}

pugi::xml_node TarnConfig::createChannelElement(pugi::xml_node parent,
                                                const ChannelSettings& ch) const {
    pugi::xml_node element = parent.append_child("Channel");
    appendText(element, "Number", std::to_string(ch.channel + 1));
    appendText(element, "Name", ch.name);
    appendText(element, "Fuse", ch.fuse ? formatNumber(*ch.fuse, locale_) : "");
    appendText(element, "I2T", ch.I2T ? formatNumber(*ch.I2T, locale_) : "");
    appendText(element, "Protect", flagOrEmpty(ch.protect));
    appendText(element, "Group", flagOrEmpty(ch.group));
    return element;
}

std::string TarnConfig::toFileBytes() const {
    pugi::xml_document doc;
    pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version").set_value("1.0");
    declaration.append_attribute("encoding").set_value("utf-8");
    pugi::xml_node root = doc.append_child("TarnConfig");

    if (mode_) {
        appendText(root, "Mode", getModeString(*mode_));
    }
    if (id_) {
        appendText(root, "UnitId", getIdString(*id_));
    }
    if (pin_) {
        appendText(root, "PIN", padPin(*pin_));
    }
    if (pin_enabled_) {
        appendText(root, "PINEnabled", flagText(*pin_enabled_));
    }
    if (bt_enabled_) {
        appendText(root, "BluetoothEnabled", flagText(*bt_enabled_));
    }
    if (ipSettings_) {
        createIpElement(root);
    }
    if (sbSettings_) {
        createSwitchBoardElement(root);
    }
    if (startupScript_) {
        appendText(root, "StartupScript", *startupScript_);
    }
    if (shutdownScript_) {
        appendText(root, "ShutdownScript", *shutdownScript_);
    }
    if (valetStartupScript_) {
        appendText(root, "ValetStartupScript", *valetStartupScript_);
    }
    if (valetShutdownScript_) {
        appendText(root, "ValetShutdownScript", *valetShutdownScript_);
    }
    if (chSettings_) {
        pugi::xml_node channels = root.append_child("Channels");
        for (std::int32_t index = 0; index < 12; ++index) {
            if (const ChannelSettings* ch = FindChannel(index)) {
                createChannelElement(channels, *ch);
            }
        }
    }

    StringWriter writer;
    doc.save(writer, "  ", pugi::format_indent | pugi::format_write_bom, pugi::encoding_utf8);
    std::string bytes = withCrLf(writer.out);
    // No line end after the root's closing tag.
    if (bytes.size() >= 2 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0) {
        bytes.resize(bytes.size() - 2);
    }
    return bytes;
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
    if (!ipSettings_) {
        ipSettings_.emplace();
    }
    IPSettings& ip = *ipSettings_;
    const std::array<std::pair<std::string_view, std::optional<Ipv4Address>*>, 6> addresses = {{
        {"Address", &ip.address},
        {"Subnet", &ip.subnet},
        {"Gateway", &ip.gateway},
        {"PrimaryDNS", &ip.dns1},
        {"AlternateDNS", &ip.dns2},
        {"LCMAddress", &ip.lcmAddress},
    }};
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const std::string_view name = child.name();
        for (const auto& [fieldName, field] : addresses) {
            if (name == fieldName) {
                if (const auto a = Ipv4Address::parse(innerText(child))) {
                    *field = a;
                }
            }
        }
        if (name == "LCMPort") {
            if (const auto port = parseUnsigned(innerText(child), 65535)) {
                ip.lcmPort = static_cast<std::uint16_t>(*port);
            }
        } else if (name == "UseDHCP") {
            if (const auto flag = parseFlag(innerText(child))) {
                ip.dhcp = flag;
            }
        }
    }
}

void TarnConfig::readSwitchBoard(pugi::xml_node element) {
    if (!sbSettings_) {
        sbSettings_.emplace();
    }
    SwitchBoardSettings& sb = *sbSettings_;
    const std::array<std::pair<std::string_view, std::optional<std::uint8_t>*>, 10> buttons = {{
        {"ModeSelect", &sb.modeSelect},
        {"Startup", &sb.startup},
        {"Shutdown", &sb.shutdown},
        {"ValetStartup", &sb.valetStartup},
        {"ValetShutdown", &sb.valetShutdown},
        {"Auto", &sb.autoBtn},
        {"Manual", &sb.manual},
        {"Valet", &sb.valet},
        {"InverterMaster", &sb.inverterMaster},
        {"InverterSlave", &sb.inverterSlave},
    }};
    for (pugi::xml_node child = element.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const std::string_view name = child.name();
        for (const auto& [fieldName, field] : buttons) {
            if (name == fieldName) {
                if (const auto button = parseUnsigned(innerText(child), 255)) {
                    *field = static_cast<std::uint8_t>(*button);
                }
            }
        }
    }
}

void TarnConfig::readChannel(pugi::xml_node node) {
    const pugi::xml_node number = node.child("Number");
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

    if (const pugi::xml_node e = node.child("Name")) {
        ch.name = textOf(e);
    }
    if (const pugi::xml_node e = node.child("Fuse")) {
        ch.fuse = parseNumber(innerText(e), locale_).value_or(0.0);
    }
    if (const pugi::xml_node e = node.child("I2T")) {
        ch.I2T = parseNumber(innerText(e), locale_).value_or(0.0);
    }
    if (const pugi::xml_node e = node.child("Protect")) {
        ch.protect = parseFlag(innerText(e)).value_or(false);
    }
    if (const pugi::xml_node e = node.child("Group")) {
        ch.group = parseFlag(innerText(e)).value_or(false);
    }
    if (existing == nullptr) {
        chSettings_->push_back(std::move(fresh));
    }
}

} // namespace Corvane
