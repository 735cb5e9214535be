// watch: the lines it prints, and the stream switched off however it ends.

#include "CliTestSupport.h"
#include "ExitStatus.h"
#include "TelemetryLine.h"

#include <csignal>
#include <cstdlib>

namespace {

using namespace clitest;
namespace status = Corvane::cli::exit_status;

using Watch = CliTest;

double number(const std::string& field) {
    std::size_t used = 0;
    const double value = std::stod(field, &used);
    EXPECT_EQ(used, field.size()) << field;
    return value;
}

TEST_F(Watch, CsvGivesAHeaderAndOneParsableLinePerPacket) {
    unit_->setLoad(0, 4.0);
    unit_->settings().mode = 1;
    ASSERT_TRUE(dev_->open());
    ASSERT_TRUE(dev_->sendRelayRequestOn(0));

    const Result r = run({"watch", "--csv", "--count", "10"});
    EXPECT_EQ(r.status, status::kSuccess) << r.err;
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 11u);
    const std::vector<std::string> header = splitCsv(out[0]);
    ASSERT_EQ(header.size(), 40u);
    EXPECT_EQ(header[6], "ch1_a");
    EXPECT_EQ(header[7], "ch1_state");

    double last = -1;
    for (std::size_t i = 1; i < out.size(); ++i) {
        const std::vector<std::string> f = splitCsv(out[i]);
        ASSERT_EQ(f.size(), header.size()) << out[i];
        const double t = number(f[0]);
        EXPECT_GT(t, last); // 50 packets a second: 20 ms apart
        last = t;
        EXPECT_NEAR(number(f[6]), 4.0, 0.1) << out[i];
        EXPECT_EQ(f[7], "ON");
        EXPECT_EQ(f[38], "MANUAL");
        // The first packet carries no temperatures; from the second on they are the last known.
        EXPECT_EQ(f[31].empty(), i == 1) << out[i];
        if (i > 1) {
            EXPECT_GT(number(f[31]), -70.0);
        }
    }
    EXPECT_NEAR(last, 0.18, 1e-6);
    EXPECT_FALSE(unit_->streaming());
}

TEST_F(Watch, AnInterruptEndsItAndTheStreamIsSwitchedOff) {
    int stamps = 0;
    onClock_ = [&stamps] {
        if (++stamps == 4) { // the start and three packets
            std::raise(SIGINT);
        }
    };
    const Result r = run({"watch"});
    EXPECT_EQ(r.status, status::kSuccess) << r.err;
    EXPECT_EQ(lines(r.out).size(), 3u) << r.out;
    EXPECT_FALSE(unit_->streaming());
    const auto stream = sentOn(0x02);
    ASSERT_FALSE(stream.empty());
    EXPECT_EQ(stream.back(), (std::vector<uint8_t>{0x00, 0x40}));
    // The program's own handling of SIGINT is back once watch has ended.
    EXPECT_EQ(std::signal(SIGINT, SIG_DFL), SIG_DFL);
}

TEST_F(Watch, AUnitThatVanishesEndsItWithAFailure) {
    int stamps = 0;
    onClock_ = [&] {
        if (++stamps == 2) { // the start, then the first packet
            unit_->unplug();
        }
    };
    const Result r = run({"watch", "--count", "5"});
    EXPECT_EQ(r.status, status::kDeviceFailure);
    EXPECT_EQ(lines(r.out).size(), 1u);
    EXPECT_NE(r.err.find("disconnected"), std::string::npos);
}

TEST(TelemetryLine, BlocksNotYetReceivedAreBlankAndTextFollowsTheLocale) {
    tarn::PowerF32 power{};
    power.total_current = 1234.5f;
    power.current[11] = -0.25f;
    tarn::DataStreamFeedback blocks;
    blocks.power = &power;
    const std::vector<std::string> csv = splitCsv(Corvane::cli::csvLine(1.5, blocks));
    EXPECT_EQ(csv[0], "1.500");
    EXPECT_EQ(csv[1], "1234.500");
    EXPECT_EQ(csv[28], "-0.250");
    EXPECT_EQ(csv[29], ""); // no status block yet
    EXPECT_EQ(csv[31], ""); // nor temperatures

    const std::string text =
        Corvane::cli::textLine(1.5, blocks, Corvane::test::commaDecimalLocale());
    EXPECT_NE(text.find("total 1.234,50 A"), std::string::npos) << text;
    EXPECT_NE(text.find("12: -0,25 A -"), std::string::npos) << text;
    EXPECT_NE(text.find("Bluetooth -"), std::string::npos) << text;
}

} // namespace
