#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace Corvane;
using namespace Corvane::test;

namespace {

void expectSameChannels(const TarnConfig& in, const TarnConfig& out) {
    EXPECT_EQ(in.getChannel(0), out.getChannel(0));
    EXPECT_EQ(in.getChannel(1), out.getChannel(1));
    // Absent fields are written empty, and an empty field inside "Channel" reads as 0 or false.
    EXPECT_EQ(in.getChannel(11), (ChannelSettings{11, "", 0.0, 0.25, false, false}));
    for (int i = 2; i < 11; ++i) {
        EXPECT_FALSE(in.channelHasValue(i)) << i;
    }
}

} // namespace

TEST(ConfigRead, CompleteConfigurationRoundTrips) {
    for (const std::locale& loc : {pointDecimalLocale(), commaDecimalLocale()}) {
        TempDir dir;
        const TarnConfig out = fullConfig(loc);
        out.writeConfigFile(dir.file("c.xml"));
        TarnConfig in(loc);
        in.readConfigFile(dir.file("c.xml"));

        EXPECT_EQ(in.getMode(), 1);
        EXPECT_EQ(in.getId(), 0);
        EXPECT_EQ(in.getPin(), "  12");
        EXPECT_EQ(in.getPinEnabled(), false);
        EXPECT_EQ(in.getBluetoothEnabled(), true);
        EXPECT_EQ(in.getIP(), out.getIP());
        EXPECT_EQ(in.getSwitchBoard(), out.getSwitchBoard());
        EXPECT_EQ(in.getStartupScript(), out.getStartupScript());
        EXPECT_EQ(in.getShutdownScript(), "");
        EXPECT_EQ(in.getValetStartupScript(), "a\nb");
        EXPECT_FALSE(in.valetShutdownScriptHasValue());
        expectSameChannels(in, out);
        EXPECT_FALSE(in.channelHasValue(12));
    }
}

TEST(ConfigRead, OnlyTheItemsInTheFileBecomePresent) {
    const TarnConfig c = readXml(inRoot("<Mode>Valet</Mode>"));
    EXPECT_EQ(c.getMode(), 2);
    EXPECT_FALSE(c.idHasValue() || c.pinHasValue() || c.pinEnabledHasValue() ||
                 c.bluetoothEnabledHasValue() || c.ipHasValue() || c.switchBoardHasValue() ||
                 c.startupScriptHasValue() || c.channelHasValue());
}

TEST(ConfigRead, ItemsMissingFromTheFileKeepTheirValues) {
    TarnConfig c;
    c.setPin("9999");
    c.setMode(1);
    c.readConfigBytes(inRoot("<Mode>bogus</Mode><UnitId>Master</UnitId>"), "mem");
    EXPECT_EQ(c.getPin(), "9999");
    EXPECT_FALSE(c.modeHasValue()); // a found "Mode" is cleared before it is parsed
    EXPECT_EQ(c.getId(), 0);
}

TEST(ConfigRead, ModeAndUnitIdTextsAreExactAndCaseSensitive) {
    const std::pair<const char*, std::optional<int>> modes[] = {
        {"Auto", 0},   {"Manual", 1}, {"Valet", 2}, {"auto", {}},
        {"VALET", {}}, {" Auto", {}}, {"", {}}};
    for (const auto& [text, value] : modes) {
        const TarnConfig c = readXml(inRoot(std::string("<Mode>") + text + "</Mode>"));
        EXPECT_EQ(c.modeHasValue() ? std::optional(c.getMode()) : std::nullopt, value) << text;
    }
    const std::pair<const char*, std::optional<int>> ids[] = {
        {"Master", 0}, {"Slave 1", 1},  {"Slave1", 1},  {"Slave 2", 2},  {"Slave2", 2},
        {"Slave3", 3}, {"slave 2", {}}, {"slave2", {}}, {"Slave 4", {}}, {"Slave  2", {}}};
    for (const auto& [text, value] : ids) {
        const TarnConfig c = readXml(inRoot(std::string("<UnitId>") + text + "</UnitId>"));
        EXPECT_EQ(c.idHasValue() ? std::optional(c.getId()) : std::nullopt, value) << text;
    }
}

TEST(ConfigRead, FirstElementInDocumentOrderWinsAtAnyDepth) {
    const TarnConfig c = readXml(inRoot("<Other><Channels><x><Mode>Manual</Mode></x></Channels>"
                                        "</Other><Mode>Auto</Mode>"));
    EXPECT_EQ(c.getMode(), 1);
    EXPECT_TRUE(c.channelHasValue()); // that "Channels" was found too, holding nothing usable
    EXPECT_TRUE(c.getChannels().empty());
}

TEST(ConfigRead, FlagsIgnoreCaseAndSurroundingWhiteSpace) {
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"True", true}, {"false", false}, {"TRUE", true}, {" \r\n\tFalse \n", false},
        {"yes", {}},    {"1", {}},        {"", {}},       {"Tru e", {}}};
    for (const auto& [text, value] : cases) {
        const TarnConfig c =
            readXml(inRoot(std::string("<PINEnabled>") + text + "</PINEnabled><BluetoothEnabled>" +
                           text + "</BluetoothEnabled>"));
        EXPECT_EQ(c.pinEnabledHasValue() ? std::optional(c.getPinEnabled()) : std::nullopt, value)
            << text;
        EXPECT_EQ(c.bluetoothEnabledHasValue() ? std::optional(c.getBluetoothEnabled())
                                               : std::nullopt,
                  value)
            << text;
    }
}

