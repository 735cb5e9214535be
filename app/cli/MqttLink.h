#pragma once

#include "BoundedQueue.h"
#include "MqttMessage.h"
#include "MqttUrl.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace Corvane::cli {

struct MqttOptions {
    MqttUrl url;
    std::optional<std::string> password;
    std::string caFile; // empty with TLS: the system's certificate authorities
    std::string certFile;
    std::string keyFile;
    std::string clientId;
    MqttMessage will;         // what the broker publishes when the link dies
    std::string subscription; // a topic filter to subscribe to; empty: none
    int keepaliveSeconds = 10;
};

// The link to the broker, run by a network thread of its own so that whoever fills the outbox
// never waits for the network. The thread connects, publishes the birth messages on every
// connection (the broker may have lost its retained ones), then sends the outbox in order as
// fast as the socket takes it: while the socket is full nothing more is handed to libmosquitto,
// so a stalled broker fills the bounded outbox, which drops its oldest messages. A connection
// that fails or is lost is tried again after 1 s, doubling to 60 s. A refusal of the user name
// or password, or a TLS failure, before any connection has worked is fatal: retrying would not
// mend it. Log lines go to `log`, for the owner's thread to print.
class MqttLink {
public:
    // Called on the network thread for each message that arrives on the subscription.
    using MessageHandler = std::function<void(const std::string& topic, std::string_view payload)>;

    MqttLink(MqttOptions options, BoundedQueue<MqttMessage>& outbox, BoundedQueue<std::string>& log,
             MessageHandler onMessage);
    ~MqttLink(); // ends the thread at once, without a clean disconnect
    MqttLink(const MqttLink&) = delete;
    MqttLink& operator=(const MqttLink&) = delete;

    // Sets the client up and starts the network thread; false with `problem` when libmosquitto
    // refuses the settings (a TLS file it cannot use).
    bool start(std::string& problem);
    // What to publish first on each connection, replacing what was given before.
    void setBirth(std::vector<MqttMessage> birth);
    // Ends the link: while connected, sends what the outbox holds (for at most `drain`), then
    // `last`, and disconnects cleanly; joins the thread. Returns whether `last` was sent.
    bool finish(MqttMessage last, std::chrono::milliseconds drain);

    bool connected() const { return connected_; }
    // Why the link gave up, when it did.
    std::optional<std::string> fatalError() const;

private:
    struct MosquittoDeleter {
        void operator()(mosquitto* m) const;
    };
    enum class Outcome { Up, Lost, NeverUp, Fatal, Stopped };

    void run();
    Outcome session();
    Outcome awaitConnack();
    Outcome pump();
    bool sendOutbox(std::chrono::steady_clock::time_point until);
    bool closeCleanly();
    Outcome refused();
    Outcome failed(int rc, bool handshake);
    void waitBeforeRetry(std::chrono::seconds delay);
    void logLine(std::string line);
    bool stopping() const { return stopping_; }

    static void onConnect(mosquitto*, void* self, int rc);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    MqttOptions options_;
    BoundedQueue<MqttMessage>& outbox_;
    BoundedQueue<std::string>& log_;
    MessageHandler handler_;
    std::unique_ptr<mosquitto, MosquittoDeleter> client_;
    std::thread thread_;

    std::atomic<bool> connected_ = false;
    std::atomic<bool> stopping_ = false;
    bool everConnected_ = false; // network thread only
    int connack_ = -1;           // network thread only: the broker's answer to the last CONNECT
    std::string tlsError_;       // network thread only: the last TLS error libmosquitto logged

    mutable std::mutex mutex_; // guards what follows
    std::condition_variable wake_;
    std::vector<MqttMessage> birth_;
    std::optional<MqttMessage> last_;
    std::chrono::milliseconds drain_{0};
    bool lastSent_ = false;
    std::optional<std::string> fatal_;
};

} // namespace Corvane::cli
