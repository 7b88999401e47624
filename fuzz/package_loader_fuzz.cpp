// The package loader on arbitrary file bytes. A package file comes from outside, and the
// upgrade indexes the slot arrays by id and copies sections by offset and size, so every
// package the loader accepts must be safe to upload as it stands.
//
// Each input is loaded twice: as it is, and "repaired" as a package producer would finish
// it (the check value recomputed over the plain bytes, then everything from offset 128 on
// scrambled). The second load reaches the checks behind the check value, and must never be
// refused for a check value that is right by construction.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "package/check_value.h"
#include "package/package_header.h"
#include "package/package_loader.h"
#include "protocol/scrambler.h"

using namespace quenfall;

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// What the header says, read straight from the file bytes rather than through the
// loader's own parser.
struct RawSlot {
    std::uint8_t Id;
    std::uint32_t Size;
    std::uint32_t Offset;
};
RawSlot ReadSlot(const std::vector<std::uint8_t>& file, std::size_t slot) {
    return {file[slot], Le32(&file[12 + 4 * slot]), Le32(&file[60 + 4 * slot])};
}

// Every property an accepted package must have, checked against the file it came from.
void CheckAccepted(const LoadResult& result, const std::vector<std::uint8_t>& file) {
    Require(result.Verdict == LoadVerdict::Accepted);
    Require(result.Message.empty());
    Require(result.Accepted != nullptr);
    const Package& p = *result.Accepted;
    const std::size_t n = file.size();
    Require(n >= MinimumPackageSize && n <= PackageImageCapacity);
    Require(p.Image.size() == n);
    Require(p.PackageLength() == static_cast<std::int32_t>(n - HeaderSize));

    // The header is stored plain and the loader keeps it as read.
    for (std::size_t i = 0; i < HeaderSize; ++i) Require(p.Image[i] == file[i]);
    Require(p.Header.ModelCode == file[111]);
    Require(p.Header.RequestVariant == file[108] && p.Header.ScrambleMode == file[109] &&
            p.Header.CodeBank == file[110]);

    // Only the three accepted profiles, and only enter variants that have a code.
    const std::uint8_t model = file[111];
    Require(model == 0 || model == 2 || model == 11 || model == 17);
    const std::uint8_t expectedProfile = model == 11 ? 11 : model == 17 ? 12 : 0;
    Require(p.Selection.ProfileIndex == expectedProfile);
    Require(p.Selection.ScrambleMode == file[109] && p.Selection.CodeBank == file[110] &&
            p.Selection.RequestVariant == file[108]);
    Require(file[108] <= 1);

    // The body is the stored bytes descrambled: scrambling it again gives the file back.
    std::vector<std::uint8_t> again(p.Image);
    Scrambler(p.Selection, std::span<std::uint8_t>(again).subspan(HeaderSize));
    Require(again == file);

    // The check value holds over the descrambled image.
    const std::uint16_t check =
        ComputeCheckValue(std::span<const std::uint8_t>(p.Image).first(n - CheckValueSize));
    Require(p.Image[n - 2] == (check >> 8) && p.Image[n - 1] == (check & 0xFF));

    // Counts agree with the header.
    std::uint8_t present = 0;
    std::int64_t blocks = 0;
    for (std::size_t slot = 0; slot < SlotCount; ++slot) {
        const RawSlot s = ReadSlot(file, slot);
        if (s.Size == 0) continue;
        ++present;
        blocks += (std::int64_t{s.Size} + 2047) / 2048;
    }
    Require(p.SectionCount == present);
    Require(p.TotalBlocks == blocks);

    // Every listed section is reachable by its id and lies inside the image: what the
    // upload copies from.
    const SectionList list = p.Sections();
    Require(list.Count == present);
    std::size_t listed = 0;
    for (std::size_t slot = 0; slot < SlotCount; ++slot) {
        const RawSlot s = ReadSlot(file, slot);
        if (s.Size == 0) continue;
        Require(list.Ids[listed++] == s.Id);
        Require(s.Id < SlotCount);
        const RawSlot named = ReadSlot(file, s.Id);
        Require(named.Size != 0);
        Require(std::uint64_t{named.Offset} + named.Size <= n);
        Require(p.SectionSize(s.Id) == named.Size);
        const std::span<const std::uint8_t> data = p.SectionData(s.Id);
        Require(data.size() == named.Size);
        if (!data.empty()) {
            Require(data.data() >= p.Image.data());
            Require(data.data() + data.size() <= p.Image.data() + p.Image.size());
            // Touch both ends so the sanitizer sees any stray read.
            volatile std::uint8_t first = data.front();
            volatile std::uint8_t last = data.back();
            (void)first;
            (void)last;
        }
    }
}

void CheckRefused(const LoadResult& result) {
    Require(result.Verdict == LoadVerdict::Refused);
    Require(!result.Message.empty());
    Require(result.Accepted == nullptr);
}

void CheckVerdict(const LoadResult& result, const std::vector<std::uint8_t>& file) {
    // Bytes in memory are never "unreadable": that verdict belongs to opening a file.
    Require(result.Verdict != LoadVerdict::Unreadable);
    if (result.Verdict == LoadVerdict::Accepted) {
        CheckAccepted(result, file);
        return;
    }
    CheckRefused(result);
    if (file.size() < MinimumPackageSize) Require(result.Message == PackageTooShortText);
}

// The file a package producer would have written from these plain bytes.
std::vector<std::uint8_t> Repaired(std::vector<std::uint8_t> file) {
    const std::size_t n = file.size();
    const std::uint16_t check =
        ComputeCheckValue(std::span<const std::uint8_t>(file).first(n - CheckValueSize));
    file[n - 2] = static_cast<std::uint8_t>(check >> 8);
    file[n - 1] = static_cast<std::uint8_t>(check);
    ProfileSelection selection;
    selection.ScrambleMode = file[109];
    SelectProfile(file[111], selection.ProfileIndex);
    Scrambler(selection, std::span<std::uint8_t>(file).subspan(HeaderSize));
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> file(data, data + size);
    CheckVerdict(LoadPackageImage(file), file);

    if (size < MinimumPackageSize || size > PackageImageCapacity) return 0;
    const std::vector<std::uint8_t> repaired = Repaired(file);
    const LoadResult result = LoadPackageImage(repaired);
    CheckVerdict(result, repaired);
    const std::uint8_t model = repaired[111];
    const bool modelAccepted = model == 0 || model == 2 || model == 11 || model == 17;
    if (modelAccepted) {
        // Right by construction: only the variant or the section table may refuse it. The
        // table fits when every present slot lists a distinct id naming a present slot that
        // lies inside the file.
        bool tableFits = true;
        bool listed[SlotCount] = {};
        for (std::size_t slot = 0; slot < SlotCount; ++slot) {
            const RawSlot s = ReadSlot(repaired, slot);
            if (s.Size == 0) continue;
            if (s.Id >= SlotCount) {
                tableFits = false;
                continue;
            }
            if (listed[s.Id]) tableFits = false;
            listed[s.Id] = true;
            const RawSlot named = ReadSlot(repaired, s.Id);
            if (named.Size == 0 || std::uint64_t{named.Offset} + named.Size > size) tableFits = false;
        }
        if (repaired[108] > 1) {
            Require(result.Message == PackageBadVariantText);
        } else if (!tableFits) {
            Require(result.Message == PackageBadSectionTableText);
        } else {
            Require(result.Verdict == LoadVerdict::Accepted);
        }
    } else {
        Require(result.Message == PackageMismatchText);
    }
    return 0;
}
