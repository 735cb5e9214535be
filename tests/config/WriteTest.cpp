#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace Corvane;
using namespace Corvane::test;

TEST(ConfigWrite, FullConfigurationMatchesTheExpectedFileByteForByte) {
    TempDir dir;
    fullConfig(pointDecimalLocale()).writeConfigFile(dir.file("out.xml"));
    EXPECT_EQ(readBytes(dir.file("out.xml")), expectedFile("full.xml"));
}

TEST(ConfigWrite, EmptyChannelListIsOneSelfClosingTag) {
    // Only an inverter entry: nothing a file can carry, so "Channels" has no content.
    TarnConfig c(pointDecimalLocale());
    c.setMode(-1);
    c.setChannel(12, {12, "Inverter", 5.0, {}, {}, {}});
    EXPECT_EQ(c.toFileBytes(), expectedFile("minimal.xml"));
}

TEST(ConfigWrite, PinIsRightAlignedToFourCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"12", "  12"},       {"", "    "},  {"1234", "1234"},
        {"123456", "123456"}, {"7", "   7"}, {"\u00e91", "  \u00e91"},
    };
    for (const auto& [pin, written] : cases) {
        TarnConfig c;
        c.setPin(pin);
        const std::string bytes = c.toFileBytes();
        EXPECT_NE(bytes.find("<PIN>" + written + "</PIN>"), std::string::npos) << pin;
        // The padding comes back; an all-blank PIN reads as the empty text.
        EXPECT_EQ(readXml(bytes).getPin(), pin.empty() ? "" : written) << pin;
    }
}

TEST(ConfigWrite, EveryLineBreakInATextBecomesCrLfAndReadsBackAsLf) {
    for (const std::string script : {"a\nb", "a\r\nb", "a\rb"}) {
        TarnConfig c;
        c.setStartupScript(script);
        const std::string bytes = c.toFileBytes();
        EXPECT_NE(bytes.find("<StartupScript>a\r\nb</StartupScript>"), std::string::npos);
        EXPECT_EQ(readXml(bytes).getStartupScript(), "a\nb");
    }
}

TEST(ConfigWrite, FuseAndI2TUseTheLocaleDecimalSeparatorWithoutGrouping) {
    TarnConfig c(commaDecimalLocale());
    c.setChannel(0, {0, "x", 7.5, 12345.25, {}, {}});
    const std::string bytes = c.toFileBytes();
    EXPECT_NE(bytes.find("<Fuse>7,5</Fuse>"), std::string::npos);
    EXPECT_NE(bytes.find("<I2T>12345,25</I2T>"), std::string::npos);

    TarnConfig back(commaDecimalLocale());
    back.readConfigBytes(bytes, "mem");
    EXPECT_EQ(back.getChannel(0)->fuse, 7.5);
    EXPECT_EQ(back.getChannel(0)->I2T, 12345.25);
}
