// The doctor's verdicts on recorded facts: the systems users meet, each told apart.
#include <gtest/gtest.h>

#include "platform/linux/linux_doctor_checks.h"
#include "platform/radio_diagnosis.h"
#include "platform/windows/windows_doctor_checks.h"

namespace quenfall {
namespace {

DiskFacts Radio() {
    DiskFacts d;
    d.Node = "/dev/sdb";
    d.Location = "1-1";
    d.Vendor = "STM     ";
    d.Model = "microSD Flash   ";
    d.Removable = true;
    d.OnUsb = true;
    d.GenericNode = "/dev/sg1";
    d.RuleTaggedDisk = d.RuleTaggedGeneric = true;
    d.MayOpenDisk = d.MayOpenGeneric = true;
    return d;
}

// A desktop with the package installed and the radio plugged in, in programming mode.
DoctorFacts Ready() {
    DoctorFacts f;
    f.HelperPath = "/usr/libexec/quenfall/quenfall-radio-helper";
    f.HelperFound = f.HelperStarted = f.HelperHasRawIo = true;
    f.RulePath = "/usr/lib/udev/rules.d/70-quenfall-radio.rules";
    f.SgLoaded = true;
    f.KeySetName = "development.bin";
    f.KeySetFingerprint = "020a9866ec02048c";
    f.Disks = {Radio()};
    return f;
}

const DoctorLine& LineOf(const Diagnosis& d, std::string_view check) {
    for (const DoctorLine& line : d.Lines)
        if (line.Check == check) return line;
    static const DoctorLine none{"(none)", false, "no such line"};
    ADD_FAILURE() << "no line " << check << "\n" << DiagnosisText(d);
    return none;
}

std::vector<std::string> Problems(const Diagnosis& d) {
    std::vector<std::string> checks;
    for (const DoctorLine& line : d.Lines)
        if (!line.Ok) checks.push_back(line.Check);
    return checks;
}

TEST(RadioDiagnosis, ARadioWithTheRuleAndSgCanBeUpgradedNowAndEveryCheckIsOk) {
    const Diagnosis d = Diagnose(Ready(), LinuxDoctorChecks());
    EXPECT_TRUE(d.RadioReady) << DiagnosisText(d);
    EXPECT_TRUE(Problems(d).empty()) << DiagnosisText(d);
    EXPECT_EQ(LineOf(d, "udev rule").Text, "ok: /usr/lib/udev/rules.d/70-quenfall-radio.rules, applied to /dev/sdb, /dev/sg1");
    EXPECT_EQ(LineOf(d, "access").Text, "ok: this user may open /dev/sg1");
    EXPECT_EQ(LineOf(d, "key set").Text, "ok: development.bin, fingerprint 020a9866ec02048c");
    EXPECT_EQ(LineOf(d, "disk /dev/sdb").Text,
              "the radio: location 1-1, vendor \"STM     \", model \"microSD Flash   \", removable");
    EXPECT_EQ(LineOf(d, "radio").Text, "ok: /dev/sdb at 1-1 can be upgraded now");
    // One line per check, each "check: text".
    EXPECT_TRUE(DiagnosisText(d).starts_with("helper: ok: /usr/libexec/quenfall/quenfall-radio-helper, holding"));
    // Through the generic node the helper needs no capability.
    DoctorFacts noCap = Ready();
    noCap.HelperHasRawIo = false;
    EXPECT_TRUE(Diagnose(noCap, LinuxDoctorChecks()).RadioReady);
    EXPECT_TRUE(LineOf(Diagnose(noCap, LinuxDoctorChecks()), "helper").Ok);
}

TEST(RadioDiagnosis, WithoutTheRuleWithoutSgAndWithoutTheCapabilityEachIsSaidWithWhatToDo) {
    DoctorFacts f = Ready();
    f.RulePath.clear();
    f.SgLoaded = false;
    f.HelperHasRawIo = false;
    DiskFacts& r = f.Disks.front();
    r.GenericNode.clear();
    r.RuleTaggedDisk = r.RuleTaggedGeneric = false;
    r.MayOpenDisk = r.MayOpenGeneric = false;  // root:disk 0660, as udevd leaves it
    const Diagnosis d = Diagnose(f, LinuxDoctorChecks());
    EXPECT_FALSE(d.RadioReady);
    EXPECT_EQ(Problems(d), (std::vector<std::string>{"helper", "udev rule", "sg driver", "access", "radio"}))
        << DiagnosisText(d);
    EXPECT_NE(LineOf(d, "helper").Text.find("sudo setcap cap_sys_rawio+ep /usr/libexec/quenfall/quenfall-radio-helper"),
              std::string::npos);
    EXPECT_NE(LineOf(d, "udev rule").Text.find("not installed"), std::string::npos);
    // Where an installed Quenfall has it, not where its sources keep it.
    EXPECT_NE(LineOf(d, "udev rule").Text.find("/lib/udev/rules.d/70-quenfall-radio.rules"), std::string::npos);
    EXPECT_EQ(LineOf(d, "udev rule").Text.find("packaging"), std::string::npos);
    EXPECT_NE(LineOf(d, "sg driver").Text.find("sudo modprobe sg"), std::string::npos);
    EXPECT_NE(LineOf(d, "access").Text.find("may not open /dev/sdb"), std::string::npos);
    EXPECT_TRUE(LineOf(d, "disk /dev/sdb").Text.starts_with("the radio: ")) << "still the radio";
    EXPECT_EQ(LineOf(d, "radio").Text, "found at /dev/sdb, but it cannot be upgraded now: see the problems above.");

    // Each alone is enough to stop it, and each is named alone.
    DoctorFacts untagged = Ready();
    untagged.Disks.front().RuleTaggedGeneric = false;
    untagged.Disks.front().MayOpenGeneric = false;
    EXPECT_EQ(Problems(Diagnose(untagged, LinuxDoctorChecks())), (std::vector<std::string>{"udev rule", "access", "radio"}));
    EXPECT_NE(LineOf(Diagnose(untagged, LinuxDoctorChecks()), "udev rule").Text.find("not applied to /dev/sg1"), std::string::npos);
    DoctorFacts diskOnly = Ready();
    diskOnly.SgLoaded = false;
    diskOnly.HelperHasRawIo = false;
    diskOnly.Disks.front().GenericNode.clear();
    EXPECT_EQ(Problems(Diagnose(diskOnly, LinuxDoctorChecks())), (std::vector<std::string>{"helper", "sg driver", "radio"}));
    DoctorFacts missing = Ready();
    missing.HelperFound = missing.HelperStarted = missing.HelperHasRawIo = false;
    EXPECT_EQ(Problems(Diagnose(missing, LinuxDoctorChecks())), (std::vector<std::string>{"helper", "radio"}));
    DoctorFacts container = Ready();
    container.CommandsRefused = "a user namespace of its own";
    EXPECT_EQ(Problems(Diagnose(container, LinuxDoctorChecks())), (std::vector<std::string>{"vendor commands", "radio"}));
}

TEST(RadioDiagnosis, EveryOtherDiskIsListedWithWhyItIsNotTheRadio) {
    DoctorFacts f = Ready();
    DiskFacts stick;  // a USB stick
    stick.Node = "/dev/sdc";
    stick.Location = "1-2";
    stick.Vendor = "SanDisk ";
    stick.Model = "Cruzer Blade    ";
    stick.Removable = true;
    stick.OnUsb = true;
    DiskFacts part = Radio();  // the radio's own partition
    part.Node = "/dev/sdb1";
    part.Partition = true;
    DiskFacts fixed = Radio();  // the identity, but not removable
    fixed.Node = "/dev/sdd";
    fixed.Removable = false;
    DiskFacts internal = Radio();  // the identity, on another bus
    internal.Node = "/dev/sda";
    internal.OnUsb = false;
    internal.Location = "/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda";
    DiskFacts trimmed = Radio();  // a near miss: the model without its blanks
    trimmed.Node = "/dev/sde";
    trimmed.Model = "microSD Flash";
    f.Disks = {internal, Radio(), part, stick, fixed, trimmed};
    const Diagnosis d = Diagnose(f, LinuxDoctorChecks());
    EXPECT_TRUE(d.RadioReady) << DiagnosisText(d);
    EXPECT_EQ(LineOf(d, "disk /dev/sdc").Text,
              "not the radio, another identity (the radio is vendor \"STM     \", model \"microSD Flash   \"): "
              "location 1-2, vendor \"SanDisk \", model \"Cruzer Blade    \", removable");
    EXPECT_TRUE(LineOf(d, "disk /dev/sdb1").Text.starts_with("not the radio, a partition, not a whole disk: "));
    EXPECT_TRUE(LineOf(d, "disk /dev/sdd").Text.starts_with("not the radio, not removable: "));
    EXPECT_TRUE(LineOf(d, "disk /dev/sda").Text.starts_with("not the radio, not on USB: "));
    EXPECT_TRUE(LineOf(d, "disk /dev/sde").Text.starts_with("not the radio, another identity")) << "blanks count";
    EXPECT_TRUE(LineOf(d, "disk /dev/sdb").Text.starts_with("the radio: "));

    // Only the stick: no radio, and what to do about it.
    f.Disks = {stick};
    const Diagnosis none = Diagnose(f, LinuxDoctorChecks());
    EXPECT_FALSE(none.RadioReady);
    EXPECT_TRUE(LineOf(none, "radio").Text.starts_with("no radio is present. Connect the radio with its programming "
                                                       "cable (a charge-only cable carries no data)"));
    EXPECT_TRUE(LineOf(none, "access").Ok);
    f.Disks.clear();
    EXPECT_FALSE(LineOf(Diagnose(f, LinuxDoctorChecks()), "disks").Ok);
}

TEST(RadioDiagnosis, OnWindowsTheDriveItselfIsOpenedAndAnotherProgramHoldingItIsSaid) {
    DoctorFacts f;
    f.KeySetName = "k";
    f.KeySetFingerprint = "f";
    DiskFacts r = Radio();
    r.Node = "\\\\.\\F:";
    r.Location.clear();
    r.GenericNode.clear();
    f.Disks = {r};
    const Diagnosis d = Diagnose(f, WindowsDoctorChecks());
    EXPECT_TRUE(d.RadioReady) << DiagnosisText(d);
    for (const DoctorLine& line : d.Lines) EXPECT_NE(line.Check, "udev rule");
    f.Disks.front().MayOpenDisk = false;
    const Diagnosis held = Diagnose(f, WindowsDoctorChecks());
    EXPECT_FALSE(held.RadioReady);
    EXPECT_NE(LineOf(held, "access").Text.find("another program may hold the drive"), std::string::npos);
}

}  // namespace
}  // namespace quenfall
