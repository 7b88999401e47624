// A system with no radio binding: nothing to gather but the key set.
#include "link/doctor_facts.h"
#include "protocol/key_tables.h"

namespace quenfall {

DoctorFacts GatherDoctorFacts() {
    DoctorFacts facts;
    facts.KeySetName = std::string(KeySetName());
    facts.KeySetFingerprint = std::string(KeySetFingerprint());
    return facts;
}

}  // namespace quenfall