TEST(ConfigRead, NetworkFieldsParseOneByOne) {
    EXPECT_EQ(readXml(inRoot("<IP/>")).getIP(), IPSettings{});

    const IPSettings ip = readXml(inRoot("<IP><Address>300.1.1.1</Address>"
                                         "<Subnet>255.255.0.0</Subnet>"
                                         "<Gateway>10.0.0.1</Gateway><Gateway>oops</Gateway>"
                                         "<PrimaryDNS>1.1.1.1</PrimaryDNS>"
                                         "<PrimaryDNS>8.8.8.8</PrimaryDNS>"
                                         "<address>1.2.3.4</address>"
                                         "<LCMPort>1</LCMPort><LCMPort> 65535 </LCMPort>"
                                         "<LCMPort>65536</LCMPort><UseDHCP>TRUE</UseDHCP>"
                                         "</IP>"))
                              .getIP();
    EXPECT_FALSE(ip.address);
    EXPECT_EQ(ip.subnet, (Ipv4Address{{255, 255, 0, 0}}));
    EXPECT_EQ(ip.gateway, (Ipv4Address{{10, 0, 0, 1}})); // an unreadable repeat keeps it
    EXPECT_EQ(ip.dns1, (Ipv4Address{{8, 8, 8, 8}}));     // a readable repeat overwrites
    EXPECT_EQ(ip.lcmPort, 65535);
    EXPECT_EQ(ip.dhcp, true);
}

TEST(ConfigRead, SwitchBoardButtonsAreBytes) {
    const SwitchBoardSettings sb = readXml(inRoot("<SwitchBoard><Auto>255</Auto>"
                                                  "<Manual>256</Manual><Valet>-1</Valet>"
                                                  "<Startup> 7 </Startup><Shutdown/>"
                                                  "<ValetShutdown>+4</ValetShutdown>"
                                                  "</SwitchBoard>"))
                                       .getSwitchBoard();
    EXPECT_EQ(sb.autoBtn, 255);
    EXPECT_FALSE(sb.manual);
    EXPECT_FALSE(sb.valet);
    EXPECT_EQ(sb.startup, 7);
    EXPECT_FALSE(sb.shutdown);
    EXPECT_EQ(sb.valetShutdown, 4);
    EXPECT_FALSE(sb.modeSelect);
}

TEST(ConfigRead, ScriptsAreTheWholeText) {
    const TarnConfig c = readXml(inRoot("<StartupScript> \r\n </StartupScript>"
                                        "<ShutdownScript>  x &lt;&amp;&gt;\r\ny  </ShutdownScript>"
                                        "<ValetStartupScript><![CDATA[a<b]]> c</ValetStartupScript>"
                                        "<ValetShutdownScript/>"));
    EXPECT_EQ(c.getStartupScript(), "");
    EXPECT_EQ(c.getShutdownScript(), "  x <&>\ny  ");
    EXPECT_EQ(c.getValetStartupScript(), "a<b c");
    EXPECT_EQ(c.getValetShutdownScript(), "");
}

TEST(ConfigRead, ChannelIndexArithmeticAndFieldRules) {
    const TarnConfig c = readXml(
        inRoot("<Channels>text<!-- note -->"
               "<Channel><Name>no number</Name></Channel>"
               "<Channel><Number>3</Number><Name>first</Name><Fuse>5</Fuse><Protect>True</Protect>"
               "</Channel>"
               "<Channel><Number>1</Number><Fuse></Fuse><I2T>abc</I2T><Protect>maybe</Protect>"
               "<Group> true </Group></Channel>"
               "<Channel><Number>3</Number><Name>second</Name><I2T>9.5</I2T></Channel>"
               "<Channel><Number>13</Number><Name>beyond</Name></Channel>"
               "<Channel><Number>0</Number><Name>zero</Name></Channel>"
               "<Channel><Number>x</Number><Name>junk</Name></Channel>"
               "</Channels>"));
    const std::vector<ChannelSettings> list = c.getChannels();
    ASSERT_EQ(list.size(), 4u); // 3, 1, 13 and one merged entry for the two index-255 numbers
    EXPECT_EQ(list[0], (ChannelSettings{2, "second", 5.0, 9.5, true, {}}));
    EXPECT_EQ(list[1], (ChannelSettings{0, "", 0.0, 0.0, false, true}));
    EXPECT_EQ(list[2].channel, 12);
    EXPECT_EQ(list[3], (ChannelSettings{255, "junk", {}, {}, {}, {}}));

    // Entries outside 0 to 11 are kept but never written.
    EXPECT_EQ(c.toFileBytes().find("beyond"), std::string::npos);
    EXPECT_EQ(c.toFileBytes().find("junk"), std::string::npos);
}

TEST(ConfigRead, FilesArrivingInOtherEncodingsComeBackAsUtf8) {
    // UTF-16 LE with a byte-order mark: <TarnConfig><PIN>é</PIN></TarnConfig>
    std::string utf16 = "\xFF\xFE";
    for (const char16_t ch : std::u16string(u"<TarnConfig><PIN>\u00e9</PIN></TarnConfig>")) {
        utf16 += static_cast<char>(ch & 0xFF);
        utf16 += static_cast<char>(ch >> 8);
    }
    EXPECT_EQ(readXml(utf16).getPin(), "\u00e9");
}
