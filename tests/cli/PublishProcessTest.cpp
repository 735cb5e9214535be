// publish as a program: tarnwell-cli-sim run as a child process, killed, interrupted, and
// left running while its broker is stopped and started again.

#include "ExitStatus.h"
#include "MqttBroker.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

using namespace clitest;
using namespace std::chrono_literals;

constexpr const char* kBase = "/74565";

class Child {
public:
    Child(const std::vector<std::string>& args, const std::string& errFile) {
        std::vector<std::string> argv{TARN_CLI_SIM};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& a : argv) {
            pointers.push_back(a.data());
        }
        pointers.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT, 0644);
        if (posix_spawn(&pid_, TARN_CLI_SIM, &actions, nullptr, pointers.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int number) const { kill(pid_, number); }
    // The exit status, 128 + the signal that ended it, or -1 if it still runs after `limit`.
    int wait(std::chrono::milliseconds limit = 10s) {
        const auto until = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                return -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
};

std::string contents(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

double timeOf(const Received& telemetry) {
    const std::string key = "\"time_s\":";
    return std::stod(telemetry.payload.substr(telemetry.payload.find(key) + key.size()));
}

class PublishProgram : public ::testing::Test {
protected:
    void SetUp() override { broker_.start(); }
    std::string url(const std::string& prefix) const {
        return "mqtt://127.0.0.1:" + std::to_string(broker_.plainPort()) + "/" + prefix;
    }
    MqttBroker broker_;
};

TEST_F(PublishProgram, OfflineIsPublishedByTheProgramOrByItsLastWill) {
    struct Case {
        int signal;
        int exitStatus;
    };
    for (const Case c : {Case{SIGKILL, 128 + SIGKILL}, Case{SIGHUP, 0}, Case{SIGTERM, 0}}) {
        const std::string prefix = "end" + std::to_string(c.signal);
        const std::string status = prefix + kBase + "/status";
        MqttProbe probe(broker_.plainPort());
        Child child({"publish", url(prefix)}, broker_.file(prefix + ".err"));
        ASSERT_TRUE(child.started());
        ASSERT_TRUE(probe.waitForMessage(status, "online"));
        ASSERT_TRUE(probe.waitForMessage(prefix + kBase + "/telemetry"));
        child.signal(c.signal);
        EXPECT_EQ(child.wait(), c.exitStatus) << contents(broker_.file(prefix + ".err"));
        EXPECT_TRUE(probe.waitForMessage(status, "offline")) << c.signal;
        MqttProbe later(broker_.plainPort());
        ASSERT_EQ(later.on(status).size(), 1u);
        EXPECT_EQ(later.on(status)[0].payload, "offline"); // retained, will or not
    }
}

TEST_F(PublishProgram, ABrokerRestartedMidStreamIsJoinedAgainWithNothingReadMissed) {
    const std::string base = std::string("restart") + kBase;
    const std::string errFile = broker_.file("restart.err");
    auto before = std::make_unique<MqttProbe>(broker_.plainPort());
    Child child({"publish", url("restart")}, errFile);
    ASSERT_TRUE(before->waitFor(
        [&](const MqttProbe& p) { return p.on(base + "/telemetry").size() >= 10; }));
    const double lastBefore = timeOf(before->on(base + "/telemetry").back());
    before.reset();
    broker_.stop();
    std::this_thread::sleep_for(1500ms); // the stream is read on while the broker is away
    broker_.start();
    MqttProbe after(broker_.plainPort());
    ASSERT_TRUE(after.waitForMessage(base + "/status", "online")) << contents(errFile);
    ASSERT_TRUE(after.waitFor([&](const MqttProbe& p) {
        return p.on(base + "/telemetry").size() >= 150;
    })) << contents(errFile);

    // What was read while the broker was away arrives once it is back, without a gap.
    const std::vector<Received> telemetry = after.on(base + "/telemetry");
    EXPECT_LT(timeOf(telemetry.front()), lastBefore + 0.5);
    double largestGap = 0;
    for (std::size_t i = 1; i < telemetry.size(); ++i) {
        largestGap = std::max(largestGap, timeOf(telemetry[i]) - timeOf(telemetry[i - 1]));
    }
    EXPECT_LT(largestGap, 0.1);
    EXPECT_GT(timeOf(telemetry.back()) - timeOf(telemetry.front()), 2.0);

    child.signal(SIGTERM);
    EXPECT_EQ(child.wait(), Corvane::cli::exit_status::kSuccess);
    EXPECT_TRUE(after.waitForMessage(base + "/status", "offline"));
    const std::string err = contents(errFile);
    EXPECT_NE(err.find("lost the connection to mqtt://127.0.0.1"), std::string::npos) << err;
    EXPECT_NE(err.find("connected again to"), std::string::npos) << err;
}

} // namespace
