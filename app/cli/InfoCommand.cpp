#include "Commands.h"
#include "ExitStatus.h"
#include "ModuleVersion.h"

#include "UnitInfo.h"

namespace Corvane::cli {

int runInfo(Session& s, bool json) {
    if (json) {
        s.out << unitInfoJson(readUnitInfo(s.dev)) << '\n';
        return exit_status::kSuccess;
    }
    const tarn::TarnInterface& d = s.dev;
    s.out << "Tarnwell unit\n";
    s.out << "  Firmware version:   " << d.version();
    if (firmwareUpdateRecommended(d)) {
        const tarn::ModuleVersion& r = tarn::kRecommendedFirmware;
        s.out << " (older than " << r.major() << '.' << r.minor() << '.' << r.build()
              << ": an update is recommended)";
    }
    s.out << "\n  Hardware revision:  " << d.hwRev()
          << "\n  Serial number:      " << d.serialNumber() << '\n';
    return exit_status::kSuccess;
}

} // namespace Corvane::cli
