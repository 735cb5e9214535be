#include "Cli.h"

#include "BackupCommands.h"
#include "Commands.h"
#include "ConfigFileError.h"
#include "Doctor.h"
#include "ExitStatus.h"
#include "Publish.h"
#include "UnitProbe.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>

namespace Corvane::cli {
namespace {

constexpr const char* kFooter = R"(Exit status:
  0  success
  1  the unit failed during the command: it went away, did not answer, or (save) some
     items could not be read; those are named and left out of the file; (load) some item
     could not be read for the backup, so nothing was sent; or (publish) the broker
     refused the user name or password, or TLS with it failed
  2  usage error: unknown command, bad option or argument (a channel other than 1-12 or inv)
  3  no unit: none is connected, or it cannot be opened (the message says why; for a
     permission problem run "tarnwell-cli doctor", or see "USB access on Linux" in the
     README); doctor: the unit cannot be opened
  4  file error: the file cannot be read or written, or is not well-formed XML; (load) the
     backup cannot be written, so nothing was sent
  5  load: some item does not read back from the unit as the file gives it
  6  diff: some item differs

Numbers in configuration files ("Fuse", "I2T") and on screen use the decimal separator of
your locale (LC_ALL, LC_NUMERIC, LANG), as the Tarnwell window does, so that files move
between the two. watch --csv always writes "." decimals and "," between fields.

Before load sends anything it keeps the unit's configuration as a backup, in
$XDG_DATA_HOME/tarnwell/backups (~/.local/share/tarnwell/backups), the window's folder.
)";

struct Choices {
    std::string savePath;
    std::string loadPath;
    bool dryRun = false;
    WatchOptions watch;
    bool infoJson = false;
    PublishOptions publish;
    std::string relayChannel;
    std::string relayAction;
    BackupChoices backup;
};

struct Commands {
    CLI::App* info;
    CLI::App* save;
    CLI::App* load;
    CLI::App* watch;
    CLI::App* relay;
    CLI::App* publish;
    CLI::App* doctor;
};

CLI::App* describePublish(CLI::App& app, PublishOptions& p) {
    CLI::App* cmd = app.add_subcommand(
        "publish", "Send the unit's telemetry to an MQTT broker until Ctrl-C (see the README)");
    cmd->add_option("URL", p.url, "mqtt://[user@]host[:port]/prefix, or mqtts:// for TLS")
        ->required();
    cmd->add_option("--cafile", p.caFile, "Certificate authorities that vouch for the broker")
        ->type_name("FILE");
    cmd->add_option("--cert", p.certFile, "Client certificate (with --key)")->type_name("FILE");
    cmd->add_option("--key", p.keyFile, "Client certificate's private key")->type_name("FILE");
    cmd->add_option("--password-file", p.passwordFile,
                    std::string("Broker password, the file's first line (else $") +
                        kPasswordVariable + ")")
        ->type_name("FILE");
    cmd->add_option("--rate", p.rate, "Telemetry messages a second at most (latest values)")
        ->type_name("HZ")
        ->check(CLI::Range(0.001, 1000.0));
    cmd->add_flag("--homeassistant", p.homeAssistant,
                  "Announce the unit's sensors to Home Assistant (MQTT discovery)");
    cmd->add_flag("--allow-relay", p.allowRelay,
                  "Obey ON, OFF and TOGGLE on <prefix>/<serial>/relay/<1-12|inv>/set");
    cmd->add_option("--count", p.count, "Stop after N packets")
        ->type_name("N")
        ->check(CLI::Range(1u, 1000000000u));
    cmd->add_option("--queue", p.queue, "Messages held for a slow or absent broker (500)")
        ->type_name("N")
        ->check(CLI::Range(std::size_t{1}, std::size_t{1000000}));
    return cmd;
}

Commands describe(CLI::App& app, Choices& c) {
    app.require_subcommand(1);
    app.footer(kFooter);
    app.set_version_flag("--version", std::string("tarnwell-cli ") + TARN_VERSION);
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return "tarnwell-cli: " + std::string(e.what()) +
               "\nRun 'tarnwell-cli --help' for the commands.\n";
    });
    Commands cmd{};
    cmd.info = app.add_subcommand(
        "info", "Show the unit's firmware version, hardware revision and serial number");
    cmd.info->add_flag("--json", c.infoJson,
                       "One JSON object, with the names of the outputs (see the README)");
    cmd.save = app.add_subcommand(
        "save", "Read the unit's whole configuration and write it to FILE (the window's format)");
    cmd.save->add_option("FILE", c.savePath, "Configuration file to write")->required();
    cmd.load = app.add_subcommand(
        "load", "Send every item of FILE to the unit, then check that each reads back as sent");
    cmd.load->add_option("FILE", c.loadPath, "Configuration file to read")->required();
    cmd.load->add_flag("--dry-run", c.dryRun,
                       "Only list what would change against the unit's values; send nothing");
    cmd.watch =
        app.add_subcommand("watch", "Show the unit's telemetry, one line per packet, until Ctrl-C");
    CLI::Option* csv =
        cmd.watch->add_flag("--csv", c.watch.csv, "A header line, then one CSV line per packet");
    cmd.watch
        ->add_flag("--json", c.watch.json, "One JSON object per line, named as the CSV columns")
        ->excludes(csv);
    cmd.watch->add_option("--count", c.watch.count, "Stop after N packets")
        ->type_name("N")
        ->check(CLI::Range(1u, 1000000000u));
    cmd.relay = app.add_subcommand(
        "relay", "Switch a relay channel (or the inverter output) on or off, or toggle it");
    const CLI::Validator channel(
        [](std::string& text) {
            return parseRelayChannel(text) ? std::string()
                                           : "CHANNEL is 1 to 12, or inv for the inverter "
                                             "output: " +
                                                 text;
        },
        "1-12|inv");
    cmd.relay->add_option("CHANNEL", c.relayChannel, "Channel 1 to 12, or inv")
        ->required()
        ->check(channel);
    cmd.relay->add_option("ACTION", c.relayAction, "on, off or toggle")
        ->required()
        ->check(CLI::IsMember({"on", "off", "toggle"}, CLI::ignore_case));
    cmd.publish = describePublish(app, c.publish);
    cmd.doctor = app.add_subcommand(
        "doctor", "Say whether this user can open the unit, and if not why and how to fix it");
    describeBackupCommands(app, *cmd.load, c.backup);
    return cmd;
}

