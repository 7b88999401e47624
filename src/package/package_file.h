#pragma once
// Reading a package file whole. A file larger than the 10 MiB image is not read at all.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quenfall {

struct PackageFileRead {
    enum class Outcome : std::uint8_t { Read, CannotOpen, TooLarge } Result = Outcome::CannotOpen;
    std::vector<std::uint8_t> Bytes;
    std::string Error;  // CannotOpen: names the path and gives the system's reason
    std::uint64_t Size = 0;  // TooLarge: the size the system gave, 0 when it could not tell
};

PackageFileRead LoadPackageFile(const std::filesystem::path& path);

}  // namespace quenfall
