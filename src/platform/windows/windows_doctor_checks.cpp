#include "platform/windows/windows_doctor_checks.h"

#include <utility>

namespace quenfall {

namespace {

void WindowsLines(const DoctorFacts& f, const std::vector<const DiskFacts*>&, std::vector<DoctorLine>& lines) {
    if (f.HelperPath.empty()) {
        lines.push_back(MakeDoctorLine("helper", true, "ok: this build sends the radio's commands itself"));
    } else if (!f.HelperFound) {
        lines.push_back(MakeDoctorLine("helper", false, "the radio helper is not at " + f.HelperPath +
                                                  ": install Quenfall again."));
    } else if (!f.HelperElevatable) {
        lines.push_back(MakeDoctorLine("helper", false,
                             "the radio helper " + f.HelperPath +
                                 " cannot be started with an administrator's rights (" + f.HelperProblem +
                                 "). Ask an administrator to allow it, or install Quenfall again."));
    } else {
        lines.push_back(MakeDoctorLine("helper", true, "ok: " + f.HelperPath + ", startable with an administrator's rights"));
    }
}

}  // namespace

const SystemChecks& WindowsDoctorChecks() {
    static const SystemChecks checks{
        WindowsLines,
        // The helper is started elevated at the first open; nothing here can tell before.
        [](const DoctorFacts&, const DiskFacts&) { return true; },
        [](const std::string& refused) {
            return "this user may not open " + refused +
                   ": another program may hold the drive; close it, or run Quenfall as an "
                   "administrator.";
        },
    };
    return checks;
}

}  // namespace quenfall
