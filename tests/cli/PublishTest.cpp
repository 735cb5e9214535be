// publish against a real broker: what reaches it and under which topics, relay commands, the
// broker's refusals, a full queue and a unit that goes away. The command runs on a thread of its
// own, on the simulated unit in real time, while the test watches the broker.

#include "CliTestSupport.h"
#include "ExitStatus.h"
#include "MqttBroker.h"
#include "SimRealClock.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace {

using namespace clitest;
namespace status = Corvane::cli::exit_status;
using namespace std::chrono_literals;

constexpr const char* kBase = "/74565"; // the simulated unit's serial number, after the prefix

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

std::string lastOn(const MqttProbe& probe, const std::string& topic) {
    const std::vector<Received> all = probe.on(topic);
    return all.empty() ? std::string() : all.back().payload;
}

class Publish : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        broker_ = std::make_unique<MqttBroker>();
        broker_->start();
    }
    static void TearDownTestSuite() { broker_.reset(); }

    void SetUp() override {
        bus().reset();
        unit_ = std::make_unique<sim::SimUnit>(bus(), clock_);
        dev_ = std::make_unique<tarn::TarnUsb>(); // a fresh link, as a new run would have
    }
    void TearDown() override {
        if (thread_.joinable()) {
            stop_ = true;
            thread_.join();
        }
    }

    static std::string url(std::uint16_t port, const std::string& prefix,
                           const std::string& user = "", bool tls = false) {
        return std::string(tls ? "mqtts://" : "mqtt://") + (user.empty() ? "" : user + "@") +
               "127.0.0.1:" + std::to_string(port) + "/" + prefix;
    }

    // Runs the command line on a thread of its own, as the program's main thread would.
    void start(const std::vector<std::string>& args) {
        thread_ = std::thread([this, args] {
            Corvane::cli::Session session{
                *dev_, out_, err_, std::locale::classic(), [this] {
                    if (stop_) {
                        std::raise(SIGINT); // caught by the command
                    }
                    if (hook_) {
                        hook_(++clockCalls_);
                    }
                    return std::chrono::steady_clock::now().time_since_epoch() + skew_;
                }};
            status_ = Corvane::cli::runCli(args, session);
        });
    }
    Result finish() {
        stop_ = true;
        thread_.join();
        return {status_, out_.str(), err_.str()};
    }
    Result runToEnd(const std::vector<std::string>& args) {
        start(args);
        thread_.join();
        return {status_, out_.str(), err_.str()};
    }
    // The relay requests that reached the unit: output and action.
    static std::vector<std::pair<int, int>> relayRequests() {
        std::vector<std::pair<int, int>> out;
        for (const auto& t : bus().transfers()) {
            if (t.endpoint == 0x02 && t.data.size() == 4 && t.data[0] == 0x01) {
                out.emplace_back(t.data[2], t.data[3]);
            }
        }
        return out;
    }

    static std::unique_ptr<MqttBroker> broker_;
    sim::SimRealClock clock_;
    std::unique_ptr<sim::SimUnit> unit_;
    std::unique_ptr<tarn::TarnUsb> dev_;
    std::ostringstream out_;
    std::ostringstream err_;
    std::thread thread_;
    int status_ = -1;
    std::atomic<bool> stop_ = false;
    std::chrono::nanoseconds skew_{0}; // added to the command's clock, from its own thread
    std::function<void(long)> hook_;   // on the command's thread, at each clock reading
    long clockCalls_ = 0;
    Corvane::test::TempDir dir_;
};

std::unique_ptr<MqttBroker> Publish::broker_;

