// save and load end to end: the file between two units, what reaches the unit, and failures.

#include "CliTestSupport.h"
#include "ExitStatus.h"
#include "UnitRequests.h"

#include <algorithm>

namespace {

using namespace clitest;
namespace status = Corvane::cli::exit_status;

class SaveLoad : public CliTest {
protected:
    // Clones unit A into unit B through a file, as an installer does across two runs.
    Result cloneThroughFile(const std::string& path) {
        unit_->settings() = distinctSettings();
        const Result saved = run({"save", path});
        EXPECT_EQ(saved.status, status::kSuccess) << saved.err;
        unit_.reset();
        reconnect();
        unit_ = std::make_unique<sim::SimUnit>(bus(), clock_);
        return run({"load", path});
    }

    // No command that changes the unit reached it: configuration requests are all reads,
    // and nothing at all went to the stream pipe.
    static void expectOnlyReads() {
        for (const auto& request : sentOn(0x01)) {
            ASSERT_FALSE(request.empty());
            EXPECT_TRUE(simtest::onlyReads(request[0])) << "command " << int{request[0]};
        }
        EXPECT_TRUE(sentOn(0x02).empty());
    }
};

class SaveLoadInLocale : public SaveLoad, public ::testing::WithParamInterface<bool> {};

TEST_P(SaveLoadInLocale, LoadingASavedFileOntoAnotherUnitMakesItEqualInEveryItem) {
    locale_ =
        GetParam() ? Corvane::test::commaDecimalLocale() : Corvane::test::pointDecimalLocale();
    const std::string path = dir_.file("unit.xml");
    const Result loaded = cloneThroughFile(path);
    EXPECT_EQ(loaded.status, status::kSuccess) << loaded.err;
    EXPECT_NE(loaded.out.find("read back as sent"), std::string::npos) << loaded.out;
    expectSameConfiguration(unit_->settings(), distinctSettings());

    // 699 mA is written as the shortest text that loads back as 699 mA, not as 0.699.
    const std::string file = Corvane::test::readBytes(path);
    EXPECT_NE(file.find(GetParam() ? "<Fuse>0,7</Fuse>" : "<Fuse>0.7</Fuse>"), std::string::npos);
    EXPECT_NE(file.find("<PIN>0429</PIN>"), std::string::npos);
    EXPECT_NE(file.find("<PINEnabled>True</PINEnabled>"), std::string::npos);
}
INSTANTIATE_TEST_SUITE_P(PointAndCommaDecimals, SaveLoadInLocale, ::testing::Bool());

TEST_F(SaveLoad, ANoPinUnitSavesThePinAsOffAndLoadingThatRemovesAPin) {
    const std::string path = dir_.file("nopin.xml");
    ASSERT_EQ(run({"save", path}).status, status::kSuccess);
    unit_->settings().pin = 0x04030201;
    const Result loaded = run({"load", path});
    EXPECT_EQ(loaded.status, status::kSuccess) << loaded.err;
    EXPECT_EQ(unit_->settings().pin, 0xFFFFFFFFu);
}

TEST_F(SaveLoad, DryRunListsTheChangesAndSendsNothing) {
    const std::string path = dir_.file("a.xml");
    unit_->settings() = distinctSettings();
    ASSERT_EQ(run({"save", path}).status, status::kSuccess);
    unit_->settings() = sim::factoryDefaults();
    reconnect();
    bus().clearCalls();

    const Result dry = run({"load", path, "--dry-run"});
    EXPECT_EQ(dry.status, status::kSuccess) << dry.err;
    expectOnlyReads();
    expectSameConfiguration(unit_->settings(), sim::factoryDefaults());
    EXPECT_FALSE(unit_->streaming());
    for (const char* change :
         {"mode: AUTO -> MANUAL", "unit id: Master -> Slave 2", "PIN: none -> 0429",
          "channel 1 fuse: 10 A -> 0.7 A", "channel 4 fuse: 10 A -> 7.5 A",
          "channel 1 group: no -> yes",
          "channel 1 name: \"Channel 1\" -> \"Last \xC3\xA9t\xE2\x82\xAC 0\""}) {
        EXPECT_NE(dry.out.find(change), std::string::npos) << change << "\n" << dry.out;
    }
    EXPECT_EQ(dry.out.find("channel 2 group"), std::string::npos); // unchanged: not listed
}

TEST_F(SaveLoad, AFileThatCannotBeReadSendsNothingAndSaysWhereItBroke) {
    struct Case {
        const char* name;
        const char* bytes; // null: no file at all
        const char* expected;
    };
    const Case cases[] = {
        {"truncated.xml", "<TarnConfig>\n  <Mode>Manual</Mode>\n  <Channels>", "line"},
        {"mismatched.xml", "<TarnConfig><Mode>Valet</Mod></TarnConfig>", "column"},
        {"absent.xml", nullptr, "absent.xml"},
    };
    for (const Case& c : cases) {
        const std::string path = dir_.file(c.name);
        if (c.bytes != nullptr) {
            Corvane::test::writeBytes(path, c.bytes);
        }
        bus().clearCalls();
        const Result r = run({"load", path});
        EXPECT_EQ(r.status, status::kFileError) << c.name;
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Nothing was sent"), std::string::npos) << r.err;
        EXPECT_TRUE(bus().transfers().empty()) << c.name; // the unit was not even opened
    }
    EXPECT_EQ(unit_->settings().mode, 0);
    const Result save = run({"save", dir_.file("no/such/folder.xml")});
    EXPECT_EQ(save.status, status::kFileError);
    EXPECT_NE(save.err.find("cannot save"), std::string::npos) << save.err;
}

TEST_F(SaveLoad, AUnitUnpluggedMidLoadEndsWithAClearMessage) {
    const std::string path = dir_.file("a.xml");
    unit_->settings() = distinctSettings();
    ASSERT_EQ(run({"save", path}).status, status::kSuccess);
    // After the version request and the 35 requests that read a factory-set unit, the load
    // sends: unplug among the unit-wide settings, in the scripts, and among the channels.
    for (const unsigned after : {38u, 45u, 70u}) {
        unit_->replug();
        unit_->settings() = sim::factoryDefaults();
        reconnect();
        unit_->unplugAfterRequests(after);
        const Result r = run({"load", path});
        EXPECT_EQ(r.status, status::kDeviceFailure) << after;
        EXPECT_NE(r.err.find("disconnected while loading"), std::string::npos) << after << r.err;
        EXPECT_NE(r.err.find("holds part of the file"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("read back as sent"), std::string::npos);
    }
}

TEST_F(SaveLoad, EachItemThatDoesNotHoldWhatWasSentIsNamed) {
    const std::string path = dir_.file("long.xml");
    const std::string longName(70, 'n'); // the unit keeps 61 characters of a name
    Corvane::test::writeBytes(path, "<TarnConfig><Mode>Valet</Mode><Channels><Channel><Number>2"
                                    "</Number><Name>" +
                                        longName +
                                        "</Name></Channel></Channels>"
                                        "<StartupScript>" +
                                        std::string(70000, 's') + "</StartupScript></TarnConfig>");
    const Result r = run({"load", path});
    EXPECT_EQ(r.status, status::kMismatch);
    EXPECT_NE(r.err.find("channel 2 name: sent \"nnnn"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("startup script: sent"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("mode"), std::string::npos) << r.err; // that one holds
    EXPECT_EQ(unit_->settings().mode, 2);
}

TEST_F(SaveLoad, ItemsWhoseReadFailsAreLeftOutOfTheFileAndNamed) {
    const std::string path = dir_.file("partial.xml");
    ASSERT_TRUE(dev_->open());
    unit_->failNextReplies(sim::ReplyFault::Timeout, 1); // the first read: the mode
    const Result r = run({"save", path});
    EXPECT_EQ(r.status, status::kDeviceFailure);
    EXPECT_NE(r.err.find("could not be read: mode"), std::string::npos) << r.err;
    const std::string file = Corvane::test::readBytes(path);
    EXPECT_EQ(file.find("<Mode>"), std::string::npos);
    EXPECT_NE(file.find("<UnitId>Master</UnitId>"), std::string::npos);
}

} // namespace
