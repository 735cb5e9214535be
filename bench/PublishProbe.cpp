// What publishing costs the USB side, against a local Mosquitto broker that this program starts
// (Debian's mosquitto), over the simulated unit in real time at 50 packets a second:
//
//   probe_publish cpu [seconds]    the process's CPU share of one core during `watch --json`
//                                  (output to /dev/null) and during `publish`, and the difference
//   probe_publish stall [seconds]  `publish` while the broker is stopped (SIGSTOP) after the
//                                  first second: the longest time the USB thread spent between
//                                  two stream reads, with the broker answering and stalled
//
// Figures, not pass/fail: the budgets are 3 % of a core on top of watch, and 1 ms.

#include "Cli.h"
#include "ProcessCpu.h"
#include "SimBus.h"
#include "SimRealClock.h"
#include "SimUnit.h"
#include "TarnUsb.h"
#include "TerminalMain.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::uint16_t freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    close(fd);
    return ntohs(a.sin_port);
}

// A broker on a free loopback port, for as long as the object lives.
class Broker {
public:
    Broker()
        : port_(freePort()) {
        std::ofstream(conf_) << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\n";
        std::string program = "mosquitto";
        std::string flag = "-c";
        char* argv[] = {program.data(), flag.data(), conf_.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "mosquitto", &actions, nullptr, argv, environ) != 0) {
            std::fprintf(stderr, "cannot start mosquitto (apt install mosquitto)\n");
            std::exit(1);
        }
        posix_spawn_file_actions_destroy(&actions);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~Broker() {
        kill(pid_, SIGCONT);
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        std::remove(conf_.c_str());
    }
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;
    void pause() const { kill(pid_, SIGSTOP); }
    std::string url() const { return "mqtt://127.0.0.1:" + std::to_string(port_) + "/bench"; }

private:
    std::uint16_t port_;
    std::string conf_ = "/tmp/probe_publish_" + std::to_string(getpid()) + ".conf";
    pid_t pid_ = -1;
};

// The unit's link, timing how long the caller stays away between two stream reads.
class TimedUsb : public tarn::TarnUsb {
public:
    int32_t readStream(uint8_t* data, int32_t size) override {
        const auto entry = Clock::now();
        if (lastExit_ && onStall_ == stalled_.load()) {
            auto& worst = stalled_ ? worstStalled_ : worstAnswering_;
            worst = std::max(worst, entry - *lastExit_);
        }
        onStall_ = stalled_.load();
        const int32_t n = tarn::TarnUsb::readStream(data, size);
        lastExit_ = Clock::now();
        return n;
    }
    std::atomic<bool> stalled_ = false;
    Clock::duration worstAnswering_{0};
    Clock::duration worstStalled_{0};

private:
    std::optional<Clock::time_point> lastExit_;
    bool onStall_ = false;
};

int run(tarn::TarnInterface& dev, const std::vector<std::string>& args, std::ostream& err) {
    std::ofstream devNull("/dev/null");
    Corvane::cli::Session session{dev, devNull, err, std::locale::classic(),
                                  &Corvane::cli::steadyNow};
    return Corvane::cli::runCli(args, session);
}

double share(tarn::TarnInterface& dev, const std::vector<std::string>& args) {
    std::ostringstream err;
    const auto start = Clock::now();
    const double cpu = cpuSeconds();
    run(dev, args, err);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    return (cpuSeconds() - cpu) / wall * 100.0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : (mode == "stall" ? 30 : 20);
    if ((mode != "cpu" && mode != "stall") || seconds < 2) {
        std::fprintf(stderr, "usage: probe_publish cpu|stall [seconds]\n");
        return 2;
    }
    sim::SimRealClock clock;
    sim::SimUnit unit(sim::SimBus::instance(), clock);
    sim::SimBus::instance().setRecording(false);
    Broker broker;
    const std::string packets = std::to_string(50 * seconds);
    TimedUsb dev;
    if (mode == "cpu") {
        const double watch = share(dev, {"watch", "--json", "--count", packets});
        const double publish = share(dev, {"publish", broker.url(), "--count", packets});
        std::printf("CPU share of one core over %d s at 50 packets/s:\n", seconds);
        std::printf("  watch --json      %6.2f %%\n  publish           %6.2f %%\n", watch, publish);
        std::printf("  publish - watch   %6.2f %%   (budget 3 %%)\n", publish - watch);
        return 0;
    }
    std::thread staller([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        broker.pause();
        dev.stalled_ = true;
    });
    std::ostringstream err;
    run(dev, {"publish", broker.url(), "--count", packets}, err);
    staller.join();
    const auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    std::printf("Longest time between two stream reads, publishing at 50 packets/s:\n");
    std::printf("  broker answering (1 s)        %7.3f ms\n", ms(dev.worstAnswering_));
    std::printf("  broker stopped (%2d s)         %7.3f ms   (budget 1 ms)\n", seconds - 1,
                ms(dev.worstStalled_));
    std::printf("What publish said:\n%s", err.str().c_str());
    return 0;
}
