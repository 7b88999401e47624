#include "platform/radio_diagnosis.h"

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

std::string Nodes(const DiskFacts& radio) {
    return radio.GenericNode.empty() ? radio.Node : radio.Node + " and " + radio.GenericNode;
}

bool MayOpenCommandNode(const DiskFacts& radio) {
    return CommandsThroughDisk(radio) ? radio.MayOpenDisk : radio.MayOpenGeneric;
}

bool Ready(const DoctorFacts& f, const SystemChecks& system, const DiskFacts& radio) {
    if (!f.CommandsRefused.empty() || !MayOpenCommandNode(radio)) return false;
    return system.Ready(f, radio);
}


constexpr const char* ConnectAdvice =
    "Connect the radio with its programming cable (a charge-only cable carries no data) and switch it on "
    "in its programming mode";

}  // namespace

// The SCSI generic node where the sg driver made one carries the commands (the kernel keeps
// their time-out there); the disk otherwise.
bool CommandsThroughDisk(const DiskFacts& radio) { return radio.GenericNode.empty(); }

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

Diagnosis Diagnose(const DoctorFacts& f, const SystemChecks& system) {
    Diagnosis result;
    auto& lines = result.Lines;
    std::vector<const DiskFacts*> radios;
    for (const DiskFacts& d : f.Disks)
        if (WhyNotTheRadioDisk(d).empty()) radios.push_back(&d);
    system.Lines(f, radios, lines);

    // Whether this user may open the radio's nodes.
    if (radios.empty()) {
        lines.push_back(MakeDoctorLine("access", true, "nothing to check: no radio present"));
    } else {
        std::string refused;
        std::string allowed;
        for (const DiskFacts* r : radios) {
            std::string& list = MayOpenCommandNode(*r) ? allowed : refused;
            list += (list.empty() ? "" : ", ") + (CommandsThroughDisk(*r) ? r->Node : r->GenericNode);
        }
        if (refused.empty()) {
            lines.push_back(MakeDoctorLine("access", true, "ok: this user may open " + allowed));
        } else {
            lines.push_back(MakeDoctorLine("access", false, system.AccessAdvice(refused)));
        }
    }

    // The system itself.
    if (f.CommandsRefused.empty()) {
        lines.push_back(MakeDoctorLine("vendor commands", true, "ok: the system does not refuse them"));
    } else {
        lines.push_back(MakeDoctorLine("vendor commands", false,
                             "the system refuses them here (" + f.CommandsRefused +
                                 "). Run Quenfall directly on the computer the radio is connected to."));
    }

    lines.push_back(MakeDoctorLine("key set", true, "ok: " + f.KeySetName + ", fingerprint " + f.KeySetFingerprint));

    // Every disk, and what it is.
    if (f.Disks.empty()) {
        lines.push_back(MakeDoctorLine("disks", false, std::string("no USB mass-storage disk is present. ") + ConnectAdvice + "."));
    }
    for (const DiskFacts& d : f.Disks) {
        const std::string why = WhyNotTheRadioDisk(d);
        lines.push_back(MakeDoctorLine("disk " + d.Node, true,
                             (why.empty() ? "the radio: " : "not the radio, " + why + ": ") + Described(d)));
    }

    // The verdict.
    const DiskFacts* ready = nullptr;
    for (const DiskFacts* r : radios)
        if (!ready && Ready(f, system, *r)) ready = r;
    result.RadioReady = ready != nullptr;
    if (ready) {
        lines.push_back(MakeDoctorLine("radio", true,
                             "ok: " + ready->Node +
                                 (ready->Location.empty() ? std::string() : " at " + ready->Location) +
                                 " can be upgraded now"));
    } else if (radios.empty()) {
        lines.push_back(MakeDoctorLine("radio", false,
                             std::string("no radio is present. ") + ConnectAdvice +
                                 ": a radio that is on but not in its programming mode shows no disk, or a disk of "
                                 "another identity."));
    } else {
        lines.push_back(MakeDoctorLine("radio", false,
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
