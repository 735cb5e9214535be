#include "MqttLink.h"

#include <mosquitto.h>

#include <pthread.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace Corvane::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLoopTimeoutMs = 10; // how late the network thread may notice a new message
constexpr auto kMaxRetryDelay = std::chrono::seconds(60);

// libmosquitto's process-wide set-up, done once, undone at exit.
struct Library {
    Library() { mosquitto_lib_init(); }
    ~Library() { mosquitto_lib_cleanup(); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

void ensureLibrary() {
    static const Library library;
}

std::string brokerName(const MqttUrl& url) {
    const bool v6 = url.host.find(':') != std::string::npos;
    return (url.tls ? "mqtts://" : "mqtt://") + (v6 ? "[" + url.host + "]" : url.host) + ":" +
           std::to_string(url.port);
}

const char* orNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

void MqttLink::MosquittoDeleter::operator()(mosquitto* m) const {
    mosquitto_destroy(m);
}

MqttLink::MqttLink(MqttOptions options, BoundedQueue<MqttMessage>& outbox,
                   BoundedQueue<std::string>& log, MessageHandler onMessage)
    : options_(std::move(options))
    , outbox_(outbox)
    , log_(log)
    , handler_(std::move(onMessage)) {}

MqttLink::~MqttLink() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool MqttLink::start(std::string& problem) {
    ensureLibrary();
    client_.reset(mosquitto_new(options_.clientId.c_str(), true, this));
    if (!client_) {
        problem = std::string("libmosquitto cannot make a client: ") + std::strerror(errno);
        return false;
    }
    mosquitto* c = client_.get();
    mosquitto_connect_callback_set(c, &MqttLink::onConnect);
    mosquitto_message_callback_set(c, &MqttLink::onMessage);
    mosquitto_log_callback_set(c, &MqttLink::onLog);
    int rc = MOSQ_ERR_SUCCESS;
    if (!options_.url.user.empty()) {
        rc = mosquitto_username_pw_set(c, options_.url.user.c_str(),
                                       options_.password ? options_.password->c_str() : nullptr);
    }
    const MqttMessage& will = options_.will;
    if (rc == MOSQ_ERR_SUCCESS) {
        rc = mosquitto_will_set(c, will.topic.c_str(), static_cast<int>(will.payload.size()),
                                will.payload.data(), 1, will.retain);
    }
    if (rc == MOSQ_ERR_SUCCESS && options_.url.tls) {
        // Without a CA file of its own, the system's authorities vouch for the broker.
        const char* caPath = options_.caFile.empty() ? "/etc/ssl/certs" : nullptr;
        rc = mosquitto_tls_set(c, orNull(options_.caFile), caPath, orNull(options_.certFile),
                               orNull(options_.keyFile), nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        problem = std::string("the broker settings cannot be used: ") + mosquitto_strerror(rc);
        return false;
    }
    // The network thread takes no interrupt: they are for the USB thread, which ends the run
    // between two reads. A thread starts with its creator's signal mask.
    sigset_t interrupts;
    sigset_t previous;
    sigemptyset(&interrupts);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&interrupts, signal);
    }
    pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
    thread_ = std::thread(&MqttLink::run, this);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return true;
}

void MqttLink::setBirth(std::vector<MqttMessage> birth) {
    const std::lock_guard lock(mutex_);
    birth_ = std::move(birth);
}

bool MqttLink::finish(MqttMessage last, std::chrono::milliseconds drain) {
    {
        const std::lock_guard lock(mutex_);
        last_ = std::move(last);
        drain_ = drain;
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
    const std::lock_guard lock(mutex_);
    return lastSent_;
}

std::optional<std::string> MqttLink::fatalError() const {
    const std::lock_guard lock(mutex_);
    return fatal_;
}

void MqttLink::logLine(std::string line) {
    log_.push(std::move(line));
}

void MqttLink::run() {
    auto delay = std::chrono::seconds(1);
    while (!stopping()) {
        const Outcome outcome = session();
        if (outcome == Outcome::Fatal || outcome == Outcome::Stopped) {
            return;
        }
        if (outcome == Outcome::Lost) {
            delay = std::chrono::seconds(1);
        }
        logLine("trying the broker again in " + std::to_string(delay.count()) + " s");
        waitBeforeRetry(delay);
        delay =
            std::min(delay * 2, std::chrono::duration_cast<std::chrono::seconds>(kMaxRetryDelay));
    }
}

void MqttLink::waitBeforeRetry(std::chrono::seconds delay) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, delay, [this] { return stopping(); });
}

