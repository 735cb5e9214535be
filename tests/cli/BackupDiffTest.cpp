// load's backup, diff and backups, end to end on the simulated unit.

#include "CliTestSupport.h"
#include "ExitStatus.h"
#include "UnitRequests.h"

namespace {

using namespace clitest;
namespace status = Corvane::cli::exit_status;
using Corvane::mapping::BackupStore;

class BackupDiff : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        factoryFile_ = dir_.file("factory.xml");
        ASSERT_EQ(run({"save", factoryFile_}).status, status::kSuccess);
        unit_->settings() = distinctSettings();
        reconnect();
        backupMoments_.clear();
    }
    BackupStore store() const { return BackupStore(dir_.path() / "backups"); }

    // The index of the first configuration request that changes the unit, or the count.
    static std::size_t firstWrite() { return simtest::firstWrite(bus().transfers()); }

    std::string factoryFile_;
};

TEST_F(BackupDiff, LoadKeepsTheUnitAsItWasBeforeItsFirstWriteAndTheBackupRestoresIt) {
    bus().clearCalls();
    const Result loaded = run({"load", factoryFile_});
    ASSERT_EQ(loaded.status, status::kSuccess) << loaded.err;
    const auto backups = store().list(0x12345);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].reason, "before-load");
    EXPECT_NE(loaded.out.find(backups[0].path.string()), std::string::npos) << loaded.out;
    ASSERT_EQ(backupMoments_.size(), 1u);
    EXPECT_LE(backupMoments_[0], firstWrite());
    EXPECT_LT(firstWrite(), bus().transfers().size());
    expectSameConfiguration(unit_->settings(), sim::factoryDefaults());

    const Result restored = run({"load", backups[0].path.string()});
    EXPECT_EQ(restored.status, status::kSuccess) << restored.err;
    expectSameConfiguration(unit_->settings(), distinctSettings());
}

TEST_F(BackupDiff, WithoutABackupLoadSendsNothingUnlessToldTo) {
    struct Case {
        const char* name;
        bool failRead;
        bool blockFolder;
        bool noBackup;
        int status;
    };
    const Case cases[] = {
        {"a read fails", true, false, false, status::kDeviceFailure},
        {"folder unwritable", false, true, false, status::kFileError},
        {"a read fails, --no-backup", true, false, true, status::kSuccess},
        {"folder unwritable, --no-backup", false, true, true, status::kSuccess},
    };
    for (const Case& c : cases) {
        unit_->settings() = distinctSettings();
        std::filesystem::remove_all(dir_.path() / "backups");
        if (c.blockFolder) {
            Corvane::test::writeBytes(dir_.path() / "backups", "in the way");
        }
        reconnect();
        ASSERT_TRUE(dev_->open());
        if (c.failRead) {
            unit_->device()->failTransfer(5, sim::TransferFault::Timeout);
        }
        bus().clearCalls();
        std::vector<std::string> args{"load", factoryFile_};
        if (c.noBackup) {
            args.push_back("--no-backup");
        }
        const Result r = run(args);
        EXPECT_EQ(r.status, c.status) << c.name << r.err;
        if (c.noBackup) {
            expectSameConfiguration(unit_->settings(), sim::factoryDefaults());
        } else {
            EXPECT_EQ(firstWrite(), bus().transfers().size()) << c.name;
            EXPECT_NE(r.err.find("--no-backup"), std::string::npos) << c.name << r.err;
        }
        EXPECT_TRUE(store().list(0x12345).empty()) << c.name;
    }
}

TEST_F(BackupDiff, DiffListsEachDifferingItemAndSaysSoInItsStatus) {
    const std::string distinct = dir_.file("distinct.xml");
    ASSERT_EQ(run({"save", distinct}).status, status::kSuccess);
    Corvane::test::writeBytes(dir_.file("bad.xml"), "<TarnConfig><Mode>");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string line; // expected in the output
    };
    const Case cases[] = {
        {{"diff", distinct}, status::kSuccess, "84 items in the file, none differs"},
        {{"diff", factoryFile_}, status::kDiffers, "  mode: MANUAL -> AUTO\n"},
        {{"diff", distinct, factoryFile_}, status::kDiffers, "  channel 4 fuse: 7.5 A -> 10 A\n"},
        {{"diff", distinct, distinct}, status::kSuccess, "none differs"},
        {{"diff", dir_.file("bad.xml")}, status::kFileError, ""},
        {{"diff", "--json", distinct},
         status::kSuccess,
         R"({"serial":74565,"file":")" + distinct + R"(","items_in_file":84,"differences":[],)"},
        {{"diff", "--json", factoryFile_},
         status::kDiffers,
         R"({"item":"mode","unit":"MANUAL","file":"AUTO"})"},
        {{"diff", "--json", distinct, factoryFile_},
         status::kDiffers,
         R"({"item":"channel 4 fuse","file1":"7.5 A","file2":"10 A"})"},
    };
    for (const Case& c : cases) {
        bus().clearCalls();
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.line << r.err;
        EXPECT_NE(r.out.find(c.line), std::string::npos) << r.out;
        EXPECT_EQ(firstWrite(), bus().transfers().size()) << c.line;
    }
    const auto listed = lines(run({"diff", factoryFile_}).out); // the header, then one a setting
    EXPECT_NE(listed.at(0).find(", " + std::to_string(listed.size() - 1) + " differ:"),
              std::string::npos)
        << listed.at(0);
    unit_.reset();
    reconnect();
    EXPECT_EQ(run({"diff", distinct}).status, status::kNoUnit);
    EXPECT_EQ(run({"diff", distinct, factoryFile_}).status, status::kDiffers); // offline
}

TEST_F(BackupDiff, BackupsAreListedNewestFirstWithTheirReasonAndFile) {
    ASSERT_EQ(run({"load", factoryFile_}).status, status::kSuccess);
    ASSERT_EQ(run({"load", dir_.file("factory.xml")}).status, status::kSuccess);
    const auto backups = store().list(0x12345);
    ASSERT_EQ(backups.size(), 2u);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"backups"}, std::vector<std::string>{"backups", "74565"}}) {
        const auto shown = lines(run(args).out);
        ASSERT_EQ(shown.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_NE(shown[i].find("  74565  before-load  " + backups[i].path.string()),
                      std::string::npos)
                << shown[i];
        }
    }
    EXPECT_NE(run({"backups", "99"}).out.find("No backups"), std::string::npos);
}

} // namespace
