#include "BackupStore.h"

#include "ConfigFileError.h"
#include "TarnConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

namespace Corvane::mapping {
namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;

class ScratchFolder {
public:
    ScratchFolder() {
        char pattern[] = "/tmp/tarn-backups-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

TarnConfig someConfig() {
    TarnConfig config;
    config.setMode(1);
    config.setId(2);
    config.setPin("1234");
    return config;
}

Clock::time_point at(std::int64_t ms) {
    return Clock::time_point(std::chrono::milliseconds(ms));
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(BackupStore, NamesSortAsTimesAndReadBack) {
    struct Case {
        std::int64_t ms;
        const char* reason;
        const char* name;
    } cases[] = {
        {0, "before-load", "19700101T000000.000Z-before-load.xml"},
        {1796812512345, "before-reset", "20261209T103512.345Z-before-reset.xml"},
        {4102444799999, "before-send", "20991231T235959.999Z-before-send.xml"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BackupStore::fileName(at(c.ms), c.reason), c.name);
        const auto entry = BackupStore::parseFileName(c.name);
        ASSERT_TRUE(entry) << c.name;
        EXPECT_EQ(entry->time, at(c.ms));
        EXPECT_EQ(entry->reason, c.reason);
    }
    for (const char* other :
         {"notes.xml", "20261209T103512.345Z-.xml", "20261209T103512.345Z-x.txt",
          "2026120xT103512.345Z-before-load.xml", ".tmp-20261209T1.xml"}) {
        EXPECT_FALSE(BackupStore::parseFileName(other)) << other;
    }
}

TEST(BackupStore, KeepsTheNewestHundredOfEachUnitAndNothingElseIsTouched) {
    ScratchFolder scratch;
    const BackupStore store(scratch.path());
    fs::create_directories(scratch.path() / "7");
    std::ofstream(scratch.path() / "7" / "operator-notes.txt") << "kept";
    const TarnConfig config = someConfig();
    for (int i = 0; i < 103; ++i) {
        store.write(7, BackupStore::kBeforeLoad, config, at(1'000'000 + i * 1000));
    }
    store.write(8, BackupStore::kBeforeSend, config, at(5));

    const auto seven = store.list(7);
    ASSERT_EQ(seven.size(), BackupStore::kKeep);
    EXPECT_EQ(seven.front().time, at(1'000'000 + 102 * 1000)); // newest first
    EXPECT_EQ(seven.back().time, at(1'000'000 + 3 * 1000));    // the three oldest went
    EXPECT_TRUE(fs::exists(scratch.path() / "7" / "operator-notes.txt"));
    const auto all = store.listAll();
    ASSERT_EQ(all.size(), BackupStore::kKeep + 1);
    EXPECT_EQ(all.back().serial, 8u);

    TarnConfig back;
    back.readConfigFile(seven.front().path.string());
    EXPECT_EQ(back.toFileBytes(), config.toFileBytes());
}

TEST(BackupStore, TwoBackupsInOneMillisecondGetTwoFiles) {
    ScratchFolder scratch;
    const BackupStore store(scratch.path());
    const auto first = store.write(3, BackupStore::kBeforeReset, someConfig(), at(42));
    const auto second = store.write(3, BackupStore::kBeforeReset, someConfig(), at(42));
    EXPECT_NE(first, second);
    EXPECT_EQ(store.list(3).size(), 2u);
}

TEST(BackupStore, AnUnwritableFolderThrowsAndLeavesNothing) {
    ScratchFolder scratch;
    // A file where the unit's folder belongs stops even root from writing there.
    std::ofstream(scratch.path() / "9") << "not a folder";
    const BackupStore store(scratch.path());
    EXPECT_THROW(store.write(9, BackupStore::kBeforeLoad, someConfig(), at(1)), ConfigFileError);
    EXPECT_EQ(namesIn(scratch.path()), std::vector<std::string>{"9"});
    EXPECT_TRUE(store.list(9).empty());
}

TEST(BackupStore, AWriteCutShortAtAnyPointLeavesNoFileBehind) {
    ScratchFolder scratch;
    const BackupStore store(scratch.path());
    TarnConfig config = someConfig();
    config.setStartupScript(std::string(4000, 'x'));
    const auto size = static_cast<rlim_t>(config.toFileBytes().size());
    for (const rlim_t limit : {rlim_t{0}, rlim_t{1}, size / 2, size - 1}) {
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = old;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
        EXPECT_THROW(store.write(4, BackupStore::kBeforeSend, config, at(1)), ConfigFileError)
            << limit;
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
        EXPECT_TRUE(namesIn(scratch.path() / "4").empty()) << limit;
    }
}

} // namespace
} // namespace Corvane::mapping
