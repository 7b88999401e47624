#include "package/package_loader.h"

#include <algorithm>
#include <array>

#include "package/check_value.h"
#include "package/package_digest.h"
#include "package/package_file.h"
#include "protocol/scrambler.h"

namespace quenfall {

namespace {
using text::Field;
using text::Translatable;

LoadResult Refuse(Refusal why, std::string_view text, text::Message reason) {
    LoadResult r;
    r.Verdict = LoadVerdict::Refused;
    r.Why = why;
    r.Message = std::string(text);
    r.Reason = reason.English();
    r.ReasonText = std::move(reason);
    return r;
}

std::string Hex(unsigned value, int digits) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text = "0x";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) text += Digits[(value >> shift) & 0xF];
    return text;
}

text::Message TooLargeReason(std::uint64_t size) {
    const std::string limit = std::to_string(PackageImageCapacity);
    if (size == 0)
        return {Translatable("The upgrade file is too large to be a firmware package: it holds more than {limit} "
                             "bytes (10 MiB) a package may hold."),
                {{"limit", limit}}};
    return {Translatable("The upgrade file is too large to be a firmware package: {size} bytes, more than the "
                         "{limit} bytes (10 MiB) a package may hold."),
            {{"size", std::to_string(size)}, {"limit", limit}}};
}

// The upload looks each listed section up by its id, so the slot the id names must hold a
// section, and that section must lie wholly inside the file. An id naming an empty slot
// would send a section of size 0 while the listed slot's own bytes never go out; two slots
// listing the same id would send that section twice and the other slot's bytes never.
// Returns the whole reason for what does not fit, none when everything does.
std::optional<text::Message> SectionTableFault(const PackageHeader& header, std::size_t fileLength) {
    std::array<bool, SlotCount> listed{};
    for (std::size_t slot = 0; slot < SlotCount; ++slot) {
        if (!SlotPresent(header, slot)) continue;
        const std::uint8_t id = header.SectionIds[slot];
        std::vector<Field> at = {{"slot", std::to_string(slot)}, {"id", std::to_string(unsigned{id})}};
        if (id >= SlotCount) {
            at.push_back({"last", std::to_string(SlotCount - 1)});
            return text::Message{Translatable("The upgrade file is damaged: a section does not fit: slot {slot} lists "
                                              "section id {id}, and ids are 0 to {last}."),
                                 std::move(at)};
        }
        if (header.SectionSizes[id] == 0)
            return text::Message{Translatable("The upgrade file is damaged: a section does not fit: slot {slot} lists "
                                              "section id {id}, whose slot is empty."),
                                 std::move(at)};
        if (listed[id])
            return text::Message{Translatable("The upgrade file is damaged: a section does not fit: slot {slot} lists "
                                              "section id {id}, which an earlier slot lists too."),
                                 std::move(at)};
        listed[id] = true;
        const std::uint64_t end =
            std::uint64_t{header.SectionOffsets[id]} + header.SectionSizes[id];
        if (end > fileLength) {
            std::vector<Field> fields = {{"id", std::to_string(unsigned{id})},
                                         {"size", std::to_string(header.SectionSizes[id])},
                                         {"offset", std::to_string(header.SectionOffsets[id])},
                                         {"length", std::to_string(fileLength)}};
            // A file is never one byte long here: its header alone is longer.
            return text::Message{header.SectionSizes[id] == 1
                                     ? Translatable("The upgrade file is damaged: a section does not fit: section {id} "
                                                    "({size} byte at offset {offset}) ends past the end of the file "
                                                    "({length} bytes).")
                                     : Translatable("The upgrade file is damaged: a section does not fit: section {id} "
                                                    "({size} bytes at offset {offset}) ends past the end of the file "
                                                    "({length} bytes)."),
                                 std::move(fields)};
        }
    }
    return std::nullopt;
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
    if (n < MinimumPackageSize)
        return Refuse(Refusal::TooSmall, PackageTooShortText,
                      {n == 1 ? Translatable("The upgrade file is too small to be a firmware package: {size} byte, "
                                             "where a package needs {minimum} at least (its 128-byte header and "
                                             "2-byte check value).")
                              : Translatable("The upgrade file is too small to be a firmware package: {size} bytes, "
                                             "where a package needs {minimum} at least (its 128-byte header and "
                                             "2-byte check value)."),
                       {{"size", std::to_string(n)}, {"minimum", std::to_string(MinimumPackageSize)}}});
    if (n > PackageImageCapacity) return Refuse(Refusal::TooLarge, PackageTooLargeText, TooLargeReason(n));

    auto package = std::make_shared<Package>();
    package->Header = ParseHeader(std::span<const std::uint8_t, HeaderSize>(image.data(), HeaderSize));
    const PackageHeader& header = package->Header;
    // From here on the refused file's header is whole, and worth showing.
    const auto refuse = [&](Refusal why, std::string_view text, text::Message reason) {
        LoadResult r = Refuse(why, text, std::move(reason));
        r.RefusedHeader = header;
        return r;
    };
    ProfileSelection& selection = package->Selection;
    selection.RequestVariant = header.RequestVariant;
    selection.ScrambleMode = header.ScrambleMode;
    selection.CodeBank = header.CodeBank;
    if (!SelectProfile(header.ModelCode, selection.ProfileIndex))
        return refuse(Refusal::ModelCode, PackageMismatchText,
                      {Translatable("The upgrade file does not match: its model code {model} is not one this build "
                                    "accepts (it accepts {models})."),
                       {{"model", std::to_string(unsigned{header.ModelCode})}, {"models", AcceptedModelCodesText()}}});

    const std::uint16_t check = DescrambleAndCheck(selection, image);
    const unsigned stored = unsigned{image[n - 2]} << 8 | image[n - 1];
    if (stored != check)
        return refuse(Refusal::CheckValue, PackageMismatchText,
                      {Translatable("The upgrade file does not match: its check value is wrong (the file holds "
                                    "{stored}, its bytes give {computed}); the file is damaged or not a package of "
                                    "this model."),
                       {{"stored", Hex(stored, 4)}, {"computed", Hex(check, 4)}}});

    if (!EnterKind(selection.RequestVariant))
        return refuse(Refusal::RequestVariant, PackageBadVariantText,
                      {Translatable("The upgrade file asks for an unknown way of entering boot mode: request variant "
                                    "{variant}, where 0 and 1 are known."),
                       {{"variant", std::to_string(unsigned{selection.RequestVariant})}}});
    if (std::optional<text::Message> fault = SectionTableFault(header, n))
        return refuse(Refusal::SectionTable, PackageBadSectionTableText, std::move(*fault));

    package->SectionCount = CountSections(header);
    package->TotalBlocks = CountTotalBlocks(header);
    package->Image = std::move(image);
    package->Sha256 = sha256;

    LoadResult r;
    r.Verdict = LoadVerdict::Accepted;
    if (package->SectionCount == 0) {
        r.Why = Refusal::NoSections;
        r.Reason = std::string(PackageNoSectionsText);
        r.ReasonText = {PackageNoSectionsText, {}};
    }
    r.Accepted = std::move(package);
    return r;
}

}  // namespace

