#pragma once
// The loader's inverse: header fields and sections in, a package file out (check value
// over the plain file, then everything from offset 128 on scrambled). It can also break a
// package on purpose, for tests and for the emulated radio's scenarios.
#include <array>
#include <cstdint>
#include <vector>

#include "package/package_header.h"

namespace quenfall {

struct SectionSpec {
    std::uint8_t Slot = 0;
    std::uint8_t Id = 0;
    std::vector<std::uint8_t> Data;
};

struct PackageSpec {
    std::uint8_t ModelCode = 0;
    std::uint8_t ScrambleMode = 0;
    std::uint8_t CodeBank = 0;
    std::uint8_t RequestVariant = 0;
    std::array<std::uint8_t, 16> Reserved{};
    std::vector<SectionSpec> Sections;  // laid out one after another behind the header
};

enum class PackageFlaw : std::uint8_t {
    None,
    WrongCheckValue,            // the stored check value is off by one
    CheckValueOverStoredBytes,  // the check value matches the scrambled bytes, not the plain
    UnscrambledBody,            // a correct check value, but nothing scrambled
};

// The header a PackageSpec yields: each section in its slot, placed right after the one before.
PackageHeader HeaderFor(const PackageSpec& spec);
std::vector<std::uint8_t> WritePackage(const PackageSpec& spec, PackageFlaw flaw = PackageFlaw::None);
// For headers no PackageSpec can express (ids of 12 or more, sections outside the file): the
// header as given, then body (the plain bytes between header and check value).
std::vector<std::uint8_t> WritePackage(const PackageHeader& header,
                                       const std::vector<std::uint8_t>& body,
                                       PackageFlaw flaw = PackageFlaw::None);

}  // namespace quenfall
