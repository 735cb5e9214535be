#include "TelemetryCsv.h"

#include "ConfigFileIO.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace {

using Corvane::readTelemetryCsv;
using Corvane::telemetryCsvHeader;
using Corvane::telemetryCsvLine;

struct Blocks {
    tarn::PowerF32 power;
    tarn::StatusF32 status;
    tarn::TempF32 temp;
};

// Values unlike each other in every field, with each state word the console can show.
Blocks sample(unsigned seed) {
    Blocks b;
    b.power.battery = 12.345f + static_cast<float>(seed);
    b.power.total_current = -3.25f;
    for (unsigned i = 0; i < 3; ++i) {
        b.power.ignition[i] = 0.001f * static_cast<float>(i + seed);
    }
    for (unsigned ch = 0; ch < 12; ++ch) {
        b.power.current[ch] = 0.125f * static_cast<float>(ch) - 0.5f;
        b.status.channel[ch].relay_state = static_cast<std::uint8_t>((ch + seed) % 6);
    }
    b.status.channel[11].relay_state = 15; // "UNKNOWN"
    b.status.mode = static_cast<std::uint8_t>(seed % 4 == 3 ? 7 : seed % 4);
    b.status.inverter.on = seed % 2 == 1;
    b.status.inverter.over_load = seed % 3 == 2;
    b.status.bluetooth = {seed % 5 != 1, seed % 5 == 4, seed % 5 >= 3, seed % 5 == 0};
    for (unsigned i = 0; i < 3; ++i) {
        b.temp.internal[i] = 20.5f + static_cast<float>(i);
    }
    for (unsigned i = 0; i < 4; ++i) {
        b.temp.external[i] = -40.25f + static_cast<float>(i + seed);
    }
    return b;
}

TEST(TelemetryCsv, EveryBlockCombinationReadsBackToTheSameLine) {
    std::string file = telemetryCsvHeader() + '\n';
    std::vector<std::string> lines;
    std::vector<Blocks> kept;
    kept.reserve(40);
    for (unsigned i = 0; i < 40; ++i) {
        kept.push_back(sample(i));
        tarn::DataStreamFeedback fb;
        fb.power = (i & 1) ? &kept.back().power : nullptr;
        fb.status = (i & 2) ? &kept.back().status : nullptr;
        fb.temp = (i & 4) ? &kept.back().temp : nullptr;
        lines.push_back(telemetryCsvLine(0.02 * i, fb));
        file += lines.back() + (i % 2 ? "\r\n" : "\n");
    }
    const Corvane::TelemetryCsvFile read = readTelemetryCsv(file);
    ASSERT_TRUE(read.ok()) << read.errorLine << ": " << read.error;
    ASSERT_EQ(read.rows.size(), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(telemetryCsvLine(read.rows[i].seconds, read.rows[i].blocks()), lines[i]);
        EXPECT_EQ(read.rows[i].power.has_value(), (i & 1) != 0);
        if (read.rows[i].power) {
            EXPECT_FLOAT_EQ(read.rows[i].power->battery, kept[i].power.battery);
        }
    }
}

TEST(TelemetryCsv, MalformedFilesAreRefusedAtTheLineAtFault) {
    const Blocks b = sample(1);
    const tarn::DataStreamFeedback all{&b.power, &b.status, &b.temp};
    const std::string good = telemetryCsvLine(1.0, all);
    const auto with = [&good](std::size_t field, const std::string& value) {
        std::vector<std::string> f;
        std::stringstream s(good);
        for (std::string part; std::getline(s, part, ',');) {
            f.push_back(part);
        }
        f.at(field) = value;
        std::string line;
        for (std::size_t i = 0; i < f.size(); ++i) {
            line += (i ? "," : "") + f[i];
        }
        return line;
    };
    const std::string head = telemetryCsvHeader() + '\n';
    struct Case {
        std::string text;
        std::size_t line;
    };
    const Case cases[] = {
        {"", 1},
        {"time_s,battery\n" + good, 1},
        {head + good + '\n' + good + ",extra", 3},
        {head + good.substr(0, good.rfind(',')), 2},
        {head + with(0, "soon"), 2},
        {head + with(2, "12.5V"), 2},
        {head + with(2, ""), 2}, // power partly given
        {head + with(7, "HALF"), 2},
        {head + with(30, "FLYING"), 2},
        {head + with(38, "unknown (1)"), 2}, // a named mode written as a number
        {head + with(39, "Paired"), 2},
        {head + with(31, "inf"), 2},
        {head + with(0, "2.0") + '\n' + good, 3}, // time goes back
    };
    for (const Case& c : cases) {
        const Corvane::TelemetryCsvFile read = readTelemetryCsv(c.text);
        EXPECT_FALSE(read.ok()) << c.text;
        EXPECT_EQ(read.errorLine, c.line) << c.text << "\n" << read.error;
        EXPECT_TRUE(read.rows.empty());
    }
}

TEST(TelemetryCsvWriter, WritesOutAtLeastOnceASecondAndReportsAnUnwritableFile) {
    const std::string path = ::testing::TempDir() + "telemetry_writer.csv";
    const auto fileText = [&path] { return Corvane::readWholeFile(path); };
    const Blocks b = sample(2);
    const tarn::DataStreamFeedback all{&b.power, &b.status, &b.temp};
    Corvane::TelemetryCsvWriter writer;
    ASSERT_TRUE(writer.open(path, 0));
    EXPECT_EQ(fileText(), telemetryCsvHeader() + '\n');
    ASSERT_TRUE(writer.write(500, 0.5, all));
    EXPECT_EQ(readTelemetryCsv(fileText()).rows.size(), 0U); // buffered
    ASSERT_TRUE(writer.write(1000, 1.0, all));
    EXPECT_EQ(readTelemetryCsv(fileText()).rows.size(), 2U);
    ASSERT_TRUE(writer.write(1100, 1.1, all));
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(readTelemetryCsv(fileText()).rows.size(), 3U);
    EXPECT_EQ(writer.lines(), 3U);
    std::remove(path.c_str());

    Corvane::TelemetryCsvWriter nowhere;
    EXPECT_FALSE(nowhere.open(::testing::TempDir() + "no/such/dir/t.csv", 0));
    EXPECT_FALSE(nowhere.error().empty());
    EXPECT_FALSE(nowhere.write(0, 0, all));

    Corvane::TelemetryCsvWriter full; // a disk with no room left
    EXPECT_FALSE(full.open("/dev/full", 0));
    EXPECT_FALSE(full.isOpen());
    EXPECT_FALSE(full.error().empty());
}

} // namespace