TEST_F(Publish, TelemetryInfoStatusAndDiscoveryReachTheBroker) {
    struct Case {
        std::string prefix;
        std::vector<std::string> options;
        std::size_t fewest;
        std::size_t most;
    };
    const Case cases[] = {
        {"fleet/van7", {"--count", "25", "--homeassistant"}, 24, 24}, // from the 2nd packet on
        {"rated", {"--count", "50", "--rate", "10"}, 9, 11},          // 1 s at 10 a second
    };
    for (const Case& c : cases) {
        SetUp();
        const std::string base = c.prefix + kBase;
        MqttProbe probe(broker_->plainPort());
        std::vector<std::string> args{"publish", url(broker_->plainPort(), c.prefix)};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Result r = runToEnd(args);
        EXPECT_EQ(r.status, status::kSuccess) << r.err;
        ASSERT_TRUE(probe.waitForMessage(base + "/status", "offline")) << r.err;

        const std::vector<Received> telemetry = probe.on(base + "/telemetry");
        EXPECT_GE(telemetry.size(), c.fewest);
        EXPECT_LE(telemetry.size(), c.most);
        for (const Received& m : telemetry) {
            EXPECT_EQ(count(m.payload, "\":"), 40u) << m.payload; // every CSV column
            EXPECT_EQ(m.payload.find("null"), std::string::npos) << m.payload;
            EXPECT_FALSE(m.retained);
        }
        const std::vector<Received> status = probe.on(base + "/status");
        ASSERT_EQ(status.size(), 2u);
        EXPECT_EQ(status[0].payload, "online");
        const std::vector<Received> info = probe.on(base + "/info");
        ASSERT_EQ(info.size(), 1u);
        EXPECT_NE(info[0].payload.find(R"("channel_names":["Channel 1",)"), std::string::npos);

        MqttProbe later(broker_->plainPort()); // what the broker keeps
        ASSERT_EQ(later.on(base + "/status").size(), 1u);
        EXPECT_TRUE(later.on(base + "/status")[0].retained);
        EXPECT_EQ(later.on(base + "/status")[0].payload, "offline");
        EXPECT_EQ(later.on(base + "/info").size(), 1u);
        EXPECT_TRUE(later.on(base + "/telemetry").empty());
        if (c.prefix != "fleet/van7") {
            continue;
        }
        const std::string sensor = "homeassistant/sensor/tarnwell_74565_";
        std::size_t sensors = 0;
        for (const Received& m : later.all()) {
            sensors += m.topic.starts_with(sensor) && m.retained ? 1 : 0;
        }
        EXPECT_EQ(sensors, 37u); // 2 + 3 ignitions + 7 temperatures + 2 x 12 channels + inverter
        const std::string battery = lastOn(later, sensor + "battery_v/config");
        for (const char* member :
             {R"("state_topic":"fleet/van7/74565/telemetry")", R"("unit_of_measurement":"V")",
              R"("value_template":"{{ value_json.battery_v }}")",
              R"("availability_topic":"fleet/van7/74565/status")", R"("name":"Tarnwell 74565")"}) {
            EXPECT_NE(battery.find(member), std::string::npos) << member << " in " << battery;
        }
        // Without --allow-relay, switches of an earlier run are taken away.
        EXPECT_EQ(probe.on("homeassistant/switch/tarnwell_74565_relay_inv/config").at(0).payload,
                  "");
    }
}

TEST_F(Publish, RelayCommandsAreObeyedOnlyWithAllowRelayAndOnlyWhenWellFormed) {
    MqttProbe probe(broker_->plainPort());
    const std::string refused = std::string("norelay") + kBase;
    start({"publish", url(broker_->plainPort(), "norelay")});
    ASSERT_TRUE(probe.waitForMessage(refused + "/status", "online"));
    probe.publish(refused + "/relay/2/set", "ON");
    std::this_thread::sleep_for(300ms);
    Result r = finish();
    EXPECT_EQ(r.status, status::kSuccess) << r.err;
    EXPECT_TRUE(relayRequests().empty());
    EXPECT_TRUE(probe.on(refused + "/relay/2/state").empty());

    SetUp();
    stop_ = false;
    out_.str("");
    err_.str("");
    const std::string base = std::string("relay") + kBase;
    unit_->setLoad(1, 3.0);
    unit_->setLoad(4, 2.0);
    start({"publish", url(broker_->plainPort(), "relay"), "--allow-relay"});
    ASSERT_TRUE(probe.waitForMessage(base + "/relay/2/state", "OFF")); // every state at the start
    const std::pair<std::string, std::string> obeyed[] = {
        {"2", "ON"}, {"inv", "ON"}, {"2", "TOGGLE"}, {"12", "OFF"}};
    const char* const answers[] = {"ON", "ON", "OFF", "OFF"};
    for (std::size_t i = 0; i < std::size(obeyed); ++i) {
        const std::string state = base + "/relay/" + obeyed[i].first + "/state";
        probe.publish(base + "/relay/" + obeyed[i].first + "/set", obeyed[i].second);
        EXPECT_TRUE(probe.waitFor([&](const MqttProbe& p) {
            return p.on(state).size() >= 2 && lastOn(p, state) == answers[i];
        })) << obeyed[i].first;
    }
    const std::pair<std::string, std::string> malformed[] = {
        {"13", "ON"}, {"0", "ON"},  {"02", "ON"}, {"x", "ON"},      {"inverter", "ON"},
        {"3", "on"},  {"3", " ON"}, {"3", ""},    {"3", "ON\nOFF"}, {"3/extra", "ON"}};
    for (const auto& [level, payload] : malformed) {
        probe.publish(base + "/relay/" + level + "/set", payload);
    }
    probe.publish(base + "/relay/5/set", "ON"); // after the others: they have all been seen
    EXPECT_TRUE(probe.waitForMessage(base + "/relay/5/state", "ON"));
    r = finish();
    EXPECT_EQ(r.status, status::kSuccess) << r.err;
    EXPECT_EQ(relayRequests(),
              (std::vector<std::pair<int, int>>{{1, 1}, {12, 1}, {1, 2}, {11, 0}, {4, 1}}));
    EXPECT_TRUE(unit_->relayClosed(4));
    EXPECT_FALSE(unit_->relayClosed(1));
    for (const auto& [level, payload] : malformed) {
        if (level.find('/') == std::string::npos) { // a deeper topic is not subscribed to
            EXPECT_NE(r.err.find("ignored a message on " + base + "/relay/" + level + "/set"),
                      std::string::npos)
                << level << " " << payload << "\n"
                << r.err;
        }
    }
    EXPECT_EQ(count(r.err, "ignored a message"), std::size(malformed) - 1);
}

