#include "link/radio_diagnosis.h"

#include "protocol/radio_identity.h"

namespace quenfall {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Described(const DiskFacts& d) {
    std::string text = "location " + (d.Location.empty() ? std::string("unknown") : d.Location);
    if (d.CarriesScsiIdentity) text += ", vendor " + Quoted(d.Vendor) + ", model " + Quoted(d.Model);
    text += d.Removable ? ", removable" : ", not removable";
    return text;
}

// The node the radio's commands go through: the SCSI generic node where the sg driver made
// one (the kernel keeps the commands' time-out there), the disk otherwise.
bool CommandsThroughDisk(const DiskFacts& radio) { return radio.GenericNode.empty(); }

std::string Nodes(const DiskFacts& radio) {
    return radio.GenericNode.empty() ? radio.Node : radio.Node + " and " + radio.GenericNode;
}

bool MayOpenCommandNode(const DiskFacts& radio) {
    return CommandsThroughDisk(radio) ? radio.MayOpenDisk : radio.MayOpenGeneric;
}

bool Ready(const DoctorFacts& f, const DiskFacts& radio) {
    if (!f.CommandsRefused.empty() || !MayOpenCommandNode(radio)) return false;
    switch (f.Platform) {
        case DoctorFacts::System::Linux:
            return f.HelperStarted && (!CommandsThroughDisk(radio) || f.HelperHasRawIo);
        case DoctorFacts::System::Windows: return true;
        case DoctorFacts::System::None: return false;
    }
    return false;
}

DoctorLine Line(std::string check, bool ok, std::string text) { return {std::move(check), ok, std::move(text)}; }

constexpr const char* ConnectAdvice =
    "Connect the radio with its programming cable (a charge-only cable carries no data) and switch it on "
    "in its programming mode";

}  // namespace

std::string WhyNotTheRadioDisk(const DiskFacts& d) {
    std::string why;
    const auto add = [&why](const std::string& reason) { why += (why.empty() ? "" : "; ") + reason; };
    if (d.Partition) add("a partition, not a whole disk");
    if (!d.CarriesScsiIdentity) {
        add("it tells no vendor and model");
    } else if (!IsRadioIdentity(d.Vendor, d.Model)) {
        add("another identity (the radio is vendor " + Quoted(std::string(RadioVendor)) + ", model " +
            Quoted(std::string(RadioModel)) + ")");
    }
    if (!d.Removable) add("not removable");
    if (!d.OnUsb) add("not on USB");
    return why;
}

