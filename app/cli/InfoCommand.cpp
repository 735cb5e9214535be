#include "Commands.h"
#include "ExitStatus.h"

#include "ModuleVersion.h"

namespace Corvane::cli {

namespace {

// The firmware the window asks owners to update to when a unit has an older one.
constexpr tarn::ModuleVersion kRecommendedFirmware{1, 0, 5};

} // namespace

int runInfo(Session& s) {
    const tarn::TarnInterface& d = s.dev;
    const tarn::ModuleVersion version(static_cast<uint16_t>(d.versionMajor()),
                                      static_cast<uint16_t>(d.versionMinor()),
                                      static_cast<uint16_t>(d.versionBuild()));
    s.out << "Tarnwell unit\n";
    s.out << "  Firmware version:   " << d.version();
    if (version < kRecommendedFirmware) {
        s.out << " (older than 1.0.5: an update is recommended)";
    }
    s.out << "\n  Hardware revision:  " << d.hwRev()
          << "\n  Serial number:      " << d.serialNumber() << '\n';
    return exit_status::kSuccess;
}

} // namespace Corvane::cli
