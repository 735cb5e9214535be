#include "TestSupport.h"
#include "ValueText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Corvane;
using namespace Corvane::test;

TEST(ConfigNumbers, GeneralFormatWithFifteenSignificantDigits) {
    const std::pair<double, const char*> cases[] = {
        {30, "30"},
        {7.5, "7.5"},
        {1130, "1130"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.333333333333333"},
        {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E+15"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {-2.5, "-2.5"},
        {0, "0"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(formatNumber(value, pointDecimalLocale()), text);
        std::string comma = text;
        std::replace(comma.begin(), comma.end(), '.', ',');
        EXPECT_EQ(formatNumber(value, commaDecimalLocale()), comma);
    }
}

TEST(ConfigNumbers, ParsingFollowsTheLocale) {
    struct Case {
        const char* text;
        std::optional<double> point; // decimal '.', group ','
        std::optional<double> comma; // decimal ',', group '.'
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {"-1e-999", 0.0, 0.0},
        {"-1e999", -inf, -inf},
        // The other convention's decimal separator is not a group separator.
        {"7.5", 7.5, {}},
        {"7,5", {}, 7.5},
        {"-0.5", -0.5, {}},
        {"0,25", {}, 0.25},
        // Group separators only in groups of three.
        {"1,130.25", 1130.25, {}},
        {"1.130,25", {}, 1130.25},
        {"1,130", 1130, 1.13},
        {"12,345,678", 12345678, {}},
        {"12.345.678", {}, 12345678},
        {"-1,234.5e1", -12345, {}},
        {"1,2345", {}, 1.2345},
        {"1234,567", {}, 1234.567},
        {"1,234,56", {}, {}},
        {",130", {}, 0.13},
        {"130,", {}, 130},
        {"1,130,", {}, {}},
        {" 68 ", 68, 68},
        {"+3", 3, 3},
        {".5", 0.5, {}},
        {"5.", 5, {}},
        {"1E+3", 1000, 1000},
        {"2.5e-1", 0.25, {}},
        {",5", {}, 0.5},
        {"1,,0", {}, {}},
        {"", {}, {}},
        {"abc", {}, {}},
        {"1e", {}, {}},
        {"1e999", inf, inf},
        {"1 000", {}, {}},
        {"--1", {}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseNumber(c.text, pointDecimalLocale()), c.point) << c.text;
        EXPECT_EQ(parseNumber(c.text, commaDecimalLocale()), c.comma) << c.text;
    }
    // The classic locale does not group, so a comma is never silently dropped.
    EXPECT_FALSE(parseNumber("7,5", std::locale::classic()));
    EXPECT_EQ(parseNumber("7.5", std::locale::classic()), 7.5);
}

TEST(ConfigNumbers, GroupSizesFollowTheLocale) {
    // Groups of three, then of two: 12,34,567.
    class TwoThenThree : public std::numpunct<char> {
    protected:
        char do_decimal_point() const override { return '.'; }
        char do_thousands_sep() const override { return ','; }
        std::string do_grouping() const override { return "\3\2"; }
    };
    const std::locale loc(std::locale::classic(), new TwoThenThree);
    EXPECT_EQ(parseNumber("12,34,567", loc), 1234567.0);
    EXPECT_EQ(parseNumber("1,234", loc), 1234.0);
    EXPECT_FALSE(parseNumber("1,234,567", loc));
    EXPECT_FALSE(parseNumber("123,45", loc));
    // A locale that does not group takes no separator at all.
    EXPECT_FALSE(parseNumber("1,234", makeNumberLocale('.', '\0')));
}

TEST(ConfigNumbers, FilesReadWithTheOtherConventionNeverChangeScale) {
    const std::locale point = pointDecimalLocale();
    const std::locale comma = commaDecimalLocale();
    struct Case {
        double value;
        double acrossLocales; // written with one convention, read with the other
    };
    // Whole numbers are never grouped when written, so they travel; fractions do not parse
    // in the other convention, and an unparsable "Fuse" or "I2T" reads as 0.
    const Case cases[] = {{7.5, 0}, {0.25, 0}, {1130, 1130}, {30, 30}, {1234567, 1234567}};
    for (const auto& [from, to] : {std::pair{point, comma}, std::pair{comma, point}}) {
        for (const Case& c : cases) {
            TarnConfig out(from);
            out.setChannel(0, {0, "", c.value, c.value, {}, {}});
            TarnConfig in(to);
            in.readConfigBytes(out.toFileBytes(), "mem");
            EXPECT_EQ(in.getChannel(0)->fuse, c.acrossLocales) << c.value;
            EXPECT_EQ(in.getChannel(0)->I2T, c.acrossLocales) << c.value;
        }
    }
}

TEST(ConfigNumbers, EveryWrittenValueReadsBack) {
    const double inf = std::numeric_limits<double>::infinity();
    // Fifteen digits of the largest double round beyond it: it comes back as infinity, not 0.
    const std::pair<double, double> values[] = {{7.5, 7.5},
                                                {1e300, 1e300},
                                                {-1e-300, -1e-300},
                                                {5e-324, 5e-324},
                                                {std::numeric_limits<double>::max(), inf},
                                                {inf, inf},
                                                {-inf, -inf}};
    for (const std::locale& loc : {pointDecimalLocale(), commaDecimalLocale()}) {
        for (const auto& [v, expected] : values) {
            const std::optional<double> back = parseNumber(formatNumber(v, loc), loc);
            ASSERT_TRUE(back) << formatNumber(v, loc);
            if (std::isinf(expected)) {
                EXPECT_EQ(*back, expected) << formatNumber(v, loc);
            } else {
                EXPECT_NEAR(*back / expected, 1.0, 1e-14) << formatNumber(v, loc);
            }
        }
        const std::optional<double> nan =
            parseNumber(formatNumber(std::numeric_limits<double>::quiet_NaN(), loc), loc);
        ASSERT_TRUE(nan);
        EXPECT_TRUE(std::isnan(*nan));
    }
}

TEST(ConfigNumbers, ChannelNumbersFollowTheObjectsLocale) {
    const std::string xml =
        inRoot("<Channels><Channel><Number>1</Number><Fuse>1.234,5</Fuse></Channel></Channels>");
    TarnConfig c(pointDecimalLocale());
    c.setLocale(commaDecimalLocale());
    c.readConfigBytes(xml, "mem");
    EXPECT_EQ(c.getChannel(0)->fuse, 1234.5);
    // The same text in the other locale does not parse, which inside "Channel" means 0.
    EXPECT_EQ(readXml(xml).getChannel(0)->fuse, 0.0);
}

TEST(ConfigNumbers, IntegersAreDecimalWithinRange) {
    const std::tuple<const char*, std::uint32_t, std::optional<std::uint32_t>> cases[] = {
        {"255", 255, 255},
        {"256", 255, {}},
        {"007", 255, 7},
        {"-0", 255, 0},
        {"-1", 255, {}},
        {" 12\t", 255, 12},
        {"1 2", 255, {}},
        {"0x10", 255, {}},
        {"", 255, {}},
        {"+", 255, {}},
        {"65535", 65535, 65535},
        {"65536", 65535, {}},
        {"18446744073709551617", 65535, {}},
    };
    for (const auto& [text, max, value] : cases) {
        EXPECT_EQ(parseUnsigned(text, max), value) << text;
    }
}
