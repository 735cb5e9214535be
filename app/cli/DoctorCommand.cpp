#include "AccessDoctor.h"
#include "Doctor.h"
#include "ExitStatus.h"

namespace Corvane::cli {

int runDoctor(Session& s, const DoctorPaths& paths, const DoctorUser& who) {
    const AccessFindings f = examineAccess(s.dev, paths, who);
    printFindings(s.out, f);
    return f.opened ? exit_status::kSuccess : exit_status::kNoUnit;
}

} // namespace Corvane::cli