LoadResult LoadPackageImage(std::vector<std::uint8_t> image) {
    const std::uint64_t size = image.size();
    // Over the bytes as read: descrambling changes them in place.
    std::string sha256 = Sha256Text(image);
    LoadResult r = CheckPackageImage(std::move(image), sha256);
    r.Sha256 = std::move(sha256);
    r.FileSize = size;
    return r;
}

LoadResult LoadPackage(const std::filesystem::path& fileName) {
    PackageFileRead read = LoadPackageFile(fileName);
    switch (read.Result) {
        case PackageFileRead::Outcome::CannotOpen: {
            LoadResult r;
            r.Verdict = LoadVerdict::Unreadable;
            r.Why = Refusal::Unreadable;
            r.Message = std::move(read.Error);
            r.Reason = r.Message;
            // The system's own words: nothing of them is in the catalogue.
            r.ReasonText = {"{reason}", {{"reason", r.Reason}}};
            return r;
        }
        case PackageFileRead::Outcome::TooLarge: {
            LoadResult r = Refuse(Refusal::TooLarge, PackageTooLargeText, TooLargeReason(read.Size));
            r.FileSize = read.Size;
            return r;
        }
        case PackageFileRead::Outcome::Read: break;
    }
    return LoadPackageImage(std::move(read.Bytes));
}

std::string AcceptedModelCodesText() {
    const std::vector<AcceptedModel> models = AcceptedModels();
    std::string text;
    for (std::size_t i = 0; i < models.size(); ++i) {
        if (i != 0) text += i + 1 == models.size() ? " and " : ", ";
        text += std::to_string(unsigned{models[i].ModelCode});
    }
    return text;
}

}  // namespace quenfall
