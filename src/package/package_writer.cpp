#include "package/package_writer.h"

#include <span>

#include "package/check_value.h"
#include "protocol/scrambler.h"

namespace quenfall {

PackageHeader HeaderFor(const PackageSpec& spec) {
    PackageHeader h;
    h.ModelCode = spec.ModelCode;
    h.ScrambleMode = spec.ScrambleMode;
    h.CodeBank = spec.CodeBank;
    h.RequestVariant = spec.RequestVariant;
    h.Reserved = spec.Reserved;
    std::uint32_t offset = HeaderSize;
    for (const SectionSpec& s : spec.Sections) {
        const std::size_t slot = s.Slot % SlotCount;
        h.SectionIds[slot] = s.Id;
        h.SectionSizes[slot] = static_cast<std::uint32_t>(s.Data.size());
        h.SectionOffsets[slot] = offset;
        offset += static_cast<std::uint32_t>(s.Data.size());
    }
    return h;
}

std::vector<std::uint8_t> WritePackage(const PackageSpec& spec, PackageFlaw flaw) {
    std::vector<std::uint8_t> body;
    for (const SectionSpec& s : spec.Sections) body.insert(body.end(), s.Data.begin(), s.Data.end());
    return WritePackage(HeaderFor(spec), body, flaw);
}

std::vector<std::uint8_t> WritePackage(const PackageHeader& header,
                                       const std::vector<std::uint8_t>& body, PackageFlaw flaw) {
    std::vector<std::uint8_t> file(HeaderSize);
    WriteHeader(header, std::span<std::uint8_t, HeaderSize>(file.data(), HeaderSize));
    file.insert(file.end(), body.begin(), body.end());

    ProfileSelection selection;
    selection.ScrambleMode = header.ScrambleMode;
    SelectProfile(header.ModelCode, selection.ProfileIndex);
    auto scrambleFromHeader = [&](std::vector<std::uint8_t>& f) {
        Scrambler(selection, std::span<std::uint8_t>(f).subspan(HeaderSize));
    };

    if (flaw == PackageFlaw::CheckValueOverStoredBytes) {
        scrambleFromHeader(file);
        const std::uint16_t check = ComputeCheckValue(file);
        file.push_back(static_cast<std::uint8_t>(check >> 8));
        file.push_back(static_cast<std::uint8_t>(check));
        return file;
    }

    std::uint16_t check = ComputeCheckValue(file);
    if (flaw == PackageFlaw::WrongCheckValue) check = static_cast<std::uint16_t>(check + 1);
    file.push_back(static_cast<std::uint8_t>(check >> 8));
    file.push_back(static_cast<std::uint8_t>(check));
    if (flaw != PackageFlaw::UnscrambledBody) scrambleFromHeader(file);
    return file;
}

}  // namespace quenfall
