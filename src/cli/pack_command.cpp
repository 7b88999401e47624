// quenfall-cli pack -o OUT --model N [--scramble M] [--bank B] [--variant V] --section ID=FILE ...
// Writes a package from section files, each in the slot of its id.
#include <cerrno>
#include <fstream>
#include <system_error>
#include <iostream>
#include <set>

#include "cli/cli_commands.h"
#include "cli/cli_support.h"
#include "platform/platform.h"
#include "package/package_loader.h"
#include "package/package_writer.h"
#include "protocol/model_profile.h"

namespace quenfall::cli {

namespace {

constexpr std::string_view PackUsage =
    "usage: quenfall-cli pack -o OUT --model N [--scramble M] [--bank B] [--variant V]\n"
    "                         --section ID=FILE [--section ID=FILE ...]";

int UsageError(const std::string& why) {
    std::cerr << "quenfall-cli pack: " << why << '\n' << PackUsage << '\n';
    return 2;
}

bool ReadWhole(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& why) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        why = "cannot read \"" + path.string() + "\": " + ec.message();
        return false;
    }
    if (size > PackageImageCapacity) {
        why = "\"" + path.string() + "\" is larger than a package may be (10 MiB)";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.resize(static_cast<std::size_t>(size));
    if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        const int error = errno;
        why = "cannot read \"" + path.string() + "\": " + std::generic_category().message(error != 0 ? error : EIO);
        return false;
    }
    return true;
}

}  // namespace

int PackCommand(const Arguments& args) {
    std::optional<std::string> out;
    std::optional<std::uint8_t> model;
    PackageSpec spec;
    std::set<unsigned> ids;
    std::vector<std::pair<std::uint8_t, std::string>> sections;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        auto byteOption = [&](std::uint8_t& target) -> bool {
            const auto v = value();
            const auto b = v ? ParseByte(*v) : std::nullopt;
            if (b) target = *b;
            return b.has_value();
        };
        if (a == "-o" || a == "--output") {
            out = value();
            if (!out) return UsageError(a + " needs a file name");
        } else if (a == "--model") {
            std::uint8_t m = 0;
            if (!byteOption(m)) return UsageError("--model needs a model code (pack --help lists them)");
            model = m;
        } else if (a == "--scramble") {
            if (!byteOption(spec.ScrambleMode)) return UsageError("--scramble needs a value 0..255");
        } else if (a == "--bank") {
            if (!byteOption(spec.CodeBank)) return UsageError("--bank needs a value 0..255");
        } else if (a == "--variant") {
            if (!byteOption(spec.RequestVariant)) return UsageError("--variant needs a value 0..255");
        } else if (a == "--section") {
            const auto v = value();
            const std::size_t eq = v ? v->find('=') : std::string::npos;
            if (eq == std::string::npos || eq + 1 >= v->size())
                return UsageError("--section needs ID=FILE");
            const auto id = ParseByte(std::string_view(*v).substr(0, eq));
            if (!id || *id >= SlotCount) return UsageError("a section id is 0..11, not \"" + v->substr(0, eq) + "\"");
            if (!ids.insert(*id).second) return UsageError("section " + std::to_string(*id) + " given twice");
            sections.emplace_back(*id, v->substr(eq + 1));
        } else {
            return UsageError("unexpected \"" + a + "\"");
        }
    }
    if (!out) return UsageError("no output file (-o OUT)");
    if (!model) return UsageError("no model code (--model N)");
    if (sections.empty()) return UsageError(std::string(PackageNoSectionsText) + " Give at least one --section ID=FILE.");
    spec.ModelCode = *model;

    std::size_t total = MinimumPackageSize;
    for (const auto& [id, file] : sections) {
        SectionSpec s;
        s.Slot = id;
        s.Id = id;
        std::string why;
        if (!ReadWhole(PathFromArgument(file), s.Data, why)) {
            std::cerr << "quenfall-cli pack: " << why << '\n';
            return 2;
        }
        if (s.Data.empty()) {
            std::cerr << "quenfall-cli pack: \"" << file << "\" is empty; a section needs at least one byte\n";
            return 2;
        }
        total += s.Data.size();
        spec.Sections.push_back(std::move(s));
    }
    if (total > PackageImageCapacity) {
        std::cerr << "quenfall-cli pack: the package would hold " << total
                  << " bytes, more than the 10 MiB a package may hold\n";
        return 1;
    }

    const std::vector<std::uint8_t> package = WritePackage(spec);
    const std::filesystem::path outPath = PathFromArgument(*out);
    {
        std::ofstream o(outPath, std::ios::binary | std::ios::trunc);
        if (!o || !o.write(reinterpret_cast<const char*>(package.data()), static_cast<std::streamsize>(package.size())) ||
            !o.flush()) {
            const int error = errno;
            std::cerr << "quenfall-cli pack: cannot write \"" << *out << "\": "
                      << std::generic_category().message(error != 0 ? error : EIO) << '\n';
            return 2;
        }
    }
    // Packing a model the tool will not send is allowed (for tests of the refusals), but
    // say so.
    const LoadResult check = LoadPackageImage(package);
    if (!check.Reason.empty())
        std::cerr << "quenfall-cli pack: warning: this package will be refused: " << check.Reason << '\n';
    std::cout << "wrote " << *out << ": " << package.size() << " bytes, " << sections.size()
              << (sections.size() == 1 ? " section\n" : " sections\n");
    return 0;
}

}  // namespace quenfall::cli
