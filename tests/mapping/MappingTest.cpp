// Between the unit's sections and the file: what a load sends, and what a save writes.

#include "ConfigMapping.h"
#include "LoadPlan.h"
#include "PinCode.h"
#include "WireValue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace {

using namespace Corvane;
using namespace Corvane::mapping;

constexpr uint32_t kNoPin = 0xFFFFFFFF;

TEST(WireValue, TheShortestValueForAStepCountIsSentAsExactlyThatCount) {
    struct Case {
        double step;
        int32_t steps;
        double shortest; // NaN: only the round trip is checked
    };
    constexpr double kAny = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {tarn::kCurrentStep, 0, 0.0},
        {tarn::kCurrentStep, 699, 0.7}, // 0.699 would be sent as 698
        {tarn::kCurrentStep, 7500, 7.5},
        {tarn::kCurrentStep, 1, 0.001},
        {tarn::kCurrentStep, -1500, -1.5},
        {tarn::kCurrentStep, std::numeric_limits<int32_t>::max(), kAny},
        {tarn::kCurrentStep, std::numeric_limits<int32_t>::min(), kAny},
        {tarn::kI2tStep, 127155761, 100.0}, // what 100 A²s is sent as
        {tarn::kI2tStep, 127155762, kAny},  // one step more: needs more digits, but is exact
        {tarn::kI2tStep, 86465000, kAny},
    };
    for (const Case& c : cases) {
        const double value = shortestValueFor(c.steps, c.step);
        EXPECT_EQ(wireSteps(value, c.step), c.steps) << c.steps;
        EXPECT_EQ(stepsOf(c.steps * c.step, c.step), c.steps) << c.steps;
        if (!std::isnan(c.shortest)) {
            EXPECT_EQ(value, c.shortest) << c.steps;
        }
    }
    EXPECT_FALSE(wireSteps(std::nan(""), tarn::kCurrentStep).has_value());
    EXPECT_EQ(wireSteps(1e300, tarn::kI2tStep), std::numeric_limits<int32_t>::max());
}