MqttLink::Outcome MqttLink::session() {
    const Outcome up = awaitConnack();
    if (up != Outcome::Up) {
        return up;
    }
    mosquitto* c = client_.get();
    std::vector<MqttMessage> birth;
    {
        const std::lock_guard lock(mutex_);
        birth = birth_;
    }
    for (const MqttMessage& m : birth) {
        mosquitto_publish(c, nullptr, m.topic.c_str(), static_cast<int>(m.payload.size()),
                          m.payload.data(), 0, m.retain);
    }
    if (!options_.subscription.empty()) {
        mosquitto_subscribe(c, nullptr, options_.subscription.c_str(), 0);
    }
    logLine(std::string(everConnected_ ? "connected again to " : "connected to ") +
            brokerName(options_.url));
    everConnected_ = true;
    connected_ = true;
    const Outcome outcome = pump();
    connected_ = false;
    return outcome;
}

MqttLink::Outcome MqttLink::awaitConnack() {
    mosquitto* c = client_.get();
    connack_ = -1;
    tlsError_.clear();
    int rc = mosquitto_connect_async(c, options_.url.host.c_str(), options_.url.port,
                                     options_.keepaliveSeconds);
    const auto deadline = Clock::now() + std::chrono::seconds(options_.keepaliveSeconds) * 3 / 2;
    while (rc == MOSQ_ERR_SUCCESS && connack_ < 0) {
        if (stopping()) {
            return Outcome::Stopped;
        }
        if (Clock::now() > deadline) {
            logLine(brokerName(options_.url) + " does not answer the connection request");
            mosquitto_disconnect(c);
            return Outcome::NeverUp;
        }
        rc = mosquitto_loop(c, kLoopTimeoutMs, 1);
    }
    if (connack_ == 0) {
        return Outcome::Up;
    }
    if (connack_ > 0) {
        return refused();
    }
    return failed(rc, true);
}

MqttLink::Outcome MqttLink::refused() {
    std::string reason = mosquitto_connack_string(connack_); // "Connection Refused: x."
    if (const std::size_t colon = reason.find(": "); colon != std::string::npos) {
        reason.erase(0, colon + 2);
    }
    if (reason.ends_with('.')) {
        reason.pop_back();
    }
    const std::string why = brokerName(options_.url) + " refused the connection: " + reason;
    const bool credentials = connack_ == 4 || connack_ == 5;
    if (credentials && !everConnected_) {
        const std::lock_guard lock(mutex_);
        fatal_ = why + "; check the user name in the URL and the password";
        return Outcome::Fatal;
    }
    logLine(why);
    return Outcome::NeverUp;
}

MqttLink::Outcome MqttLink::failed(int rc, bool handshake) {
    const int error = errno;
    const std::string broker = brokerName(options_.url);
    if (rc == MOSQ_ERR_TLS || !tlsError_.empty()) {
        const std::string why = "TLS with " + broker + " failed (" +
                                (tlsError_.empty() ? std::string("TLS error") : tlsError_) + ")";
        if (!everConnected_) {
            const std::lock_guard lock(mutex_);
            fatal_ = why + ": check --cafile, --cert and --key, and that the broker's "
                           "certificate names the host in the URL";
            return Outcome::Fatal;
        }
        logLine(why);
        return handshake ? Outcome::NeverUp : Outcome::Lost;
    }
    const std::string text = rc == MOSQ_ERR_ERRNO       ? std::string(std::strerror(error))
                             : rc == MOSQ_ERR_KEEPALIVE ? "it stopped answering"
                             : rc == MOSQ_ERR_CONN_LOST ? "the connection broke"
                                                        : mosquitto_strerror(rc);
    logLine((handshake ? "cannot reach " : "lost the connection to ") + broker + " (" + text + ")");
    return handshake ? Outcome::NeverUp : Outcome::Lost;
}

