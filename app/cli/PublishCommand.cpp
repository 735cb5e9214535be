#include "ExitStatus.h"
#include "Gateway.h"
#include "Publish.h"

#include <cstdlib>
#include <fstream>

namespace Corvane::cli {
namespace {

bool readable(const std::string& path) {
    return std::ifstream(path).good();
}

int usage(Session& s, const std::string& problem) {
    s.err << "tarnwell-cli: " << problem
          << "\nRun 'tarnwell-cli publish --help' for its options.\n";
    return exit_status::kUsage;
}

// The checks that need no unit and no broker: a usage error (2) or a file error (4), else 0.
int checkOptions(Session& s, const PublishOptions& o, const MqttUrl& url) {
    const bool tlsFiles = !o.caFile.empty() || !o.certFile.empty() || !o.keyFile.empty();
    if (tlsFiles && !url.tls) {
        return usage(s, "--cafile, --cert and --key are for an mqtts:// URL.");
    }
    if (o.certFile.empty() != o.keyFile.empty()) {
        return usage(s, "--cert and --key go together.");
    }
    if (!o.passwordFile.empty() && url.user.empty()) {
        return usage(s, "a password needs a user name in the URL (mqtt://user@host/...).");
    }
    for (const std::string* file : {&o.caFile, &o.certFile, &o.keyFile, &o.passwordFile}) {
        if (!file->empty() && !readable(*file)) {
            s.err << "tarnwell-cli: cannot read " << *file << ".\n";
            return exit_status::kFileError;
        }
    }
    return exit_status::kSuccess;
}

// The password's first line, from the file, else from the environment; none without a user.
std::optional<std::string> password(const PublishOptions& o, const MqttUrl& url) {
    if (url.user.empty()) {
        return std::nullopt;
    }
    if (!o.passwordFile.empty()) {
        std::ifstream in(o.passwordFile);
        std::string line;
        std::getline(in, line);
        if (line.ends_with('\r')) {
            line.pop_back();
        }
        return line;
    }
    if (const char* fromEnvironment = std::getenv(kPasswordVariable)) {
        return std::string(fromEnvironment);
    }
    return std::nullopt;
}

} // namespace

int runPublish(Session& s, const PublishOptions& options) {
    std::string problem;
    const std::optional<MqttUrl> url = parseMqttUrl(options.url, problem);
    if (!url) {
        return usage(s, options.url + ": " + problem + ".");
    }
    if (const int status = checkOptions(s, options, *url); status != exit_status::kSuccess) {
        return status;
    }
    const InterruptFlag interrupt;
    Gateway gateway(s, options, *url, password(options, *url), interrupt);
    return gateway.run();
}

} // namespace Corvane::cli
