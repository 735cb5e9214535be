// Parsing, opening the unit, info and relay, as the program runs them.

#include "CliTestSupport.h"
#include "ExitStatus.h"

namespace {

using namespace clitest;
namespace status = Corvane::cli::exit_status;

using CommandLine = CliTest;

TEST_F(CommandLine, UsageErrorsTouchNoUnit) {
    const std::vector<std::vector<std::string>> cases{
        {},
        {"frobnicate"},
        {"relay", "13", "on"},
        {"relay", "0", "on"},
        {"relay", "3", "dim"},
        {"relay", "3"},
        {"watch", "--count", "0"},
        {"watch", "--count", "-4"},
        {"load"},
        {"save"},
        {"info", "extra"},
        {"publish"},
        {"publish", "ftp://broker/x"},
        {"publish", "mqtt://user:pw@broker/x"},
        {"publish", "mqtt://broker/x", "--rate", "0"},
        {"publish", "mqtt://broker/x", "--cafile", "ca.crt"},
        {"publish", "mqtts://broker/x", "--cert", "client.crt"},
        {"publish", "mqtt://broker/x", "--password-file", "pw"},
        {"diff"},
        {"diff", "a.xml", "b.xml", "c.xml"},
        {"backups", "x12"},
    };
    for (const auto& args : cases) {
        bus().clearCalls();
        const Result r = run(args);
        EXPECT_EQ(r.status, status::kUsage) << ::testing::PrintToString(args);
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
        EXPECT_TRUE(bus().calls(sim::Call::Open).empty()) << ::testing::PrintToString(args);
    }
    EXPECT_NE(run({"relay", "13", "on"}).err.find("CHANNEL is 1 to 12, or inv"), std::string::npos);
}

TEST_F(CommandLine, HelpNamesTheExitStatusesAndTheLocale) {
    const Result r = run({"--help"});
    EXPECT_EQ(r.status, status::kSuccess);
    for (const char* text : {"info", "save", "load", "watch", "relay", "Exit status", "5  load",
                             "6  diff", "diff", "backups", "USB access on Linux", "locale"}) {
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    }
    EXPECT_NE(run({"load", "--help"}).out.find("--dry-run"), std::string::npos);
    EXPECT_NE(run({"load", "--help"}).out.find("--no-backup"), std::string::npos);
}

TEST_F(CommandLine, InfoShowsTheIdentityAndAdvisesOnOldFirmware) {
    unit_->setIdentity(sim::SimIdentity{2, 1, 0, 4, 0, 4242});
    const Result r = run({"info"});
    EXPECT_EQ(r.status, status::kSuccess) << r.err;
    EXPECT_NE(r.out.find("Firmware version:   1.0.4 (older than 1.0.5"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Hardware revision:  2"), std::string::npos);
    EXPECT_NE(r.out.find("Serial number:      4242"), std::string::npos);
    reconnect();
    unit_->setIdentity(sim::SimIdentity{});
    EXPECT_EQ(run({"info"}).out.find("older"), std::string::npos);
}

TEST_F(CommandLine, WithoutAUsableUnitTheMessageSaysWhy) {
    struct Case {
        std::function<void()> arrange;
        const char* expected;
    };
    const Case cases[] = {
        {[this] { unit_.reset(); }, "no Tarnwell unit is connected"},
        {[this] { unit_->device()->setOpenResult(LIBUSB_ERROR_ACCESS); },
         "see \"USB access on Linux\" in the README"},
        {[this] { unit_->device()->setClaimResult(LIBUSB_ERROR_BUSY); },
         "another program is using it"},
        {[this] { unit_->failNextReplies(sim::ReplyFault::Timeout, 1); }, "does not answer"},
        {[this] { unit_->device()->setOpenResult(LIBUSB_ERROR_NOT_SUPPORTED); },
         "cannot be opened (not supported on this system)"},
    };
    for (const Case& c : cases) {
        SetUp();
        reconnect();
        c.arrange();
        const Result r = run({"info"});
        EXPECT_EQ(r.status, status::kNoUnit) << c.expected;
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    }
}

TEST_F(CommandLine, RelayRequestsReachTheChannelAndTheStateIsReported) {
    unit_->setLoad(2, 5.0);
    struct Case {
        std::vector<std::string> args;
        std::size_t channel;
        bool closed;
        const char* report;
    };
    const Case cases[] = {
        {{"relay", "3", "on"},
         2,
         true,
         "Channel 3 \"Channel 3\": request sent; the unit reports ON"},
        {{"relay", "3", "TOGGLE"}, 2, false, "the unit reports OFF"},
        {{"relay", "3", "toggle"}, 2, true, "the unit reports ON"},
        {{"relay", "1", "on"}, 0, true, "the unit reports NO LOAD"},
        {{"relay", "inv", "on"},
         12,
         true,
         "Inverter \"Inverter\": request sent; the unit reports ON"},
        {{"relay", "Inverter", "off"}, 12, false, "the unit reports OFF"},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, status::kSuccess) << r.err;
        EXPECT_EQ(unit_->relayClosed(c.channel), c.closed) << c.report;
        EXPECT_NE(r.out.find(c.report), std::string::npos) << r.out;
        EXPECT_FALSE(unit_->streaming()); // switched off again after the read-back
    }
}

} // namespace
