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
#include "text/translation.h"

namespace quenfall::cli {

namespace {

constexpr std::string_view PackUsage =
    "usage: quenfall-cli pack -o OUT --model N [--scramble M] [--bank B] [--variant V]\n"
    "                         --section ID=FILE [--section ID=FILE ...]";

int UsageError(const std::string& why) {
    std::cerr << "quenfall-cli pack: " << why << '\n' << PackUsage << '\n';
    return 2;
}

std::string ByteValueNeeded(std::string_view option) {
    return text::Fill(text::Tr("{option} needs a value 0..255"), {{"option", std::string(option)}});
}

bool ReadWhole(const std::filesystem::path& path, std::vector<std::uint8_t>& bytes, std::string& why) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        why = text::Fill(text::Tr("cannot read \"{file}\": {reason}"), {{"file", path.string()}, {"reason", ec.message()}});
        return false;
    }
    if (size > PackageImageCapacity) {
        why = text::Fill(text::Tr("\"{file}\" is larger than a package may be (10 MiB)"), {{"file", path.string()}});
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    bytes.resize(static_cast<std::size_t>(size));
    if (!in || !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        const int error = errno;
        why = text::Fill(text::Tr("cannot read \"{file}\": {reason}"),
                         {{"file", path.string()}, {"reason", std::generic_category().message(error != 0 ? error : EIO)}});
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
            if (!out) return UsageError(NeedsFileNameText(a));
        } else if (a == "--model") {
            std::uint8_t m = 0;
            if (!byteOption(m)) return UsageError(text::Tr("--model needs a model code (pack --help lists them)"));
            model = m;
        } else if (a == "--scramble") {
            if (!byteOption(spec.ScrambleMode)) return UsageError(ByteValueNeeded(a));
        } else if (a == "--bank") {
            if (!byteOption(spec.CodeBank)) return UsageError(ByteValueNeeded(a));
        } else if (a == "--variant") {
            if (!byteOption(spec.RequestVariant)) return UsageError(ByteValueNeeded(a));
        } else if (a == "--section") {
            const auto v = value();
            const std::size_t eq = v ? v->find('=') : std::string::npos;
            if (eq == std::string::npos || eq + 1 >= v->size())
                return UsageError(text::Tr("--section needs ID=FILE"));
            const auto id = ParseByte(std::string_view(*v).substr(0, eq));
            if (!id || *id >= SlotCount)
                return UsageError(text::Fill(text::Tr("a section id is 0..11, not \"{word}\""), {{"word", v->substr(0, eq)}}));
            if (!ids.insert(*id).second)
                return UsageError(text::Fill(text::Tr("section {id} given twice"), {{"id", std::to_string(*id)}}));
            sections.emplace_back(*id, v->substr(eq + 1));
        } else {
            return UsageError(text::Fill(text::Tr("unexpected \"{word}\""), {{"word", a}}));
        }
    }
    if (!out) return UsageError(text::Tr("no output file (-o OUT)"));
    if (!model) return UsageError(text::Tr("no model code (--model N)"));
    if (sections.empty())
        return UsageError(text::Tr(PackageNoSectionsText) + " " + text::Tr("Give at least one --section ID=FILE."));
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
            std::cerr << "quenfall-cli pack: "
                      << text::Fill(text::Tr("\"{file}\" is empty; a section needs at least one byte"), {{"file", file}})
                      << '\n';
            return 2;
        }
        total += s.Data.size();
        spec.Sections.push_back(std::move(s));
    }
    if (total > PackageImageCapacity) {
        std::cerr << "quenfall-cli pack: "
                  << text::Fill(text::Tr("the package would hold {size} bytes, more than the 10 MiB a package may hold"),
                                {{"size", std::to_string(total)}})
                  << '\n';
        return 1;
    }

    const std::vector<std::uint8_t> package = WritePackage(spec);
    const std::filesystem::path outPath = PathFromArgument(*out);
    {
        std::ofstream o(outPath, std::ios::binary | std::ios::trunc);
        if (!o || !o.write(reinterpret_cast<const char*>(package.data()), static_cast<std::streamsize>(package.size())) ||
            !o.flush()) {
            const int error = errno;
            std::cerr << "quenfall-cli pack: "
                      << text::Fill(text::Tr("cannot write \"{file}\": {reason}"),
                                    {{"file", *out}, {"reason", std::generic_category().message(error != 0 ? error : EIO)}})
                      << '\n';
            return 2;
        }
    }
    // Packing a model the tool will not send is allowed (for tests of the refusals), but
    // say so.
    const LoadResult check = LoadPackageImage(package);
    if (!check.Reason.empty())
        std::cerr << "quenfall-cli pack: "
                  << text::Fill(text::Tr("warning: this package will be refused: {reason}"),
                                {{"reason", check.ReasonText.Translated()}})
                  << '\n';
    std::cout << text::Fill(text::TrPlural("wrote {file}: {size} bytes, {count} section",
                                           "wrote {file}: {size} bytes, {count} sections", sections.size()),
                            {{"file", *out}, {"size", std::to_string(package.size())}, {"count", std::to_string(sections.size())}})
              << '\n';
    return 0;
}

}  // namespace quenfall::cli
