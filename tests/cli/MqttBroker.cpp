#include "MqttBroker.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace clitest {
namespace {

void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("failed: " + command);
    }
}

bool accepts(std::uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

} // namespace

std::uint16_t freePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

MqttBroker::MqttBroker() {
    for (std::size_t i = 0; i < std::size(ports_); ++i) {
        do {
            ports_[i] = freePort();
        } while (std::count(ports_, ports_ + i, ports_[i]) != 0);
    }
    makeCertificates();
    writeConfiguration();
}

MqttBroker::~MqttBroker() {
    stop();
}

void MqttBroker::makeCertificates() const {
    const std::string d = dir_.path().string();
    const std::string quiet = " >>" + d + "/openssl.log 2>&1";
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    for (const char* ca : {"ca", "other-ca"}) {
        run("openssl req -x509" + ec + " -days 2 -subj /CN=" + ca + " -keyout " + d + "/" + ca +
            ".key -out " + d + "/" + ca + ".crt" + quiet);
    }
    std::ofstream(d + "/server.ext") << "subjectAltName=IP:127.0.0.1,DNS:localhost\n";
    run("openssl req" + ec + " -subj /CN=127.0.0.1 -keyout " + d + "/server.key -out " + d +
        "/server.csr" + quiet);
    run("openssl x509 -req -days 2 -in " + d + "/server.csr -CA " + d + "/ca.crt -CAkey " + d +
        "/ca.key -CAcreateserial -extfile " + d + "/server.ext -out " + d + "/server.crt" + quiet);
    run("mosquitto_passwd -c -b " + d + "/passwd " + kUser + " '" + kPassword + "'" + quiet);
}

void MqttBroker::writeConfiguration() const {
    std::ofstream conf(dir_.file("mosquitto.conf"));
    conf << "per_listener_settings true\n"
         << "user root\n" // stays the user it was started as, who can read these files
         << "listener " << ports_[0] << " 127.0.0.1\nallow_anonymous true\n"
         << "listener " << ports_[1] << " 127.0.0.1\nallow_anonymous true\n"
         << "cafile " << caFile() << "\ncertfile " << dir_.file("server.crt") << "\nkeyfile "
         << dir_.file("server.key") << '\n'
         << "listener " << ports_[2] << " 127.0.0.1\nallow_anonymous false\n"
         << "password_file " << dir_.file("passwd") << '\n';
}

void MqttBroker::start() {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = dir_.file("broker.log");
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const std::string conf = dir_.file("mosquitto.conf");
    std::string program = "mosquitto";
    char* argv[] = {program.data(), const_cast<char*>("-c"), const_cast<char*>(conf.c_str()),
                    nullptr};
    const int rc = posix_spawnp(&pid_, "mosquitto", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start mosquitto");
    }
    for (int i = 0; i < 500 && !accepts(plainPort()); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void MqttBroker::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

MqttProbe::MqttProbe(std::uint16_t port) {
    static const int initialised = mosquitto_lib_init();
    (void)initialised;
    client_.reset(mosquitto_new(nullptr, true, this));
    mosquitto_message_callback_set(client_.get(), &MqttProbe::onMessage);
    if (mosquitto_connect(client_.get(), "127.0.0.1", port, 30) != MOSQ_ERR_SUCCESS) {
        throw std::runtime_error("the probe cannot connect to the broker");
    }
    // Subscribed before the thread runs, so that the SUBACK has come when the first
    // publish of the test can go out: a ping after the subscription proves it.
    mosquitto_subscribe(client_.get(), nullptr, "#", 0);
    mosquitto_loop_start(client_.get());
    publish("probe/ready", "1");
    if (!waitForMessage("probe/ready")) {
        throw std::runtime_error("the probe's subscription did not take");
    }
}

MqttProbe::~MqttProbe() {
    mosquitto_disconnect(client_.get());
    mosquitto_loop_stop(client_.get(), false);
}

void MqttProbe::Destroy::operator()(mosquitto* m) const {
    mosquitto_destroy(m);
}

void MqttProbe::publish(const std::string& topic, const std::string& payload) {
    mosquitto_publish(client_.get(), nullptr, topic.c_str(), static_cast<int>(payload.size()),
                      payload.data(), 1, false);
}

std::vector<Received> MqttProbe::all() const {
    const std::lock_guard lock(mutex_);
    return received_;
}

std::vector<Received> MqttProbe::on(const std::string& topic) const {
    std::vector<Received> out;
    for (const Received& r : all()) {
        if (r.topic == topic) {
            out.push_back(r);
        }
    }
    return out;
}

bool MqttProbe::waitFor(const std::function<bool(const MqttProbe&)>& done,
                        std::chrono::milliseconds limit) const {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done(*this)) {
        if (std::chrono::steady_clock::now() >= until) {
            return false;
        }
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::milliseconds(20));
    }
    return true;
}

bool MqttProbe::waitForMessage(const std::string& topic, const std::string& payload,
                               std::chrono::milliseconds limit) const {
    return waitFor(
        [&](const MqttProbe& p) {
            for (const Received& r : p.on(topic)) {
                if (payload.empty() || r.payload == payload) {
                    return true;
                }
            }
            return false;
        },
        limit);
}

void MqttProbe::onMessage(mosquitto*, void* self, const mosquitto_message* m) {
    auto* probe = static_cast<MqttProbe*>(self);
    {
        const std::lock_guard lock(probe->mutex_);
        std::string payload;
        if (m->payloadlen > 0) {
            payload.assign(static_cast<const char*>(m->payload),
                           static_cast<std::size_t>(m->payloadlen));
        }
        probe->received_.push_back({m->topic, std::move(payload), m->retain});
    }
    probe->arrived_.notify_all();
}

} // namespace clitest
