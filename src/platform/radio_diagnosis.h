#pragma once
// Why the radio is, or is not, found and usable: `quenfall-cli doctor`. The judging is pure,
// over facts the platform's gathering (GatherDoctorFacts, platform.h) recorded and with the
// checks of the system they came from (each platform's SystemChecks), so that every verdict
// can be tested on hand-made facts. Nothing here, nor in the gathering, sends the radio a
// vendor command.
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quenfall {

// One block device on the system, as the doctor sees it.
struct DiskFacts {
    std::string Node;          // "/dev/sdb", "\\.\F:"
    std::string Location;      // USB port chain; empty when unknown
    std::string Vendor;        // as reported, blanks included
    std::string Model;
    bool Removable = false;
    bool Partition = false;    // a partition, not the whole disk
    bool OnUsb = false;        // hangs from a USB device
    bool CarriesScsiIdentity = true;  // false: vendor and model could not be read at all
    std::string GenericNode;   // "/dev/sg1": the SCSI generic node; empty without the sg driver
    // The udev rule's tag on the disk and on the generic node (Linux).
    bool RuleTaggedDisk = false;
    bool RuleTaggedGeneric = false;
    // This user may open the node for reading and writing.
    bool MayOpenDisk = false;
    bool MayOpenGeneric = false;
};

struct DoctorFacts {
    std::string HelperPath;
    bool HelperFound = false;       // the file is there
    bool HelperStarted = false;     // it started and greeted
    std::string HelperProblem;      // why it did not, in words
    bool HelperHasRawIo = false;    // Linux: holds CAP_SYS_RAWIO
    bool HelperElevatable = false;  // Windows: may be started elevated
    std::string RulePath;           // Linux: where the udev rule was found; empty: not installed
    bool SgLoaded = false;          // Linux: the SCSI generic driver is there
    // The system would refuse the vendor commands whatever the rights (a container, a user
    // namespace); then why.
    std::string CommandsRefused;
    std::string KeySetName;
    std::string KeySetFingerprint;
    std::vector<DiskFacts> Disks;
};

struct DoctorLine {
    std::string Check;  // "helper", "udev rule", "disk /dev/sdb", ...
    bool Ok = false;
    std::string Text;   // "ok ..." or the problem and what to do about it
};

inline DoctorLine MakeDoctorLine(std::string check, bool ok, std::string text) {
    return {std::move(check), ok, std::move(text)};
}

struct Diagnosis {
    std::vector<DoctorLine> Lines;
    bool RadioReady = false;  // a radio is present that could be upgraded now
};

// What one system judges itself: its platform gives them (PlatformDoctorChecks).
struct SystemChecks {
    // The system's own lines (its helper, rule, driver), which come first; radios are the
    // disks that are the radio.
    std::function<void(const DoctorFacts&, const std::vector<const DiskFacts*>& radios, std::vector<DoctorLine>& lines)>
        Lines;
    // Whether radio can be upgraded now, given that the system does not refuse the commands
    // and this user may open its command node.
    std::function<bool(const DoctorFacts&, const DiskFacts& radio)> Ready;
    // The access line when this user may not open the nodes listed in refused.
    std::function<std::string(const std::string& refused)> AccessAdvice;
};

// The radio's commands go through its disk node: there is no SCSI generic node (the sg
// driver is missing), so only a program with the raw I/O capability may send them.
bool CommandsThroughDisk(const DiskFacts& radio);

// Empty when the disk is the radio (a whole removable disk on USB with exactly the radio's
// vendor and model); otherwise why not, in words.
std::string WhyNotTheRadioDisk(const DiskFacts& disk);

Diagnosis Diagnose(const DoctorFacts& facts, const SystemChecks& system);

// "check: text", one line per check.
std::string DiagnosisText(const Diagnosis& diagnosis);

}  // namespace quenfall
