// Comparing configurations, choosing what to send, and taking a backup of a unit.

#include "BackupStore.h"
#include "Comparison.h"
#include "ConfigMapping.h"
#include "ItemView.h"
#include "PinCode.h"
#include "SelectedSend.h"
#include "SimManualClock.h"
#include "SimUnit.h"
#include "TarnUsb.h"
#include "UnitBackup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace Corvane::mapping {
namespace {
namespace fs = std::filesystem;

const std::locale& classic() {
    static const std::locale locale = std::locale::classic();
    return locale;
}

// A unit configured with `v` everywhere: two of them differ in every setting.
UnitState unitWith(std::uint8_t v) {
    UnitState s;
    s.mode = v;
    s.id = v;
    s.pin = pinCode(v);
    s.bluetooth = v != 0;
    s.network = NetworkSettings{{v, v, v, v, v, v}, v, v != 0};
    tarn::CanMsgConfig buttons;
    for (const ButtonField& field : kButtonFields) {
        buttons.*field.byte = v;
    }
    s.buttons = buttons;
    s.scripts.fill(std::string(1, static_cast<char>('a' + v)));
    s.names.fill(std::string(1, static_cast<char>('a' + v)));
    s.fuses.fill(ChannelFuse{v, v, v != 0});
    s.groups = v != 0 ? 0x0FFF : 0;
    return s;
}

TarnConfig fileOf(const UnitState& state) {
    std::vector<std::string> leftOut;
    return toConfig(state, classic(), leftOut);
}

TarnConfig fileOf(const std::string& body) {
    TarnConfig file(classic());
    file.readConfigBytes("<TarnConfig>" + body + "</TarnConfig>", "test");
    return file;
}

std::set<std::string> labelsOf(const std::vector<Item>& items) {
    std::set<std::string> labels;
    for (const Item& item : items) {
        labels.insert(item.label);
    }
    return labels;
}

TEST(FileItems, AreTheSettingsAFileGivesAndNotWhatItLeavesToTheUnit) {
    struct Case {
        const char* body;
        std::set<std::string> labels;
    };
    const Case cases[] = {
        {"<IP><Gateway>10.0.0.1</Gateway></IP>", {"gateway"}},
        {"<SwitchBoard><Startup>4</Startup></SwitchBoard>", {"Startup button"}},
        {"<Channels><Channel><Number>2</Number><Name>x</Name><Fuse>7.5</Fuse><Group>True</Group>"
         "</Channel></Channels>",
         {"channel 2 name", "channel 2 fuse", "channel 2 group"}},
        {"<PINEnabled>False</PINEnabled>", {"PIN"}},
        {"<PINEnabled>True</PINEnabled>", {}}, // the unit keeps its own PIN
        {"<PIN>1234</PIN>", {"PIN"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> notes;
        EXPECT_EQ(labelsOf(fileItems(fileOf(c.body), classic(), notes)), c.labels) << c.body;
    }
    std::vector<std::string> notes;
    EXPECT_EQ(fileItems(fileOf(unitWith(1)), classic(), notes).size(), 84u);
    EXPECT_TRUE(notes.empty());
}

TEST(Compare, TwoFilesListOnlyWhatDiffersWithEachSidesValue) {
    const Comparison c =
        compareFiles(fileOf("<Mode>Manual</Mode><UnitId>Master</UnitId><PIN>0042</PIN>"),
                     fileOf("<Mode>Valet</Mode><UnitId>Master</UnitId><BluetoothEnabled>False"
                            "</BluetoothEnabled>"),
                     classic());
    std::vector<std::string> lines;
    for (const DifferenceView& view : viewOf(c)) {
        lines.push_back(lineOf(view));
    }
    EXPECT_EQ(lines,
              (std::vector<std::string>{"mode: MANUAL -> VALET", "PIN: 0042 -> (not in the file)",
                                        "Bluetooth: (not in the file) -> disabled"}));
    EXPECT_EQ(c.itemsA, 3u);
    EXPECT_EQ(c.itemsB, 3u);
    EXPECT_TRUE(
        compareFiles(fileOf(unitWith(1)), fileOf(unitWith(1)), classic()).differences.empty());
}

TEST(SelectItems, EachSettingChosenAloneChangesThatSettingAndNoOther) {
    const LoadPlan plan = planLoad(fileOf(unitWith(1)), unitWith(0));
    const std::vector<Item> planned = plannedItems(plan, classic());
    ASSERT_EQ(planChanges(plan, classic()).size(), planned.size()); // every one differs
    for (const Item& item : planned) {
        const LoadPlan chosen = selectItems(plan, {item.label}, classic());
        ASSERT_EQ(chosen.sections, std::vector<Section>{item.section}) << item.label;
        const auto changes = changesBetween(describe(chosen.current, chosen.sections, classic()),
                                            plannedItems(chosen, classic()));
        ASSERT_EQ(changes.size(), 1u) << item.label;
        EXPECT_EQ(changes[0].file.label, item.label);
        EXPECT_EQ(changes[0].file.value, item.value);
    }
    UnitState unread = unitWith(0);
    unread.network.reset();
    const LoadPlan blind = planLoad(fileOf(unitWith(1)), unread);
    const LoadPlan gateway = selectItems(blind, {"gateway"}, classic());
    EXPECT_TRUE(gateway.sections.empty()); // its other seven settings are not known
    EXPECT_EQ(gateway.notes.size(), 1u);
}

class UnitBackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimBus::instance().reset();
        unit_ = std::make_unique<sim::SimUnit>(sim::SimBus::instance(), clock_);
        ASSERT_TRUE(dev_.open());
        sim::SimBus::instance().clearCalls();
        char pattern[] = "/tmp/tarn-unit-backup-XXXXXX";
        root_ = mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(root_); }

    sim::SimManualClock clock_;
    std::unique_ptr<sim::SimUnit> unit_;
    tarn::TarnUsb dev_;
    fs::path root_;
};

TEST_F(UnitBackupTest, ReadsOnlyAndWritesNothingUnlessEveryReadSucceeded) {
    struct Case {
        const char* name;
        std::size_t failAt; // the transfer that fails; none: SIZE_MAX
        bool blockFolder;
        BackupResult::Outcome outcome;
        const char* why;
    };
    const Case cases[] = {
        {"whole", SIZE_MAX, false, BackupResult::Outcome::Written, ""},
        {"mode unread", 1, false, BackupResult::Outcome::ReadFailed, "unit's mode could not"},
        {"folder is a file", SIZE_MAX, true, BackupResult::Outcome::WriteFailed, "could not be"},
    };
    for (const Case& c : cases) {
        fs::remove_all(root_ / "74565");
        if (c.blockFolder) {
            std::ofstream(root_ / "74565") << "in the way";
        }
        if (c.failAt != SIZE_MAX) {
            unit_->device()->failTransfer(c.failAt, sim::TransferFault::Timeout);
        }
        const BackupResult r =
            takeBackup(dev_, BackupStore(root_), BackupStore::kBeforeLoad, classic());
        EXPECT_EQ(r.outcome, c.outcome) << c.name;
        EXPECT_NE(r.why.find(c.why), std::string::npos) << c.name << ": " << r.why;
        EXPECT_EQ(BackupStore(root_).list(0x12345).size(), r.written() ? 1u : 0u) << c.name;
        const std::set<std::uint8_t> reads{0x11, 0x13, 0x23, 0x25, 0x27,
                                           0x30, 0x32, 0x34, 0x36, 0x38};
        for (const sim::CallRecord& t : sim::SimBus::instance().transfers()) {
            if (t.endpoint == tarn::TarnUsb::kCfgEndpoint) {
                EXPECT_EQ(reads.count(t.data.at(0)), 1u) << c.name << ": " << int{t.data.at(0)};
            }
        }
    }
}

} // namespace
} // namespace Corvane::mapping
