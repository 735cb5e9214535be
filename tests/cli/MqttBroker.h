#pragma once

// A real Mosquitto broker for the publish tests, on free loopback ports, with a configuration,
// certificates and a password file made for it: one plain listener, one TLS listener whose
// certificate a test CA signed (for 127.0.0.1), and one that wants a user name and password.
// And a client that subscribes to everything and keeps what arrives.

#include "TestSupport.h"

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace clitest {

class MqttBroker {
public:
    static constexpr const char* kUser = "gateway";
    static constexpr const char* kPassword = "s3cret word";

    MqttBroker(); // makes the files; start() runs the broker
    ~MqttBroker();
    MqttBroker(const MqttBroker&) = delete;
    MqttBroker& operator=(const MqttBroker&) = delete;

    // Starts the broker and waits until its plain listener takes connections.
    void start();
    void stop();

    std::uint16_t plainPort() const { return ports_[0]; }
    std::uint16_t tlsPort() const { return ports_[1]; }
    std::uint16_t passwordPort() const { return ports_[2]; }
    std::string caFile() const { return dir_.file("ca.crt"); }
    std::string otherCaFile() const { return dir_.file("other-ca.crt"); } // signed nothing here
    std::string file(const std::string& name) const { return dir_.file(name); }

private:
    void makeCertificates() const;
    void writeConfiguration() const;

    Corvane::test::TempDir dir_;
    std::uint16_t ports_[3] = {};
    pid_t pid_ = -1;
};

// A loopback port that nothing listens on (at the moment it is chosen).
std::uint16_t freePort();

struct Received {
    std::string topic;
    std::string payload;
    bool retained = false;
};

// A libmosquitto client on its own thread, subscribed to every topic from construction on.
class MqttProbe {
public:
    explicit MqttProbe(std::uint16_t port);
    ~MqttProbe();
    MqttProbe(const MqttProbe&) = delete;
    MqttProbe& operator=(const MqttProbe&) = delete;

    void publish(const std::string& topic, const std::string& payload);
    std::vector<Received> all() const;
    std::vector<Received> on(const std::string& topic) const;
    // Waits until `done` holds for what has arrived, for at most `limit`.
    bool waitFor(const std::function<bool(const MqttProbe&)>& done,
                 std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    // Waits for a message on `topic` with `payload` (any payload when empty).
    bool waitForMessage(const std::string& topic, const std::string& payload = {},
                        std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

private:
    static void onMessage(mosquitto*, void* self, const mosquitto_message* m);

    struct Destroy {
        void operator()(mosquitto* m) const;
    };
    std::unique_ptr<mosquitto, Destroy> client_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Received> received_;
};

} // namespace clitest