TEST(LoadPlan, ThePinIsSentAsTheWindowWouldSendIt) {
    struct Case {
        std::optional<bool> enabled;
        std::optional<std::string> pin;
        std::optional<uint32_t> unitPin; // none: could not be read
        std::optional<uint32_t> sent;
        bool noted;
    };
    const uint32_t has5678 = pinCode(5678);
    const Case cases[] = {
        {false, "1234", has5678, kNoPin, false},
        {true, "12", kNoPin, pinCode(12), false},
        {true, "  12", std::nullopt, pinCode(12), false},  // as the file right-aligns it
        {true, std::nullopt, kNoPin, pinCode(2719), true}, // the window's default
        {true, "    ", has5678, std::nullopt, false},      // keeps the unit's own
        {std::nullopt, "4321", has5678, pinCode(4321), false},
        {std::nullopt, "4321", kNoPin, std::nullopt, true},
        {std::nullopt, "4321", std::nullopt, std::nullopt, true},
        {true, "abc", kNoPin, std::nullopt, true},
        {true, "12345", has5678, std::nullopt, true},
        {std::nullopt, std::nullopt, has5678, std::nullopt, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        TarnConfig file;
        if (c.enabled) {
            file.setPinEnabled(*c.enabled);
        }
        if (c.pin) {
            file.setPin(*c.pin);
        }
        UnitState unit;
        unit.pin = c.unitPin;
        const LoadPlan plan = planLoad(file, unit);
        EXPECT_EQ(plan.wanted.pin, c.sent) << "case " << i;
        EXPECT_EQ(plan.sections.size(), c.sent ? 1u : 0u) << "case " << i;
        EXPECT_EQ(!plan.notes.empty(), c.noted) << "case " << i;
    }
}

TEST(LoadPlan, PartialItemsAreCompletedFromTheUnitOrNotSent) {
    TarnConfig file;
    IPSettings ip;
    ip.address = Ipv4Address::parse("10.0.0.7");
    file.setIP(ip);
    ChannelSettings ch;
    ch.channel = 4;
    ch.fuse = 15.0; // no I²t, no protect
    ch.group = true;
    file.setChannel(4, ch);

    UnitState unknown; // nothing could be read
    const LoadPlan blind = planLoad(file, unknown);
    EXPECT_EQ(blind.sections, (std::vector<Section>{{Section::Name, 4}}));
    EXPECT_EQ(blind.notes.size(), 3u); // network, fuse, groups

    UnitState unit;
    unit.network = NetworkSettings{{1, 2, 3, 4, 5, 6}, 5000, true};
    unit.fuses[4] = ChannelFuse{10000, 777, true};
    unit.groups = 0xF0F2; // bits 12-15 are not the unit's to keep
    const LoadPlan plan = planLoad(file, unit);
    EXPECT_TRUE(plan.notes.empty());
    EXPECT_EQ(plan.wanted.network->addresses[0], 0x0700000Au);
    EXPECT_EQ(plan.wanted.network->addresses[5], 6u);
    EXPECT_EQ(plan.wanted.network->lcmPort, 5000);
    EXPECT_EQ(plan.wanted.fuses[4]->current, 15000);
    EXPECT_EQ(plan.wanted.fuses[4]->i2t, 777);
    EXPECT_TRUE(plan.wanted.fuses[4]->protect);
    EXPECT_EQ(plan.wanted.groups, 0x00F2 | 0x0010);
    EXPECT_EQ(plan.sections,
              (std::vector<Section>{
                  {Section::Network}, {Section::Name, 4}, {Section::Fuse, 4}, {Section::Groups}}));
}

TEST(LoadPlan, WhatTheUnitHasNoPlaceForIsNamedAndSkipped) {
    TarnConfig file;
    file.readConfigBytes("<TarnConfig><SwitchBoard><ModeSelect>3</ModeSelect><ValetStartup>4"
                         "</ValetStartup></SwitchBoard><Channels><Channel><Number>13</Number>"
                         "</Channel><Channel><Number>x</Number></Channel></Channels>"
                         "</TarnConfig>",
                         "test");
    UnitState unit;
    unit.buttons = tarn::CanMsgConfig{};
    const LoadPlan plan = planLoad(file, unit);
    EXPECT_EQ(plan.sections, (std::vector<Section>{{Section::Buttons}}));
    EXPECT_EQ(plan.wanted.buttons->mode_select, 3);
    EXPECT_EQ(plan.wanted.buttons->startup, tarn::CanMsgConfig::kNoButton);
    ASSERT_EQ(plan.notes.size(), 3u);
    EXPECT_NE(plan.notes[1].find("\"Number\" is 13"), std::string::npos) << plan.notes[1];
    EXPECT_NE(plan.notes[2].find("0 or not a number"), std::string::npos) << plan.notes[2];
}

TEST(LoadPlan, ItsChangesAreExactlyTheSettingsTheUnitHoldsOtherwise) {
    // label, the unit's value (none: could not be read), the file's value
    using Change = std::tuple<std::string, std::optional<std::string>, std::string>;
    struct Case {
        const char* body;
        std::vector<Change> changes;
    };
    UnitState unit;
    unit.mode = tarn::MODE_MANUAL;
    unit.id = tarn::UNIT_MASTER;
    unit.network = NetworkSettings{{1, 2, 3, 4, 5, 6}, 5000, true};
    unit.names[0] = "Lights"; // channel 3's name could not be read
    unit.groups = 0x0001;
    const Case cases[] = {
        {"<Mode>Manual</Mode><UnitId>Master</UnitId>", {}},
        {"<Mode>Valet</Mode><UnitId>Master</UnitId>", {{"mode", "MANUAL", "VALET"}}},
        {"<IP><Gateway>10.0.0.1</Gateway></IP>", {{"gateway", "3.0.0.0", "10.0.0.1"}}},
        {"<Channels><Channel><Number>1</Number><Name>Lights</Name><Group>True</Group></Channel>"
         "<Channel><Number>3</Number><Name>Pump</Name><Group>True</Group></Channel></Channels>",
         {{"channel 3 name", std::nullopt, "Pump"}, {"channel 3 group", "no", "yes"}}},
    };
    for (const Case& c : cases) {
        TarnConfig file(std::locale::classic());
        file.readConfigBytes(std::string("<TarnConfig>") + c.body + "</TarnConfig>", "test");
        std::vector<Change> listed;
        for (const ItemChange& change : planChanges(planLoad(file, unit), std::locale::classic())) {
            listed.emplace_back(change.file.label,
                                change.unit ? std::optional(change.unit->value) : std::nullopt,
                                change.file.value);
        }
        EXPECT_EQ(listed, c.changes) << c.body;
    }
}

TEST(SaveImage, AChannelIsLeftOutWhenAnyOfItsItemsWasNotRead) {
    UnitState unit;
    for (std::size_t ch = 0; ch < kChannels; ++ch) {
        unit.names[ch].emplace("n");
        unit.fuses[ch] = ChannelFuse{699, 1, false};
    }
    unit.groups = 1;
    unit.fuses[2].reset();
    unit.names[5].reset();
    std::vector<std::string> leftOut;
    const TarnConfig c = toConfig(unit, std::locale::classic(), leftOut);
    EXPECT_TRUE(c.channelHasValue(0));
    EXPECT_FALSE(c.channelHasValue(2)); // not saved as a 0 A fuse
    EXPECT_FALSE(c.channelHasValue(5)); // not saved with an empty name
    EXPECT_EQ(c.getChannel(0)->fuse, 0.7);
    EXPECT_EQ(c.getChannel(0)->group, true);
    EXPECT_FALSE(c.modeHasValue());
    EXPECT_NE(std::find(leftOut.begin(), leftOut.end(),
                        "channel 3 (its fuse settings could not be read)"),
              leftOut.end());
    EXPECT_NE(std::find(leftOut.begin(), leftOut.end(), "mode"), leftOut.end());
}

} // namespace
