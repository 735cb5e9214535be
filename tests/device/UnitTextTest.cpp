#include "UnitText.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

using tarn::UnitText;

TEST(UnitText, EveryByteRoundTripsThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::string utf8 = UnitText::toUtf8(all);
    EXPECT_EQ(UnitText::fromUtf8(utf8), all);
}

TEST(UnitText, HighBytesFollowTheWhatwgTable) {
    const std::vector<std::tuple<unsigned char, std::string_view>> cases{
        {0x80, "\u20AC"}, {0x81, "\u0081"}, {0x8A, "\u0160"}, {0x8D, "\u008D"}, {0x8F, "\u008F"},
        {0x90, "\u0090"}, {0x96, "\u2013"}, {0x9D, "\u009D"}, {0x9F, "\u0178"}, {0xA0, "\u00A0"},
        {0xB2, "\u00B2"}, {0xFF, "\u00FF"}, {'A', "A"},
    };
    for (const auto& [byte, utf8] : cases) {
        EXPECT_EQ(UnitText::toUtf8(std::string(1, static_cast<char>(byte))), utf8) << int{byte};
        EXPECT_EQ(UnitText::fromUtf8(utf8), std::string(1, static_cast<char>(byte))) << int{byte};
    }
}

TEST(UnitText, CharactersOutsideTheCodePageAndBrokenUtf8BecomeQuestionMarks) {
    const std::vector<std::tuple<std::string_view, std::string_view>> cases{
        {"Pump \u03A9", "Pump ?"}, // Greek capital omega
        {"\u4E2D\u6587", "??"},    // one '?' per character, not per byte
        {"\U0001F600!", "?!"},     // outside the Basic Multilingual Plane
        {"a\xC3", "a?"},           // truncated sequence
        {"\xC0\xAF", "??"},        // overlong form of '/'
        {"\xED\xA0\x80", "???"},   // encoded surrogate
        {"\xFF\xFE", "??"},        // bytes that never lead
        {"caf\u00E9 \u20AC5", "caf\xE9 \x80"
                              "5"},
    };
    for (const auto& [utf8, unit] : cases) {
        EXPECT_EQ(UnitText::fromUtf8(utf8), unit) << utf8;
    }
}

} // namespace
