#include "Packets.h"
#include "ModuleVersion.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string_view>
#include <tuple>

namespace {

TEST(Packets, LittleEndianFieldsRoundTripIncludingSignedExtremes) {
    tarn::LeInt16 s16;
    s16.set(-40);
    EXPECT_EQ(s16.bytes, (std::array<uint8_t, 2>{0xD8, 0xFF}));
    tarn::LeInt32 s32;
    s32.bytes = {0, 0, 0, 0x80};
    EXPECT_EQ(s32.value(), std::numeric_limits<int32_t>::min());
    tarn::LeUint32 u32;
    u32.bytes = {192, 168, 1, 10}; // as an address crosses the wire
    EXPECT_EQ(u32.value(), 0x0A01A8C0u);
}

TEST(Packets, RelayStateTexts) {
    const std::array<std::string_view, 6> known{"OFF",       "ON",       "NO LOAD",
                                                "BAD RELAY", "BAD FUSE", "OVER CURRENT"};
    for (unsigned code = 0; code < 16; ++code) {
        EXPECT_EQ(tarn::relayStateText(code), code < known.size() ? known[code] : "UNKNOWN")
            << code;
    }
    EXPECT_EQ(tarn::relayStateText(255), "UNKNOWN");
}

TEST(ModuleVersion, OrdersByMajorThenMinorThenBuild) {
    using V = tarn::ModuleVersion;
    const std::array<std::tuple<V, V, bool>, 7> cases{{
        {V(1, 0, 5), V(1, 1, 0), true},
        {V(2, 0, 0), V(1, 9, 9), false},
        {V(1, 0, 5), V(1, 0, 5), false}, // not less than itself
        {V(1, 0, 4), V(1, 0, 5), true},
        {V(0, 65535, 65535), V(1, 0, 0), true},
        {V(1, 0, 65535), V(1, 1, 0), true},
        {V(65535, 0, 0), V(1, 65535, 65535), false},
    }};
    for (const auto& [a, b, less] : cases) {
        EXPECT_EQ(a < b, less) << a.value() << " < " << b.value();
    }
    const V v(10, 2, 7);
    EXPECT_EQ(v.major(), 10);
    EXPECT_EQ(v.minor(), 2);
    EXPECT_EQ(v.build(), 7);
    EXPECT_EQ(v.value() >> 48, 0u); // the fourth part stays 0
}

} // namespace