Diagnosis Diagnose(const DoctorFacts& f) {
    Diagnosis result;
    auto& lines = result.Lines;
    std::vector<const DiskFacts*> radios;
    for (const DiskFacts& d : f.Disks)
        if (WhyNotTheRadioDisk(d).empty()) radios.push_back(&d);
    const bool anyThroughDisk = [&] {
        for (const DiskFacts* r : radios)
            if (CommandsThroughDisk(*r)) return true;
        return false;
    }();

    if (f.Platform == DoctorFacts::System::Linux) {
        // The helper.
        if (!f.HelperFound) {
            lines.push_back(Line("helper", false,
                                 "the radio helper is not at " + f.HelperPath +
                                     ". Quenfall sends the radio's commands only through it: install Quenfall again "
                                     "(the package, or 'sudo cmake --install' for a build from source)."));
        } else if (!f.HelperStarted) {
            lines.push_back(Line("helper", false,
                                 "the radio helper " + f.HelperPath + " does not start (" + f.HelperProblem +
                                     "). Install Quenfall again (the package, or 'sudo cmake --install' for a build "
                                     "from source)."));
        } else if (f.HelperHasRawIo) {
            lines.push_back(Line("helper", true, "ok: " + f.HelperPath + ", holding the raw I/O capability (CAP_SYS_RAWIO)"));
        } else if (!f.SgLoaded || anyThroughDisk) {
            lines.push_back(Line("helper", false,
                                 "the radio helper " + f.HelperPath +
                                     " does not hold the raw I/O capability (CAP_SYS_RAWIO), which the radio's "
                                     "commands need while the sg driver is not loaded. Run 'sudo setcap "
                                     "cap_sys_rawio+ep " + f.HelperPath + "' once (installing the package does this)."));
        } else {
            lines.push_back(Line("helper", true,
                                 "ok: " + f.HelperPath +
                                     ", without the raw I/O capability, which is needed only without the sg driver"));
        }

        // The udev rule.
        if (f.RulePath.empty()) {
            lines.push_back(Line("udev rule", false,
                                 "not installed, so only root may open the radio's nodes. Copy "
                                 "70-quenfall-radio.rules (packaging/linux) into /etc/udev/rules.d, run 'sudo "
                                 "udevadm control --reload' and reconnect the radio."));
        } else if (radios.empty()) {
            lines.push_back(Line("udev rule", true, "ok: " + f.RulePath + " (no radio present to apply it to)"));
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
                lines.push_back(Line("udev rule", true, "ok: " + f.RulePath + ", applied to " + tagged));
            } else {
                lines.push_back(Line("udev rule", false,
                                     "installed at " + f.RulePath + " but not applied to " + untagged +
                                         ". Run 'sudo udevadm control --reload' and reconnect the radio."));
            }
        }

        // The sg driver.
        if (f.SgLoaded) {
            lines.push_back(Line("sg driver", true, "ok: loaded"));
        } else {
            lines.push_back(Line("sg driver", false,
                                 "not loaded, so the radio's commands must go through its disk node, where only a "
                                 "program with the raw I/O capability may send them. Run 'sudo modprobe sg' and "
                                 "reconnect the radio (the udev rule loads it when the radio appears)."));
        }
    } else if (f.Platform == DoctorFacts::System::Windows) {
        if (f.HelperPath.empty()) {
            lines.push_back(Line("helper", true, "ok: this build sends the radio's commands itself"));
        } else if (!f.HelperFound) {
            lines.push_back(Line("helper", false, "the radio helper is not at " + f.HelperPath +
                                                      ": install Quenfall again."));
        } else if (!f.HelperElevatable) {
            lines.push_back(Line("helper", false,
                                 "the radio helper " + f.HelperPath +
                                     " cannot be started with an administrator's rights (" + f.HelperProblem +
                                     "). Ask an administrator to allow it, or install Quenfall again."));
        } else {
            lines.push_back(Line("helper", true, "ok: " + f.HelperPath + ", startable with an administrator's rights"));
        }
    } else {
        lines.push_back(Line("radio link", false,
                             "this build has no link to real radios on this system; only --emulate works."));
    }

    // Whether this user may open the radio's nodes.
    if (radios.empty()) {
        lines.push_back(Line("access", true, "nothing to check: no radio present"));
    } else {
        std::string refused;
        std::string allowed;
        for (const DiskFacts* r : radios) {
            std::string& list = MayOpenCommandNode(*r) ? allowed : refused;
            list += (list.empty() ? "" : ", ") + (CommandsThroughDisk(*r) ? r->Node : r->GenericNode);
        }
        if (refused.empty()) {
            lines.push_back(Line("access", true, "ok: this user may open " + allowed));
        } else if (f.Platform == DoctorFacts::System::Linux) {
            lines.push_back(Line("access", false,
                                 "this user may not open " + refused +
                                     ". The udev rule gives the user at the computer's own seat access: install it "
                                     "(see above), reconnect the radio, and run Quenfall from that seat."));
        } else {
            lines.push_back(Line("access", false,
                                 "this user may not open " + refused +
                                     ": another program may hold the drive; close it, or run Quenfall as an "
                                     "administrator."));
        }
    }

    // The system itself.
    if (f.CommandsRefused.empty()) {
        lines.push_back(Line("vendor commands", true, "ok: the system does not refuse them"));
    } else {
        lines.push_back(Line("vendor commands", false,
                             "the system refuses them here (" + f.CommandsRefused +
                                 "). Run Quenfall directly on the computer the radio is connected to."));
    }

    lines.push_back(Line("key set", true, "ok: " + f.KeySetName + ", fingerprint " + f.KeySetFingerprint));

    // Every disk, and what it is.
    if (f.Disks.empty()) {
        lines.push_back(Line("disks", false, std::string("no USB mass-storage disk is present. ") + ConnectAdvice + "."));
    }
    for (const DiskFacts& d : f.Disks) {
        const std::string why = WhyNotTheRadioDisk(d);
        lines.push_back(Line("disk " + d.Node, true,
                             (why.empty() ? "the radio: " : "not the radio, " + why + ": ") + Described(d)));
    }

    // The verdict.
    const DiskFacts* ready = nullptr;
    for (const DiskFacts* r : radios)
        if (!ready && Ready(f, *r)) ready = r;
    result.RadioReady = ready != nullptr;
    if (ready) {
        lines.push_back(Line("radio", true,
                             "ok: " + ready->Node +
                                 (ready->Location.empty() ? std::string() : " at " + ready->Location) +
                                 " can be upgraded now"));
    } else if (radios.empty()) {
        lines.push_back(Line("radio", false,
                             std::string("no radio is present. ") + ConnectAdvice +
                                 ": a radio that is on but not in its programming mode shows no disk, or a disk of "
                                 "another identity."));
    } else {
        lines.push_back(Line("radio", false,
                             "found at " + Nodes(*radios.front()) + ", but it cannot be upgraded now: see the "
                             "problems above."));
    }
    return result;
}

std::string DiagnosisText(const Diagnosis& diagnosis) {
    std::string text;
    for (const DoctorLine& line : diagnosis.Lines) text += line.Check + ": " + line.Text + "\n";
    return text;
}

}  // namespace quenfall