bool openUnit(Session& s) {
    if (s.dev.isOpen() || s.dev.open()) {
        return true;
    }
    s.err << "tarnwell-cli: " << explainOpenFailure(s.dev) << '\n';
    return false;
}

int load(Session& s, const Choices& c) {
    TarnConfig file(s.locale);
    try {
        file.readConfigFile(c.loadPath); // the whole file, before anything is sent
    } catch (const ConfigFileError& e) {
        s.err << "tarnwell-cli: cannot load " << e.what() << "\nNothing was sent to the unit.\n";
        return exit_status::kFileError;
    }
    if (!openUnit(s)) {
        return exit_status::kNoUnit;
    }
    return runLoad(s, file, c.loadPath, c.dryRun, !c.backup.noBackup);
}

tarn::RelayAction relayAction(const std::string& word) {
    return word == "on"    ? tarn::RELAY_ACTION_ON
           : word == "off" ? tarn::RELAY_ACTION_OFF
                           : tarn::RELAY_ACTION_TOGGLE;
}

int dispatch(Session& s, const Commands& cmd, const Choices& c) {
    if (const std::optional<int> status = runBackupCommands(s, c.backup, openUnit)) {
        return *status;
    }
    if (cmd.load->parsed()) {
        return load(s, c);
    }
    if (cmd.doctor->parsed()) {
        return runDoctor(s); // opens the unit itself, to see what stands in the way
    }
    if (cmd.publish->parsed()) {
        return runPublish(s, c.publish); // waits for a unit itself
    }
    if (!openUnit(s)) {
        return exit_status::kNoUnit;
    }
    if (cmd.info->parsed()) {
        return runInfo(s, c.infoJson);
    }
    if (cmd.save->parsed()) {
        return runSave(s, c.savePath);
    }
    if (cmd.watch->parsed()) {
        return runWatch(s, c.watch);
    }
    return runRelay(s, parseRelayChannel(c.relayChannel).value(), relayAction(c.relayAction));
}

} // namespace

std::optional<std::uint32_t> parseRelayChannel(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (lower == "inv" || lower == "inverter") {
        return tarn::TarnInterface::kInverterChannel;
    }
    if (lower.empty() || lower.size() > 2 ||
        !std::all_of(lower.begin(), lower.end(), [](char d) { return d >= '0' && d <= '9'; })) {
        return std::nullopt;
    }
    const auto number = static_cast<std::uint32_t>(std::stoul(lower));
    if (number < 1 || number > tarn::TarnInterface::kRelayChannels) {
        return std::nullopt;
    }
    return number - 1;
}

int runCli(const std::vector<std::string>& args, Session& s) {
    CLI::App app("Sets up and watches a Tarnwell power-distribution unit on USB.", "tarnwell-cli");
    Choices choices;
    const Commands commands = describe(app, choices);
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them so
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e, s.out, s.err);
        return code == static_cast<int>(CLI::ExitCodes::Success) ? exit_status::kSuccess
                                                                 : exit_status::kUsage;
    }
    try {
        return dispatch(s, commands, choices);
    } catch (const std::exception& e) {
        s.err << "tarnwell-cli: " << e.what() << '\n';
        return exit_status::kDeviceFailure;
    }
}

} // namespace Corvane::cli
