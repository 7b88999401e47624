#pragma once
// The verdict of loading a package, shared by the window and the command line.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/package.h"
#include "text/translation.h"

namespace quenfall {

// The main window's texts for a refused file: one text for both refusals it has always
// made (model code, check value), and one of its own for each case it never met.
inline constexpr std::string_view PackageMismatchText = text::Translatable("The upgrade file does not match!");
inline constexpr std::string_view PackageTooShortText =
    text::Translatable("The upgrade file is too short to be a firmware package!");
inline constexpr std::string_view PackageTooLargeText =
    text::Translatable("The upgrade file is larger than 10 MiB and cannot be a firmware package!");
inline constexpr std::string_view PackageBadSectionTableText =
    text::Translatable("The upgrade file is damaged: its section table is invalid!");
inline constexpr std::string_view PackageBadVariantText =
    text::Translatable("The upgrade file asks for an unknown way of entering boot mode and cannot be used!");
inline constexpr std::string_view PackageNoSectionsText =
    text::Translatable("The upgrade file holds no firmware sections; there is nothing to upgrade.");

enum class LoadVerdict : std::uint8_t {
    Accepted,
    Refused,     // the file was read but is not a package this tool may send
    Unreadable,  // the file could not be opened or read; Message names it and says why
};

// Why a file cannot be sent, whatever the verdict; None for a package that can be.
enum class Refusal : std::uint8_t {
    None,
    Unreadable,
    TooSmall,
    TooLarge,
    ModelCode,
    CheckValue,
    RequestVariant,
    SectionTable,
    NoSections,  // accepted, as the window always has, but there is nothing to upgrade
};

struct LoadResult {
    LoadVerdict Verdict = LoadVerdict::Refused;
    Refusal Why = Refusal::None;
    // The main window's text for a refused or unreadable file; empty when accepted.
    std::string Message;
    // Why the file cannot be sent, in full: the model code and the accepted ones, the limit,
    // the check values, the section at fault, the system's reason. Every face but the main
    // window's status and boxes prints this. Empty when the file can be sent. English: it is
    // what records, reports, events and JSON keep.
    std::string Reason;
    // The same reason with its fields, for a person: Reason is its English(); every display
    // shows its Translated().
    text::Message ReasonText;
    std::shared_ptr<const Package> Accepted;  // set only when accepted
    // The header of a refused file that was whole and no larger than a package may be;
    // none when the file was refused before its header could be trusted.
    std::optional<PackageHeader> RefusedHeader;
    std::uint64_t FileSize = 0;  // bytes read, or the size the system gave a file too large
    std::string Sha256;          // of every file read, accepted or refused
};

// Checks, in order: a whole header and check value (130 bytes at least, 10 MiB at most);
// an accepted model code; the check value over the descrambled file; a known request
// variant; every listed section id below 12 with its bytes inside the file.
LoadResult LoadPackageImage(std::vector<std::uint8_t> image);
LoadResult LoadPackage(const std::filesystem::path& fileName);

// "0, 2, 11 and 17": the model codes this build accepts, as every refusal names them.
std::string AcceptedModelCodesText();

}  // namespace quenfall
