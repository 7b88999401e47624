#include "platform/linux/linux_doctor_checks.h"

#include <utility>

namespace quenfall {

namespace {

void LinuxLines(const DoctorFacts& f, const std::vector<const DiskFacts*>& radios, std::vector<DoctorLine>& lines) {
    const bool anyThroughDisk = [&] {
        for (const DiskFacts* r : radios)
            if (CommandsThroughDisk(*r)) return true;
        return false;
    }();

    // The helper.
    if (!f.HelperFound) {
        lines.push_back(MakeDoctorLine("helper", false,
                             "the radio helper is not at " + f.HelperPath +
                                 ". Quenfall sends the radio's commands only through it: install Quenfall again "
                                 "(the package, or 'sudo cmake --install' for a build from source)."));
    } else if (!f.HelperStarted) {
        lines.push_back(MakeDoctorLine("helper", false,
                             "the radio helper " + f.HelperPath + " does not start (" + f.HelperProblem +
                                 "). Install Quenfall again (the package, or 'sudo cmake --install' for a build "
                                 "from source)."));
    } else if (f.HelperHasRawIo) {
        lines.push_back(MakeDoctorLine("helper", true, "ok: " + f.HelperPath + ", holding the raw I/O capability (CAP_SYS_RAWIO)"));
    } else if (!f.SgLoaded || anyThroughDisk) {
        lines.push_back(MakeDoctorLine("helper", false,
                             "the radio helper " + f.HelperPath +
                                 " does not hold the raw I/O capability (CAP_SYS_RAWIO), which the radio's "
                                 "commands need while the sg driver is not loaded. Run 'sudo setcap "
                                 "cap_sys_rawio+ep " + f.HelperPath + "' once (installing the package does this)."));
    } else {
        lines.push_back(MakeDoctorLine("helper", true,
                             "ok: " + f.HelperPath +
                                 ", without the raw I/O capability, which is needed only without the sg driver"));
    }

    // The udev rule.
    if (f.RulePath.empty()) {
        lines.push_back(MakeDoctorLine("udev rule", false,
                             "not installed, so only root may open the radio's nodes. The package installs it as " +
                                 std::string(InstalledRulePath) +
                                 ": install Quenfall again (the package, or 'sudo cmake --install' for a build from "
                                 "source), run 'sudo udevadm control --reload' and reconnect the radio."));
    } else if (radios.empty()) {
        lines.push_back(MakeDoctorLine("udev rule", true, "ok: " + f.RulePath + " (no radio present to apply it to)"));
    } else {
        std::string untagged;
        std::string tagged;
        for (const DiskFacts* r : radios) {
            const auto note = [&](const std::string& node, bool isTagged) {
                std::string& list = isTagged ? tagged : untagged;
                list += (list.empty() ? "" : ", ") + node;
            };
            note(r->Node, r->RuleTaggedDisk);
            if (!r->GenericNode.empty()) note(r->GenericNode, r->RuleTaggedGeneric);
        }
        if (untagged.empty()) {
            lines.push_back(MakeDoctorLine("udev rule", true, "ok: " + f.RulePath + ", applied to " + tagged));
        } else {
            lines.push_back(MakeDoctorLine("udev rule", false,
                                 "installed at " + f.RulePath + " but not applied to " + untagged +
                                     ". Run 'sudo udevadm control --reload' and reconnect the radio."));
        }
    }

    // The sg driver.
    if (f.SgLoaded) {
        lines.push_back(MakeDoctorLine("sg driver", true, "ok: loaded"));
    } else {
        lines.push_back(MakeDoctorLine("sg driver", false,
                             "not loaded, so the radio's commands must go through its disk node, where only a "
                             "program with the raw I/O capability may send them. Run 'sudo modprobe sg' and "
                             "reconnect the radio (the udev rule loads it when the radio appears)."));
    }
}

}  // namespace

const SystemChecks& LinuxDoctorChecks() {
    static const SystemChecks checks{
        LinuxLines,
        // The helper sends the commands; through a disk node only with its capability.
        [](const DoctorFacts& f, const DiskFacts& radio) {
            return f.HelperStarted && (!CommandsThroughDisk(radio) || f.HelperHasRawIo);
        },
        [](const std::string& refused) {
            return "this user may not open " + refused +
                   ". The udev rule gives the user at the computer's own seat access: install it "
                   "(see above), reconnect the radio, and run Quenfall from that seat.";
        },
    };
    return checks;
}

}  // namespace quenfall
