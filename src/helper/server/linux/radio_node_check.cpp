#include "helper/server/linux/radio_node_check.h"

#include "protocol/radio_identity.h"

namespace quenfall::helper {

namespace {

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

}  // namespace

std::string WhyNotTheRadio(const RadioNodeFacts& facts) {
    switch (facts.Kind) {
        case NodeKind::Other:
            return facts.Name + " is neither a disk nor a SCSI generic node";
        case NodeKind::Block:
            if (facts.Partition) return facts.Name + " is a partition, not a whole disk";
            break;
        case NodeKind::ScsiGeneric:
            if (facts.Disks != 1) return facts.Name + " belongs to no disk";
            break;
    }
    if (!facts.Untrusted.empty()) return facts.Name + ": " + facts.Untrusted;
    if (facts.ScsiType != "0") return facts.Name + " is not a SCSI disk";
    if (facts.Removable != "1") return facts.Name + " is not a removable disk";
    if (!IsRadioIdentity(facts.Vendor, facts.Model)) {
        return facts.Name + " is " + Quoted(facts.Vendor) + " " + Quoted(facts.Model) +
               ", not the radio";
    }
    return {};
}

}  // namespace quenfall::helper
