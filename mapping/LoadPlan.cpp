#include "LoadPlan.h"

#include "PinCode.h"
#include "RecordMerge.h"
#include "UnitText.h"
#include "ValueText.h"
#include "WireValue.h"

#include <algorithm>

namespace Corvane::mapping {
namespace {

constexpr uint16_t kGroupMask = 0x0FFF;

class Planner {
public:
    Planner(const TarnConfig& file, const UnitState& current)
        : f_(file)
        , cur_(current) {
        plan_.current = current;
    }

    LoadPlan run() {
        planModeAndId();
        planPin();
        if (f_.bluetoothEnabledHasValue()) {
            plan_.wanted.bluetooth = f_.getBluetoothEnabled();
            choose({Section::Bluetooth});
        }
        planNetwork();
        planButtons();
        planScripts();
        planChannels();
        for (const Section& section : allSections()) { // sending order
            if (std::find(chosen_.begin(), chosen_.end(), section) != chosen_.end()) {
                plan_.sections.push_back(section);
            }
        }
        return std::move(plan_);
    }

private:
    void choose(Section section) { chosen_.push_back(section); }
    void note(std::string text) { plan_.notes.push_back(std::move(text)); }

    // A partial item can be completed only from what the unit holds.
    void cannotMerge(Section section) {
        note(sectionName(section) + ": the file gives only some of them and the unit's own could "
                                    "not be read to complete them; not sent");
    }

    void planModeAndId() {
        if (f_.modeHasValue() && f_.getMode() >= 0 && f_.getMode() <= tarn::MODE_VALET) {
            plan_.wanted.mode = static_cast<uint8_t>(f_.getMode());
            choose({Section::Mode});
        }
        if (f_.idHasValue() && f_.getId() >= 0 && f_.getId() <= tarn::UNIT_SLAVE_3) {
            plan_.wanted.id = static_cast<uint8_t>(f_.getId());
            choose({Section::Id});
        }
    }

    void setPin(uint32_t code) {
        plan_.wanted.pin = code;
        choose({Section::Pin});
    }

    void planPin() {
        if (f_.pinEnabledHasValue() && !f_.getPinEnabled()) {
            return setPin(kNoPin);
        }
        std::optional<unsigned> number;
        if (f_.pinHasValue() && !isBlank(f_.getPin())) {
            number = parsePin(f_.getPin());
            if (!number) {
                return note("PIN \"" + f_.getPin() +
                            "\" is not a number of up to four digits; not sent");
            }
        }
        const bool switchedOn = f_.pinEnabledHasValue();
        if (switchedOn && number) {
            return setPin(pinCode(*number));
        }
        if (!switchedOn && !number) {
            return;
        }
        // What to send now depends on whether the unit has a PIN, as in the window.
        if (!cur_.pin) {
            return note("PIN: the unit's PIN could not be read, so what the file means for it "
                        "is not known; not sent");
        }
        const bool unitHasPin = pinNumber(*cur_.pin).has_value();
        if (number) {
            if (unitHasPin) {
                return setPin(pinCode(*number));
            }
            return note("PIN: the unit has none and the file does not switch it on; not sent");
        }
        if (!unitHasPin) {
            note("PIN: the file switches it on without one; the unit gets the default " +
                 pinDigits(kDefaultPin));
            setPin(pinCode(kDefaultPin));
        }
    }

    void planNetwork() {
        if (!f_.ipHasValue()) {
            return;
        }
        plan_.wanted.network = mergeNetwork(f_.getIP(), cur_.network);
        if (!plan_.wanted.network) {
            return cannotMerge({Section::Network});
        }
        choose({Section::Network});
    }

    void planButtons() {
        if (!f_.switchBoardHasValue()) {
            return;
        }
        const SwitchBoardSettings& sb = f_.getSwitchBoard();
        if (sb.valetStartup || sb.valetShutdown) {
            note("switch-board buttons: the unit has no place for the valet startup and valet "
                 "shutdown buttons; those two are not sent");
        }
        plan_.wanted.buttons = mergeButtons(sb, cur_.buttons);
        if (!plan_.wanted.buttons) {
            return cannotMerge({Section::Buttons});
        }
        choose({Section::Buttons});
    }

