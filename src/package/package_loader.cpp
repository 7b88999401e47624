#include "package/package_loader.h"

#include <algorithm>
#include <array>

#include "package/check_value.h"
#include "package/package_digest.h"
#include "package/package_file.h"
#include "protocol/scrambler.h"

namespace quenfall {

namespace {
LoadResult Refuse(std::string_view text) {
    LoadResult r;
    r.Verdict = LoadVerdict::Refused;
    r.Message = std::string(text);
    return r;
}

// The upload looks each listed section up by its id, so the slot the id names must hold a
// section, and that section must lie wholly inside the file. An id naming an empty slot
// would send a section of size 0 while the listed slot's own bytes never go out; two slots
// listing the same id would send that section twice and the other slot's bytes never.
bool SectionTableFits(const PackageHeader& header, std::size_t fileLength) {
    std::array<bool, SlotCount> listed{};
    for (std::size_t slot = 0; slot < SlotCount; ++slot) {
        if (!SlotPresent(header, slot)) continue;
        const std::uint8_t id = header.SectionIds[slot];
        if (id >= SlotCount || header.SectionSizes[id] == 0 || listed[id]) return false;
        listed[id] = true;
        const std::uint64_t end =
            std::uint64_t{header.SectionOffsets[id]} + header.SectionSizes[id];
        if (end > fileLength) return false;
    }
    return true;
}
// Descrambles the body and computes the check value over the plain file in one trip
// through memory: each step is descrambled, then summed while it is still in the cache.
// Steps are whole multiples of 256 bytes, so each starts at key position 0.
std::uint16_t DescrambleAndCheck(const ProfileSelection& selection, std::vector<std::uint8_t>& image) {
    constexpr std::size_t Step = 16 * 1024;
    const KeyTable* key = SelectKeyTable(selection.ScrambleMode, selection.ProfileIndex);
    const std::span<std::uint8_t> file(image);
    const std::size_t summed = file.size() - CheckValueSize;
    std::uint32_t sum = ByteSum(file.first(HeaderSize));
    for (std::size_t at = HeaderSize; at < file.size(); at += Step) {
        const auto step = file.subspan(at, std::min(Step, file.size() - at));
        Scrambler(key, step);
        if (at < summed) sum += ByteSum(step.first(std::min(step.size(), summed - at)));
    }
    return CheckValueOfSum(sum);
}
LoadResult CheckPackageImage(std::vector<std::uint8_t> image, const std::string& sha256) {
    const std::size_t n = image.size();
    if (n < MinimumPackageSize) return Refuse(PackageTooShortText);
    if (n > PackageImageCapacity) return Refuse(PackageTooLargeText);

    auto package = std::make_shared<Package>();
    package->Header = ParseHeader(std::span<const std::uint8_t, HeaderSize>(image.data(), HeaderSize));
    ProfileSelection& selection = package->Selection;
    selection.RequestVariant = package->Header.RequestVariant;
    selection.ScrambleMode = package->Header.ScrambleMode;
    selection.CodeBank = package->Header.CodeBank;
    if (!SelectProfile(package->Header.ModelCode, selection.ProfileIndex))
        return Refuse(PackageMismatchText);

    const std::uint16_t check = DescrambleAndCheck(selection, image);
    if (image[n - 2] != (check >> 8) || image[n - 1] != (check & 0xFF))
        return Refuse(PackageMismatchText);

    if (!EnterKind(selection.RequestVariant)) return Refuse(PackageBadVariantText);
    if (!SectionTableFits(package->Header, n)) return Refuse(PackageBadSectionTableText);

    package->SectionCount = CountSections(package->Header);
    package->TotalBlocks = CountTotalBlocks(package->Header);
    package->Image = std::move(image);
    package->Sha256 = sha256;

    LoadResult r;
    r.Verdict = LoadVerdict::Accepted;
    r.Accepted = std::move(package);
    return r;
}

}  // namespace

LoadResult LoadPackageImage(std::vector<std::uint8_t> image) {
    // Over the bytes as read: descrambling changes them in place.
    std::string sha256 = Sha256Text(image);
    LoadResult r = CheckPackageImage(std::move(image), sha256);
    r.Sha256 = std::move(sha256);
    return r;
}

LoadResult LoadPackage(const std::filesystem::path& fileName) {
    PackageFileRead read = LoadPackageFile(fileName);
    switch (read.Result) {
        case PackageFileRead::Outcome::CannotOpen: {
            LoadResult r;
            r.Verdict = LoadVerdict::Unreadable;
            r.Message = std::move(read.Error);
            return r;
        }
        case PackageFileRead::Outcome::TooLarge: return Refuse(PackageTooLargeText);
        case PackageFileRead::Outcome::Read: break;
    }
    return LoadPackageImage(std::move(read.Bytes));
}

}  // namespace quenfall