MqttLink::Outcome MqttLink::pump() {
    mosquitto* c = client_.get();
    while (!stopping()) {
        sendOutbox(Clock::time_point::max());
        const int rc = mosquitto_loop(c, kLoopTimeoutMs, 1);
        if (rc != MOSQ_ERR_SUCCESS) {
            return failed(rc, false);
        }
    }
    const bool sent = closeCleanly();
    const std::lock_guard lock(mutex_);
    lastSent_ = sent;
    return Outcome::Stopped;
}

// Hands messages to libmosquitto while the socket takes them. True once the outbox is empty.
bool MqttLink::sendOutbox(Clock::time_point until) {
    mosquitto* c = client_.get();
    while (!mosquitto_want_write(c) && Clock::now() < until) {
        std::optional<MqttMessage> m = outbox_.pop();
        if (!m) {
            return true;
        }
        mosquitto_publish(c, nullptr, m->topic.c_str(), static_cast<int>(m->payload.size()),
                          m->payload.data(), 0, m->retain);
    }
    return false;
}

bool MqttLink::closeCleanly() {
    std::optional<MqttMessage> last;
    std::chrono::milliseconds drain{0};
    {
        const std::lock_guard lock(mutex_);
        last = last_;
        drain = drain_;
    }
    if (!last) {
        return false; // abandoned: leave the last word to the broker's will
    }
    mosquitto* c = client_.get();
    const auto until = Clock::now() + drain;
    int rc = MOSQ_ERR_SUCCESS;
    while (rc == MOSQ_ERR_SUCCESS && !sendOutbox(until) && Clock::now() < until) {
        rc = mosquitto_loop(c, kLoopTimeoutMs, 1);
    }
    mosquitto_publish(c, nullptr, last->topic.c_str(), static_cast<int>(last->payload.size()),
                      last->payload.data(), 0, last->retain);
    const auto lastUntil = std::max(until, Clock::now() + std::chrono::milliseconds(500));
    while (rc == MOSQ_ERR_SUCCESS && mosquitto_want_write(c) && Clock::now() < lastUntil) {
        rc = mosquitto_loop(c, kLoopTimeoutMs, 1);
    }
    const bool sent = rc == MOSQ_ERR_SUCCESS && !mosquitto_want_write(c);
    mosquitto_disconnect(c);
    return sent;
}

void MqttLink::onConnect(mosquitto*, void* self, int rc) {
    static_cast<MqttLink*>(self)->connack_ = rc;
}

void MqttLink::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* link = static_cast<MqttLink*>(self);
    if (link->handler_ && message->topic != nullptr) {
        const std::string_view payload(static_cast<const char*>(message->payload),
                                       static_cast<std::size_t>(message->payloadlen));
        link->handler_(message->topic, message->payloadlen > 0 ? payload : std::string_view{});
    }
}

void MqttLink::onLog(mosquitto*, void* self, int level, const char* text) {
    // OpenSSL's reasons come only through the log: "OpenSSL Error[0]: error:...::<reason>".
    const std::string_view line = text != nullptr ? text : "";
    if ((level & MOSQ_LOG_ERR) != 0 && line.starts_with("OpenSSL Error")) {
        const std::size_t colon = line.rfind(':');
        static_cast<MqttLink*>(self)->tlsError_ =
            std::string(colon == std::string_view::npos ? line : line.substr(colon + 1));
    }
}

} // namespace Corvane::cli
