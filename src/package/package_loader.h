#pragma once
// The verdict of loading a package, shared by the window and the command line.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "package/package.h"

namespace quenfall {

inline constexpr std::string_view PackageMismatchText = "The upgrade file does not match!";
inline constexpr std::string_view PackageTooShortText =
    "The upgrade file is too short to be a firmware package!";
inline constexpr std::string_view PackageTooLargeText =
    "The upgrade file is larger than 10 MiB and cannot be a firmware package!";
inline constexpr std::string_view PackageBadSectionTableText =
    "The upgrade file is damaged: its section table is invalid!";
inline constexpr std::string_view PackageBadVariantText =
    "The upgrade file asks for an unknown way of entering boot mode and cannot be used!";

enum class LoadVerdict : std::uint8_t {
    Accepted,
    Refused,     // the file was read but is not a package this tool may send
    Unreadable,  // the file could not be opened or read; Message names it and says why
};

struct LoadResult {
    LoadVerdict Verdict = LoadVerdict::Refused;
    std::string Message;                      // empty when accepted
    std::shared_ptr<const Package> Accepted;  // set only when accepted
    std::string Sha256;                       // of every file read, accepted or refused
};

// Checks, in order: a whole header and check value (130 bytes at least, 10 MiB at most);
// an accepted model code; the check value over the descrambled file; a known request
// variant; every listed section id below 12 with its bytes inside the file.
LoadResult LoadPackageImage(std::vector<std::uint8_t> image);
LoadResult LoadPackage(const std::filesystem::path& fileName);

}  // namespace quenfall