    // Unit bytes for a file text, with a note when the unit's code page cannot hold all of it.
    std::string unitText(const std::string& utf8, Section section) {
        std::string bytes = tarn::UnitText::fromUtf8(utf8);
        if (tarn::UnitText::toUtf8(bytes) != utf8) {
            note(sectionName(section) +
                 ": characters the unit's code page lacks are sent as \"?\"");
        }
        return bytes;
    }

    void planScripts() {
        for (uint8_t i = 0; i < kScripts; ++i) {
            const ScriptField& script = kScriptFields.at(i);
            if ((f_.*script.present)()) {
                const Section section{Section::Script, i};
                plan_.wanted.scripts.at(i) = unitText((f_.*script.stored)(), section);
                choose(section);
            }
        }
    }

    void planFuse(const ChannelSettings& ch) {
        const Section section{Section::Fuse, ch.channel};
        const std::optional<ChannelFuse>& unit = cur_.fuses.at(ch.channel);
        if (!unit && !(ch.fuse && ch.I2T && ch.protect)) {
            return cannotMerge(section);
        }
        ChannelFuse fuse = unit.value_or(ChannelFuse{});
        const auto current = ch.fuse ? wireSteps(*ch.fuse, tarn::kCurrentStep) : fuse.current;
        const auto i2t = ch.I2T ? wireSteps(*ch.I2T, tarn::kI2tStep) : fuse.i2t;
        if (!current || !i2t) {
            return note(sectionName(section) + ": the fuse or I2T is not a number; not sent");
        }
        fuse = {*current, *i2t, ch.protect.value_or(fuse.protect)};
        plan_.wanted.fuses.at(ch.channel) = fuse;
        choose(section);
    }

    void planChannels() {
        if (!f_.channelHasValue()) {
            return;
        }
        uint16_t set = 0;
        uint16_t given = 0;
        for (const ChannelSettings& ch : f_.getChannels()) {
            if (ch.channel >= kChannels) {
                note("a \"Channel\" whose \"Number\" is " +
                     (ch.channel == 255 ? std::string("0 or not a number")
                                        : std::to_string(ch.channel + 1)) +
                     " is not one of the unit's twelve channels; skipped");
                continue;
            }
            const Section name{Section::Name, ch.channel};
            plan_.wanted.names.at(ch.channel) = unitText(ch.name, name);
            choose(name);
            if (ch.fuse || ch.I2T || ch.protect) {
                planFuse(ch);
            }
            if (ch.group) {
                const auto bit = static_cast<uint16_t>(1u << ch.channel);
                given |= bit;
                set = static_cast<uint16_t>(*ch.group ? set | bit : set);
            }
        }
        planGroups(set, given);
    }

    void planGroups(uint16_t set, uint16_t given) {
        if (given == 0) {
            return;
        }
        if (!cur_.groups && given != kGroupMask) {
            return cannotMerge({Section::Groups});
        }
        const uint16_t kept = static_cast<uint16_t>(cur_.groups.value_or(0) & kGroupMask & ~given);
        plan_.wanted.groups = static_cast<uint16_t>(kept | set);
        choose({Section::Groups});
    }

    const TarnConfig& f_;
    const UnitState& cur_;
    LoadPlan plan_;
    std::vector<Section> chosen_;
};

} // namespace

LoadPlan planLoad(const TarnConfig& file, const UnitState& current) {
    return Planner(file, current).run();
}

std::vector<Item> plannedItems(const LoadPlan& plan, const std::locale& locale) {
    return describe(plan.wanted, plan.sections, locale);
}

std::vector<ItemChange> planChanges(const LoadPlan& plan, const std::locale& locale) {
    return changesBetween(describe(plan.current, plan.sections, locale),
                          plannedItems(plan, locale));
}

} // namespace Corvane::mapping