TEST_F(Publish, ARefusedPasswordOrCertificateEndsWithAClearMessage) {
    const std::string right = dir_.file("right");
    const std::string wrong = dir_.file("wrong");
    Corvane::test::writeBytes(right, std::string(MqttBroker::kPassword) + "\n");
    Corvane::test::writeBytes(wrong, "guess\n");
    const std::uint16_t pw = broker_->passwordPort();
    const std::uint16_t tls = broker_->tlsPort();
    struct Case {
        std::string url;
        std::vector<std::string> options;
        const char* environment;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {url(pw, "a1", MqttBroker::kUser),
         {"--password-file", wrong},
         nullptr,
         1,
         "refused the connection"},
        {url(pw, "a2"), {}, nullptr, 1, "check the user name in the URL and the password"},
        {url(pw, "a3", MqttBroker::kUser),
         {"--password-file", right},
         "guess",
         0,
         "connected to mqtt://127.0.0.1"},
        {url(pw, "a4", MqttBroker::kUser), {}, MqttBroker::kPassword, 0, "connected to"},
        {url(tls, "t1", "", true),
         {"--cafile", broker_->otherCaFile()},
         nullptr,
         1,
         "certificate verify failed"},
        {url(tls, "t2", "", true),
         {"--cafile", broker_->caFile()},
         nullptr,
         0,
         "connected to mqtts://127.0.0.1"},
    };
    for (const Case& c : cases) {
        SetUp();
        out_.str("");
        err_.str("");
        c.environment ? setenv("TARNWELL_MQTT_PASSWORD", c.environment, 1)
                      : unsetenv("TARNWELL_MQTT_PASSWORD");
        std::vector<std::string> args{"publish", c.url, "--count", c.status == 0 ? "10" : "500"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        MqttProbe probe(broker_->plainPort());
        const Result r = runToEnd(args);
        EXPECT_EQ(r.status, c.status) << c.url << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.url << "\n" << r.err;
        const std::string prefix = c.url.substr(c.url.rfind('/') + 1);
        EXPECT_EQ(probe.waitForMessage(prefix + kBase + "/telemetry", "", 1s), c.status == 0);
        EXPECT_FALSE(unit_->streaming());
    }
    unsetenv("TARNWELL_MQTT_PASSWORD");
}

TEST_F(Publish, WhileTheBrokerIsAwayTheQueueDropsItsOldestAndSaysSoOnceAMinute) {
    hook_ = [this](long call) {
        if (call == 60) { // about packet 30: a minute passes for the command
            skew_ += 61s;
        }
    };
    const Result r =
        runToEnd({"publish", url(freePort(), "away"), "--queue", "5", "--count", "60"});
    EXPECT_EQ(r.status, status::kSuccess) << r.err;
    EXPECT_EQ(count(r.err, "messages dropped in the last minute"), 1u) << r.err;
    EXPECT_NE(r.err.find("54 messages dropped in all, 5 not delivered"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("cannot reach mqtt://127.0.0.1"), std::string::npos) << r.err;
    EXPECT_FALSE(unit_->streaming());
}

TEST_F(Publish, AnUnpluggedUnitIsWaitedForAndPickedUpAgain) {
    long unpluggedAt = 0;
    hook_ = [&](long call) {
        if (call == 40) {
            unit_->unplug();
            unpluggedAt = call;
        } else if (unpluggedAt != 0 && call == unpluggedAt + 20) { // about a second later
            unit_->replug();
        }
    };
    MqttProbe probe(broker_->plainPort());
    const std::string base = std::string("replug") + kBase;
    const Result r = runToEnd({"publish", url(broker_->plainPort(), "replug"), "--count", "60"});
    EXPECT_EQ(r.status, status::kSuccess) << r.err;
    ASSERT_TRUE(probe.waitForMessage(base + "/status", "offline"));
    probe.waitFor([&](const MqttProbe& p) { return p.on(base + "/status").size() >= 4; }, 2s);
    std::vector<std::string> states;
    for (const Received& m : probe.on(base + "/status")) {
        states.push_back(m.payload);
    }
    EXPECT_EQ(states, (std::vector<std::string>{"online", "offline", "online", "offline"}));
    EXPECT_NE(r.err.find("disconnected; waiting"), std::string::npos) << r.err;
    EXPECT_GE(probe.on(base + "/telemetry").size(), 55u); // both stretches, 60 packets in all
}

} // namespace
