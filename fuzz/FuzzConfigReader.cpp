// The configuration file reader on arbitrary bytes, in one of several number locales (the first
// input byte picks it; the rest is the file).
//
// Properties, besides no crash, no undefined behaviour and no exception but ConfigFileError:
// - what the reader accepts, the writer writes and the reader takes back as the same
//   configuration, item by item, up to what the file format itself defines away: a PIN is
//   right-aligned in four characters, numbers keep 15 significant digits, line breaks come back
//   as line feeds, a blank text reads as empty, a channel's absent number or flag is written
//   empty and so reads back as 0 or false, and channels 12 and up are not written; a second
//   round changes no byte;
// - a document the reader refuses leaves the object it was read into as it was.

#include "ConfigFileError.h"
#include "FuzzInput.h"
#include "TarnConfig.h"
#include "ValueText.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <optional>
#include <string>
#include <string_view>

namespace {

using Corvane::ChannelSettings;
using Corvane::TarnConfig;

class Punct : public std::numpunct<char> {
public:
    Punct(char decimal, char group, std::string grouping)
        : decimal_(decimal)
        , group_(group)
        , grouping_(std::move(grouping)) {}

protected:
    char do_decimal_point() const override { return decimal_; }
    char do_thousands_sep() const override { return group_; }
    std::string do_grouping() const override { return grouping_; }

private:
    char decimal_;
    char group_;
    std::string grouping_;
};

const std::locale& numberLocale(uint8_t choice) {
    static const std::array<std::locale, 6> locales = {
        std::locale::classic(),
        std::locale(std::locale::classic(), new Punct(',', '.', "\3")),
        std::locale(std::locale::classic(), new Punct('.', ',', "\3")),
        std::locale(std::locale::classic(), new Punct(',', ' ', "\3")),
        std::locale(std::locale::classic(), new Punct('.', '\'', "\3")),
        // A group separator equal to the decimal one cannot be told apart from it.
        std::locale(std::locale::classic(), new Punct(',', ',', "\3")),
    };
    return locales[choice % locales.size()];
}

// What a text becomes in the file and back: XML's end-of-line rule, then a blank text is empty.
std::string throughFile(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return Corvane::isBlank(out) ? std::string() : out;
}

std::size_t characters(std::string_view utf8) {
    std::size_t n = 0;
    for (const char c : utf8) {
        n += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u ? 1 : 0;
    }
    return n;
}

std::string pinThroughFile(const std::string& pin) {
    const std::size_t n = characters(pin);
    return throughFile(n >= 4 ? pin : std::string(4 - n, ' ') + pin);
}

// A channel's absent number is written as an empty text, which reads back as 0.
std::optional<double> numberThroughFile(std::optional<double> v) {
    if (!v) {
        return 0.0;
    }
    if (!std::isfinite(*v)) {
        return v;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.15g", *v);
    return std::strtod(text, nullptr);
}

bool sameNumber(std::optional<double> a, std::optional<double> b) {
    if (a.has_value() != b.has_value()) {
        return false;
    }
    return !a || (std::isnan(*a) && std::isnan(*b)) || *a == *b;
}

template <typename T, typename Has, typename Get>
void checkItem(const TarnConfig& first, const TarnConfig& second, Has has, Get get,
               T (*through)(const T&)) {
    FUZZ_CHECK((first.*has)() == (second.*has)());
    if ((first.*has)()) {
        FUZZ_CHECK(through((first.*get)()) == (second.*get)());
    }
}

template <typename T>
T same(const T& v) {
    return v;
}
std::string text(const std::string& v) {
    return throughFile(v);
}

void checkChannels(const TarnConfig& first, const TarnConfig& second) {
    FUZZ_CHECK(first.channelHasValue() == second.channelHasValue());
    std::size_t written = 0;
    for (int32_t index = 0; index < 12; ++index) {
        const std::optional<ChannelSettings> a = first.getChannel(index);
        const std::optional<ChannelSettings> b = second.getChannel(index);
        FUZZ_CHECK(a.has_value() == b.has_value());
        if (!a) {
            continue;
        }
        ++written;
        FUZZ_CHECK(b->channel == a->channel);
        FUZZ_CHECK(b->name == throughFile(a->name));
        FUZZ_CHECK(sameNumber(b->fuse, numberThroughFile(a->fuse)));
        FUZZ_CHECK(sameNumber(b->I2T, numberThroughFile(a->I2T)));
        // Likewise an absent flag: the empty text reads back as false.
        FUZZ_CHECK(b->protect == a->protect.value_or(false));
        FUZZ_CHECK(b->group == a->group.value_or(false));
    }
    FUZZ_CHECK(second.getChannels().size() == written);
}

void checkRoundTrip(const TarnConfig& first, const TarnConfig& second) {
    checkItem<int32_t>(first, second, &TarnConfig::modeHasValue, &TarnConfig::getMode, same);
    checkItem<int32_t>(first, second, &TarnConfig::idHasValue, &TarnConfig::getId, same);
    checkItem<std::string>(first, second, &TarnConfig::pinHasValue, &TarnConfig::getPin,
                           pinThroughFile);
    checkItem<bool>(first, second, &TarnConfig::pinEnabledHasValue, &TarnConfig::getPinEnabled,
                    same);
    checkItem<bool>(first, second, &TarnConfig::bluetoothEnabledHasValue,
                    &TarnConfig::getBluetoothEnabled, same);
    checkItem<Corvane::IPSettings>(first, second, &TarnConfig::ipHasValue, &TarnConfig::getIP,
                                   same);
    checkItem<Corvane::SwitchBoardSettings>(first, second, &TarnConfig::switchBoardHasValue,
                                            &TarnConfig::getSwitchBoard, same);
    checkItem<std::string>(first, second, &TarnConfig::startupScriptHasValue,
                           &TarnConfig::getStartupScript, text);
    checkItem<std::string>(first, second, &TarnConfig::shutdownScriptHasValue,
                           &TarnConfig::getShutdownScript, text);
    checkItem<std::string>(first, second, &TarnConfig::valetStartupScriptHasValue,
                           &TarnConfig::getValetStartupScript, text);
    checkItem<std::string>(first, second, &TarnConfig::valetShutdownScriptHasValue,
                           &TarnConfig::getValetShutdownScript, text);
    checkChannels(first, second);
}

// A configuration with every item present, to read a refused document into.
TarnConfig everyItem(const std::locale& locale) {
    TarnConfig c(locale);
    c.setMode(2);
    c.setId(3);
    c.setPin("1234");
    c.setPinEnabled(true);
    c.setBluetoothEnabled(false);
    Corvane::IPSettings ip;
    ip.address = Corvane::Ipv4Address{{10, 0, 0, 2}};
    ip.lcmPort = 80;
    ip.dhcp = true;
    c.setIP(ip);
    Corvane::SwitchBoardSettings sb;
    sb.valet = 4;
    c.setSwitchBoard(sb);
    c.setStartupScript("on");
    c.setShutdownScript("off");
    c.setValetStartupScript("von");
    c.setValetShutdownScript("voff");
    ChannelSettings ch;
    ch.channel = 3;
    ch.name = "Lights";
    ch.fuse = 7.5;
    c.setChannel(3, ch);
    return c;
}

void checkRefusalChangesNothing(std::string_view file, const std::locale& locale) {
    const TarnConfig before = everyItem(locale);
    TarnConfig target = before;
    try {
        target.readConfigBytes(file, "fuzz.xml");
        fuzz::propertyFailed(__FILE__, __LINE__, "a refused document is taken the second time");
    } catch (const Corvane::ConfigFileError&) {
    }
    FUZZ_CHECK(target.toFileBytes() == before.toFileBytes());
    FUZZ_CHECK(target.getChannels() == before.getChannels());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::locale& locale = numberLocale(in.byte());
    const auto rest = in.rest();
    const std::string_view file(reinterpret_cast<const char*>(rest.data()), rest.size());

    TarnConfig first(locale);
    try {
        first.readConfigBytes(file, "fuzz.xml");
    } catch (const Corvane::ConfigFileError&) {
        checkRefusalChangesNothing(file, locale);
        return 0;
    }
    const std::string written = first.toFileBytes();
    TarnConfig second(locale);
    try {
        second.readConfigBytes(written, "written.xml");
    } catch (const Corvane::ConfigFileError& e) {
        std::fprintf(stderr, "the reader refuses what the writer wrote: %s\n", e.what());
        std::abort();
    }
    checkRoundTrip(first, second);
    // After one round every item is in its written form: the next round changes no byte.
    const std::string rewritten = second.toFileBytes();
    TarnConfig third(locale);
    third.readConfigBytes(rewritten, "rewritten.xml");
    FUZZ_CHECK(third.toFileBytes() == rewritten);
    return 0;
}
