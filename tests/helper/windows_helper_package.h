#pragma once
// The package of the Windows helper's end-to-end test: the test flashes it, the fake helper's
// radio checks what arrived against it.
#include "upgrade_fakes.h"

namespace quenfall::test {

inline std::shared_ptr<const Package> HelperTestPackage() {
    PackageSpec spec;
    spec.ModelCode = 2;
    spec.ScrambleMode = 1;
    spec.Sections.push_back({0, 0, Pattern(5000, 1)});
    spec.Sections.push_back({2, 2, Pattern(2048, 2)});
    return MakePackage(spec);
}

}  // namespace quenfall::test
