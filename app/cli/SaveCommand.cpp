#include "Commands.h"
#include "ConfigFileError.h"
#include "ConfigMapping.h"
#include "ExitStatus.h"
#include "UnitState.h"

namespace Corvane::cli {

int runSave(Session& s, const std::string& path) {
    mapping::UnitState state;
    mapping::readSections(s.dev, mapping::allSections(), state);
    if (!s.dev.isOpen()) {
        s.err << "tarnwell-cli: the unit was disconnected while its configuration was read; "
                 "no file was written.\n";
        return exit_status::kDeviceFailure;
    }
    std::vector<std::string> leftOut;
    const TarnConfig config = mapping::toConfig(state, s.locale, leftOut);
    try {
        config.writeConfigFile(path);
    } catch (const ConfigFileError& e) {
        s.err << "tarnwell-cli: cannot save: " << e.what() << '\n';
        return exit_status::kFileError;
    }
    for (const std::string& item : leftOut) {
        s.err << "tarnwell-cli: not in the file, as it could not be read: " << item << '\n';
    }
    s.out << "Saved the configuration of unit " << s.dev.serialNumber() << " to " << path;
    if (!leftOut.empty()) {
        s.out << ", without " << leftOut.size() << (leftOut.size() == 1 ? " item" : " items")
              << " that could not be read";
    }
    s.out << ".\n";
    return leftOut.empty() ? exit_status::kSuccess : exit_status::kDeviceFailure;
}

} // namespace Corvane::cli
