#include "package/package_file.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "package/package_header.h"

namespace quenfall {

namespace {
std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

PackageFileRead CannotOpen(const std::filesystem::path& path, const std::string& reason) {
    PackageFileRead r;
    r.Result = PackageFileRead::Outcome::CannotOpen;
    r.Error = "Cannot open file \"" + PathText(path) + "\". " + reason;
    return r;
}
}  // namespace

PackageFileRead LoadPackageFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec) return CannotOpen(path, ec.message());
    if (std::filesystem::is_directory(status))
        return CannotOpen(path, std::make_error_code(std::errc::is_a_directory).message());

    std::ifstream in(path, std::ios::binary);
    if (!in) return CannotOpen(path, std::generic_category().message(errno != 0 ? errno : EACCES));

    PackageFileRead r;
    // Read one byte past the capacity so that a file that grew since it was sized, or whose
    // size the system cannot tell, is still caught before anything is kept.
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > PackageImageCapacity) {
        r.Result = PackageFileRead::Outcome::TooLarge;
        r.Size = size;
        return r;
    }
    r.Bytes.resize(ec ? PackageImageCapacity + 1 : static_cast<std::size_t>(size) + 1);
    in.read(reinterpret_cast<char*>(r.Bytes.data()), static_cast<std::streamsize>(r.Bytes.size()));
    if (in.bad()) return CannotOpen(path, std::generic_category().message(errno != 0 ? errno : EIO));
    r.Bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (r.Bytes.size() > PackageImageCapacity) {
        r.Bytes = {};
        r.Result = PackageFileRead::Outcome::TooLarge;
        return r;
    }
    r.Result = PackageFileRead::Outcome::Read;
    return r;
}

}  // namespace quenfall
