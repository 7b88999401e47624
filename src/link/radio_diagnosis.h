#pragma once
// Why the radio is, or is not, found and usable: `quenfall-cli doctor`. The judging is pure,
// over facts the platform's gathering (link/doctor_facts.h) recorded, so that every verdict
// can be tested on hand-made facts. Nothing here, nor in the gathering, sends the radio a
// vendor command.
#include <string>
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
    enum class System { Linux, Windows, None } Platform = System::None;
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

struct Diagnosis {
    std::vector<DoctorLine> Lines;
    bool RadioReady = false;  // a radio is present that could be upgraded now
};

// Empty when the disk is the radio (a whole removable disk on USB with exactly the radio's
// vendor and model); otherwise why not, in words.
std::string WhyNotTheRadioDisk(const DiskFacts& disk);

Diagnosis Diagnose(const DoctorFacts& facts);

// "check: text", one line per check.
std::string DiagnosisText(const Diagnosis& diagnosis);

}  // namespace quenfall
