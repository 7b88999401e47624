#pragma once
// A package that passed every check of the loader. Immutable once built: an upgrade run
// holds the package it started with, so loading another file meanwhile changes nothing in
// the run.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "package/package_header.h"
#include "protocol/model_profile.h"

namespace quenfall {

struct Package {
    std::vector<std::uint8_t> Image;  // the whole file; bytes 128.. descrambled
    PackageHeader Header;
    ProfileSelection Selection;
    std::uint8_t SectionCount = 0;
    std::int32_t TotalBlocks = 0;
    // SHA-256 of the file as it was read (before descrambling), lowercase hex; empty when
    // the system could not compute it.
    std::string Sha256;

    // n - 128: what the file holds after its header.
    std::int32_t PackageLength() const { return static_cast<std::int32_t>(Image.size() - HeaderSize); }
    // The check value as the file stores it in its last two bytes, high byte first (the
    // loader has checked it against the bytes before it).
    std::uint16_t StoredCheckValue() const {
        if (Image.size() < CheckValueSize) return 0;
        return static_cast<std::uint16_t>(Image[Image.size() - 2] << 8 | Image[Image.size() - 1]);
    }
    SectionList Sections() const { return BuildSectionList(Header); }
    // Sections are looked up by id: the id names the slot that describes the section.
    // The loader has made sure every listed id is below 12 and its bytes lie in the file.
    std::uint32_t SectionSize(std::uint8_t id) const { return Header.SectionSizes.at(id); }
    std::span<const std::uint8_t> SectionData(std::uint8_t id) const {
        return std::span<const std::uint8_t>(Image).subspan(Header.SectionOffsets.at(id),
                                                            Header.SectionSizes.at(id));
    }
};

}  // namespace quenfall
