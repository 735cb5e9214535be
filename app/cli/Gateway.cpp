#include "Gateway.h"

#include "ExitStatus.h"
#include "HomeAssistant.h"
#include "TelemetryJson.h"
#include "UnitProbe.h"

#include <thread>

namespace Corvane::cli {
namespace {

using namespace std::chrono_literals;

constexpr auto kOpenRetry = 1s;
constexpr auto kDropReportPeriod = 60s;
constexpr auto kDrainAtEnd = 2000ms;
constexpr int kAnswerAfterStatusBlocks = 2; // the first may have left before the request came

} // namespace

Gateway::Gateway(Session& s, const PublishOptions& options, MqttUrl url,
                 std::optional<std::string> password, const InterruptFlag& interrupt)
    : s_(s)
    , options_(options)
    , url_(std::move(url))
    , password_(std::move(password))
    , interrupt_(interrupt)
    , outbox_(options.queue) {}

Gateway::~Gateway() = default;

bool Gateway::stopRequested() const {
    return interrupt_.raised() || (options_.count != 0 && packets_ >= options_.count);
}

int Gateway::run() {
    while (!stopRequested()) {
        if (!waitForUnit()) {
            break;
        }
        if (!topics_ || s_.dev.serialNumber() != info_.serial) {
            if (link_) {
                s_.err << "tarnwell-cli: another unit (serial " << s_.dev.serialNumber()
                       << ") took the place of unit " << info_.serial << ".\n";
                link_->finish({topics_->status(), "offline", true}, kDrainAtEnd);
            }
            std::string problem;
            if (!startLink(problem)) {
                s_.err << "tarnwell-cli: " << problem << '\n';
                return finish(exit_status::kDeviceFailure);
            }
        } else {
            announceUnit(true);
        }
        const End end = stream();
        if (end == End::Failed) {
            return finish(exit_status::kDeviceFailure);
        }
    }
    return finish(exit_status::kSuccess);
}

bool Gateway::waitForUnit() {
    std::string said;
    Time nextTry = s_.clock();
    while (!stopRequested()) {
        housekeeping();
        if (link_ && link_->fatalError()) {
            return false;
        }
        const Time now = s_.clock();
        if (now >= nextTry) {
            if (s_.dev.isOpen() || s_.dev.open()) {
                return true;
            }
            const std::string why = explainOpenFailure(s_.dev);
            if (why != said) {
                s_.err << "tarnwell-cli: waiting for a unit: " << why << '\n' << std::flush;
                said = why;
            }
            nextTry = now + kOpenRetry;
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

bool Gateway::startLink(std::string& problem) {
    info_ = readUnitInfo(s_.dev);
    topics_.emplace(url_.prefix, info_.serial);
    MqttOptions o;
    o.url = url_;
    o.password = password_;
    o.caFile = options_.caFile;
    o.certFile = options_.certFile;
    o.keyFile = options_.keyFile;
    o.clientId = "tarnwell-" + std::to_string(info_.serial);
    o.will = {topics_->status(), "offline", true};
    if (options_.allowRelay) {
        o.subscription = topics_->relaySubscription();
    }
    auto handler = [this, topics = *topics_](const std::string& topic, std::string_view payload) {
        std::string why;
        if (const std::optional<RelayCommand> c = parseRelayCommand(topics, topic, payload, why)) {
            relayInbox_.push(*c);
        } else {
            log_.push("ignored a message on " + printable(topic, 120) + ": " + why);
        }
    };
    link_ = std::make_unique<MqttLink>(std::move(o), outbox_, log_, std::move(handler));
    announceUnit(false);
    return link_->start(problem);
}

// What the broker is to hold about the unit: sent on every connection, and at once when the
// unit comes back while the link is up.
void Gateway::announceUnit(bool again) {
    if (again) {
        info_ = readUnitInfo(s_.dev);
    }
    std::vector<MqttMessage> birth{{topics_->info(), unitInfoJson(info_), true}};
    if (options_.homeAssistant) {
        for (MqttMessage& m : homeAssistantDiscovery(*topics_, info_, options_.allowRelay)) {
            birth.push_back(std::move(m));
        }
    }
    birth.push_back({topics_->status(), "online", true});
    link_->setBirth(birth);
    if (again && link_->connected()) { // else the connection to come sends them
        for (MqttMessage& m : birth) {
            outbox_.push(std::move(m));
        }
    }
}

Gateway::End Gateway::stream() {
    if (!s_.dev.sendDataStreamEnable()) {
        s_.err << "tarnwell-cli: the unit did not take the request to start its telemetry.\n";
        s_.dev.closeDevice(); // and open it again, as after an unplug
        return End::Vanished;
    }
    streamStart_ = s_.clock();
    nextTelemetry_.reset();
    seen_ = {};
    relayStates_ = {};
    pending_.clear();
    while (!stopRequested()) {
        housekeeping();
        if (link_->fatalError()) {
            return End::Failed;
        }
        sendRelayCommands();
        tarn::DataStreamFeedback packet;
        s_.dev.readDataStream(packet); // a block converted before a short one still counts
        if (packet.empty()) {
            if (!s_.dev.isOpen()) {
                s_.err << "tarnwell-cli: the unit was disconnected; waiting for it.\n";
                outbox_.push({topics_->status(), "offline", true});
                std::vector<MqttMessage> birth{{topics_->info(), unitInfoJson(info_), true},
                                               {topics_->status(), "offline", true}};
                link_->setBirth(std::move(birth));
                return End::Vanished;
            }
            continue;
        }
        ++packets_;
        onPacket(packet, s_.clock());
    }
    return End::Stopped;
}

void Gateway::onPacket(const tarn::DataStreamFeedback& packet, Time now) {
    seen_.takeFrom(packet);
    // Published once every block has come, so that no member is ever null on the broker.
    if (seen_.power != nullptr && seen_.status != nullptr && seen_.temp != nullptr) {
        publishTelemetry(now);
    }
    if (options_.allowRelay && packet.status != nullptr) {
        publishRelayStates(*packet.status);
    }
}

void Gateway::publishTelemetry(Time now) {
    if (options_.rate > 0) {
        const auto interval =
            std::chrono::duration_cast<Time>(std::chrono::duration<double>(1.0 / options_.rate));
        if (nextTelemetry_ && now < *nextTelemetry_) {
            return;
        }
        // Keep the cadence, but never save up messages for a burst after a pause.
        nextTelemetry_ = nextTelemetry_ && now - *nextTelemetry_ < interval
                             ? *nextTelemetry_ + interval
                             : now + interval;
    }
    const double seconds = std::chrono::duration<double>(now - streamStart_).count();
    outbox_.push({topics_->telemetry(), telemetryJson(seconds, seen_), false});
}

void Gateway::publishRelayStates(const tarn::StatusF32& status) {
    std::array<bool, 13> sent{};
    for (std::uint32_t output = 0; output < relayStates_.size(); ++output) {
        const std::string state(tarn::outputStateText(status, output));
        if (state != relayStates_[output]) {
            relayStates_[output] = state;
            outbox_.push({topics_->relayState(output), state, true});
            sent[output] = true;
        }
    }
    for (PendingAnswer& p : pending_) {
        if (--p.statusBlocks == 0 && !sent[p.output]) {
            outbox_.push({topics_->relayState(p.output), relayStates_[p.output], true});
            sent[p.output] = true;
        }
    }
    std::erase_if(pending_, [](const PendingAnswer& p) { return p.statusBlocks <= 0; });
}

void Gateway::sendRelayCommands() {
    for (const RelayCommand& c : relayInbox_.popAll()) {
        if (s_.dev.sendRelayRequest(c.output, c.action)) {
            pending_.push_back({c.output, kAnswerAfterStatusBlocks});
        } else {
            s_.err << "tarnwell-cli: the unit did not take the relay request for output "
                   << relayLevel(c.output) << ".\n";
        }
    }
}

// Between reads: the link's log lines, and once a minute what the queues had to drop.
void Gateway::housekeeping() {
    for (const std::string& line : log_.popAll()) {
        s_.err << "tarnwell-cli: " << line << '\n';
    }
    const Time now = s_.clock();
    if (now - lastDropReport_ >= kDropReportPeriod) {
        lastDropReport_ = now;
        const std::uint64_t dropped = outbox_.dropped();
        if (dropped > droppedReported_) {
            s_.err << "tarnwell-cli: " << dropped - droppedReported_
                   << " messages dropped in the last minute: the broker takes them more slowly "
                      "than the unit sends, or is away.\n";
            droppedReported_ = dropped;
        }
        const std::uint64_t relayDrops = relayInbox_.dropped();
        if (relayDrops > relayDropsReported_) {
            s_.err << "tarnwell-cli: " << relayDrops - relayDropsReported_
                   << " relay commands dropped: they came faster than the unit takes them.\n";
            relayDropsReported_ = relayDrops;
        }
    }
    s_.err << std::flush;
}

int Gateway::finish(int status) {
    if (s_.dev.isOpen() && !s_.dev.sendDataStreamDisable()) {
        s_.err << "tarnwell-cli: the unit did not take the request to stop its telemetry.\n";
        status = status == exit_status::kSuccess ? exit_status::kDeviceFailure : status;
    }
    const std::optional<std::string> fatal = link_ ? link_->fatalError() : std::nullopt;
    const bool offlineSent =
        link_ && link_->finish({topics_->status(), "offline", true}, kDrainAtEnd);
    housekeeping();
    if (fatal) {
        s_.err << "tarnwell-cli: " << *fatal << ".\n";
        status = exit_status::kDeviceFailure;
    }
    if (link_ && !offlineSent && !fatal) {
        s_.err << "tarnwell-cli: \"offline\" could not be published: the broker was not "
                  "reachable at the end.\n";
    }
    if (outbox_.dropped() > 0 || (outbox_.size() > 0 && !fatal)) {
        s_.err << "tarnwell-cli: " << outbox_.dropped() << " messages dropped in all, "
               << outbox_.size() << " not delivered at the end.\n";
    }
    return status;
}

} // namespace Corvane::cli
